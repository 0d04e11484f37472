// The run log: a text file "运行日志.txt" in the program's folder into which
// each successful request puts one line, newest line first.
//
// A line is the local date and time ("2021年3月5日9时7分4秒": no leading
// zeros; seconds, then minutes, then the hour are left off while they and
// everything after them are zero, so midnight gives the date alone), three
// spaces, the message byte for byte, and CR LF, all GBK. The log is never
// read back by the program.
#pragma once

#include "text/text.h"

namespace shorturl {

// Puts a line with `message` in front of the run log in the program's folder
// (the folder of the running executable), creating the log when it is
// missing. Reports nothing: when the log cannot be written it stays as it was.
void WriteRunLog(std::string_view message);

// The same, into the file at `path` (a GBK Text, as the program's texts are;
// it reaches the file system as UTF-8).
//
// The line and the old content are written to a temporary file in the log's
// folder, flushed to disk and renamed over the log, under an exclusive lock
// on the log, so that a crash, a kill or a failed write at any moment leaves
// either the old log or the old log with the new line in front, and writers
// in several processes lose no line. A log reached through a symbolic link
// is written where the link points and the link stays; the log keeps its
// permissions and, where this process may set it, its owner. A log that is
// not a regular file, or that cannot be opened for writing, is left alone.
void WriteRunLog(std::string_view message, std::string_view path);

}  // namespace shorturl
