// Running other programs from a test: the program under test, xdotool, xclip.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace shorturl::testing {

struct CommandResult {
  int status = -1;  // exit status, or -1 when the command did not exit normally
  std::string out;  // standard output
};

// Runs a command to its end and captures its standard output.
CommandResult RunCommand(const std::vector<std::string>& argv);

// A child process that is killed (SIGKILL) and reaped when the object dies,
// unless it has been waited for.
class ChildProcess {
 public:
  // Starts argv[0] with the given arguments, in `working_dir` when not empty.
  explicit ChildProcess(const std::vector<std::string>& argv, const std::string& working_dir = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Waits up to `timeout_ms` for the child to exit; its exit status, or -1 when
  // it did not exit normally or in time.
  int Wait(int timeout_ms);
  void Kill(int signal);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
};

// Polls `condition` every 20 ms until it holds or `timeout_ms` has passed.
template <typename Condition>
bool WaitFor(Condition condition, int timeout_ms);

// The X11 window id of a visible window with exactly this title, or "" when
// none shows up within `timeout_ms`.
std::string FindWindowByTitle(const std::string& title, int timeout_ms);

// Reads the clipboard as text; nullopt-like empty result with ok=false when
// no program owns it.
struct ClipboardRead {
  bool ok = false;
  std::string text;
};
ClipboardRead ReadClipboard();

// A fresh temporary folder, removed with its contents when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Reads a whole file; "" when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace shorturl::testing

#include "support/process_inl.h"
