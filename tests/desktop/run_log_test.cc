#include "desktop/run_log.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "desktop/clock.h"
#include "support/process.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

constexpr LocalDateTime kMorning{2021, 3, 5, 9, 7, 4};

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Old content of more than 4096 bytes, with double-byte characters and
// without a line end at its end.
std::string OldContent() {
  std::string old;
  for (int i = 0; old.size() < 10000; ++i) old += std::to_string(i) + "旧行\r\n"_gbk;
  return old + "no line end";
}

// The names in `folder`, so that a test sees any temporary file left behind.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WriteRunLog, LineLayoutForEachTimeForm) {
  struct Case {
    const char* name;
    LocalDateTime time;
    Text message;
    Text line;
  } cases[] = {
      {"seconds", kMorning, "abc", "2021年3月5日9时7分4秒   abc\r\n"_gbk},
      {"whole minute", {2021, 3, 5, 9, 7, 0}, "abc", "2021年3月5日9时7分   abc\r\n"_gbk},
      {"whole hour", {2021, 3, 5, 9, 0, 0}, "abc", "2021年3月5日9时   abc\r\n"_gbk},
      {"midnight", {2021, 3, 5, 0, 0, 0}, "abc", "2021年3月5日   abc\r\n"_gbk},
      {"noon", {2021, 3, 5, 12, 0, 0}, "abc", "2021年3月5日12时   abc\r\n"_gbk},
      {"hour 0 with minutes", {2021, 3, 5, 0, 5, 0}, "abc", "2021年3月5日0时5分   abc\r\n"_gbk},
      {"zero minutes with seconds",
       {1999, 12, 31, 23, 0, 9},
       "x",
       "1999年12月31日23时0分9秒   x\r\n"_gbk},
      {"empty message", kMorning, "", "2021年3月5日9时7分4秒   \r\n"_gbk},
      {"message byte for byte", kMorning, "网址缩短》原网址：a b\r\n----短网址：\xff"_gbk,
       "2021年3月5日9时7分4秒   网址缩短》原网址：a b\r\n----短网址：\xff\r\n"_gbk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string log = dir.path() + "/log.txt";
    ScopedClock clock([&] { return c.time; });
    WriteRunLog(c.message, log);  // the first line creates the log
    EXPECT_EQ(ReadFile(log), c.line);
  }
}

TEST(WriteRunLog, NewLinesGoInFrontOfTheWholeOldContent) {
  TempDir dir;
  const std::string log = dir.path() + "/log.txt";
  const std::string old = OldContent();
  WriteFile(log, old);
  ScopedClock clock([] { return kMorning; });
  WriteRunLog("first", log);
  WriteRunLog("second", log);
  EXPECT_EQ(ReadFile(log),
            "2021年3月5日9时7分4秒   second\r\n2021年3月5日9时7分4秒   first\r\n"_gbk + old);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"log.txt"});
}

TEST(WriteRunLog, WithoutPathWritesIntoTheProgramsFolder) {
  const std::string log = fs::read_symlink("/proc/self/exe").parent_path() / "运行日志.txt";
  const bool existed = fs::exists(log);
  const std::string before = ReadFile(log);
  ScopedClock clock([] { return kMorning; });
  WriteRunLog("默认位置"_gbk);
  EXPECT_EQ(ReadFile(log), "2021年3月5日9时7分4秒   默认位置"_gbk + "\r\n" + before);
  if (existed) {
    WriteFile(log, before);
  } else {
    fs::remove(log);
  }
}

TEST(WriteRunLog, APathInGbkNamesTheFileInUtf8) {
  TempDir dir;
  WriteRunLog("x", dir.path() + "/日志.txt"_gbk);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"日志.txt"});
}

TEST(WriteRunLog, ALogThatCannotBeWrittenIsLeftAloneWithoutACrash) {
  TempDir dir;
  fs::create_directory(dir.path() + "/运行日志.txt");
  fs::create_directory(dir.path() + "/fifo-folder");
  ASSERT_EQ(mkfifo((dir.path() + "/fifo-folder/log").c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::string path;
  } cases[] = {
      {"a folder of the log's name", dir.path() + "/运行日志.txt"},
      {"a missing folder", dir.path() + "/missing/log.txt"},
      {"a folder nobody may write", "/proc/log.txt"},
      {"not a regular file", dir.path() + "/fifo-folder/log"},
      {"empty path", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRunLog("x", TextFromUtf8(c.path));
  }
  EXPECT_TRUE(fs::is_directory(dir.path() + "/运行日志.txt"));
  EXPECT_TRUE(fs::is_empty(dir.path() + "/运行日志.txt"));
  EXPECT_FALSE(fs::exists(dir.path() + "/missing"));
  EXPECT_FALSE(fs::exists("/proc/log.txt"));
  EXPECT_EQ(Names(dir.path() + "/fifo-folder"), std::vector<std::string>{"log"});
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"fifo-folder", "运行日志.txt"}));
}

TEST(WriteRunLog, AWriteThatFailsPartWayLeavesTheOldLogExactly) {
  TempDir dir;
  const std::string log = dir.path() + "/log.txt";
  std::string old;
  while (old.size() < 200000) old += OldContent();
  WriteFile(log, old);
  // A child process whose files may not grow beyond half the log: the copy
  // fails in the middle.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{old.size() / 2, old.size() / 2};
    setrlimit(RLIMIT_FSIZE, &limit);
    WriteRunLog("lost", log);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(ReadFile(log), old);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"log.txt"});
}

TEST(WriteRunLog, KeepsTheSymbolicLinkAndThePermissions) {
  TempDir dir;
  fs::create_directory(dir.path() + "/real");
  const std::string target = dir.path() + "/real/log.txt";
  const std::string link = dir.path() + "/link.txt";
  WriteFile(target, "old\r\n");
  fs::permissions(target, fs::perms(0640));
  fs::create_symlink("real/log.txt", link);
  ScopedClock clock([] { return kMorning; });
  WriteRunLog("new", link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "real/log.txt");
  EXPECT_EQ(ReadFile(target), "2021年3月5日9时7分4秒   new\r\nold\r\n"_gbk);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(Names(dir.path() + "/real"), std::vector<std::string>{"log.txt"});
}

// The messages of the lines of `log`, in file order.
// Fails the test for a line that is not date-time, three spaces, message.
std::vector<std::string> Messages(std::string_view log) {
  std::vector<std::string> messages;
  while (!log.empty()) {
    std::size_t end = log.find("\r\n");
    std::size_t gap = log.find("   ");
    if (end == std::string_view::npos || gap == std::string_view::npos || gap > end ||
        log.substr(0, gap).find("年"_gbk) == std::string_view::npos) {
      ADD_FAILURE() << "not a whole line: " << log.substr(0, 80);
      break;
    }
    messages.emplace_back(log.substr(gap + 3, end - gap - 3));
    log.remove_prefix(end + 2);
  }
  return messages;
}

// The messages prefix-(n-1) ... prefix-0: n lines of one writer, newest first.
std::vector<std::string> Countdown(const std::string& prefix, int n) {
  std::vector<std::string> out;
  for (int i = n - 1; i >= 0; --i) out.push_back(prefix + "-" + std::to_string(i));
  return out;
}

// Polls every millisecond until the file at `path` is longer than `size`.
bool GrowsWithin(const std::string& path, std::size_t size, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code error;
    if (fs::file_size(path, error) > size && !error) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST(WriteRunLog, AWriterKilledAtAnyMomentLeavesOnlyWholeLines) {
  TempDir dir;
  const std::string log = dir.path() + "/运行日志.txt";
  std::string old;
  for (int i = 0; old.size() < 300000; ++i)
    old += "2021年3月5日   base-"_gbk + std::to_string(i) + "\r\n";
  WriteFile(log, old);
  std::mt19937 random(20240605);
  int lines_written = 0;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string before = ReadFile(log);
    const std::string prefix = "r" + std::to_string(round);
    {
      testing::ChildProcess writer({RUN_LOG_WRITER, log, prefix, "0"});
      // Once the writer's first line is in, it is in its loop however slowly
      // it started; the kill then lands at a random point of some write.
      ASSERT_TRUE(GrowsWithin(log, before.size(), 10000));
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
      writer.Kill(SIGKILL);
      writer.Wait(5000);
    }
    const std::string after = ReadFile(log);
    ASSERT_GE(after.size(), before.size());
    ASSERT_EQ(after.compare(after.size() - before.size(), before.size(), before), 0)
        << "the old log is not kept whole behind the new lines";
    std::vector<std::string> added =
        Messages(std::string_view(after).substr(0, after.size() - before.size()));
    ASSERT_EQ(added, Countdown(prefix, static_cast<int>(added.size())));
    lines_written += static_cast<int>(added.size());
  }
  EXPECT_GE(lines_written, 100);
  // The next write clears away the temporary files of killed writers.
  WriteRunLog("last", TextFromUtf8(log));
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"运行日志.txt"});
}

TEST(WriteRunLog, WritersInSeveralProcessesLoseNoLine) {
  TempDir dir;
  const std::string log = dir.path() + "/log.txt";
  const std::string old = OldContent();
  WriteFile(log, old);
  constexpr int kLines = 150;
  testing::ChildProcess a({RUN_LOG_WRITER, log, "a", std::to_string(kLines)});
  testing::ChildProcess b({RUN_LOG_WRITER, log, "b", std::to_string(kLines)});
  ASSERT_EQ(a.Wait(60000), 0);
  ASSERT_EQ(b.Wait(60000), 0);
  const std::string after = ReadFile(log);
  ASSERT_GE(after.size(), old.size());
  EXPECT_EQ(after.substr(after.size() - old.size()), old);
  std::vector<std::string> added =
      Messages(std::string_view(after).substr(0, after.size() - old.size()));
  std::vector<std::string> from_a, from_b;
  for (const std::string& m : added) (m[0] == 'a' ? from_a : from_b).push_back(m);
  EXPECT_EQ(from_a, Countdown("a", kLines));
  EXPECT_EQ(from_b, Countdown("b", kLines));
}

}  // namespace
}  // namespace shorturl
