// WriteRunLog into a 1 MB and a 100 MB log, against copying the same log
// with cp and flushing the copy to disk: the floor for any way of putting a
// line in front of a file that keeps the old one whole until the new one is
// on disk. Both are timed in turns in one run; the figure is the ratio of
// the medians (goal: at most 1.5).
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "desktop/run_log.h"
#include "text/codepage.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double Millis(F f) {
  auto start = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool CopyAndFlush(const std::string& from, const std::string& to) {
  const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    return false;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  int fd = open(to.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/run-log-bench.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const std::string line =
      "2021年3月5日9时7分4秒   网址缩短》原网址：http://example.test/some/long/path?q=1"
      "----短网址：http://s.test/abc\r\n";
  std::printf("%-28s %12s %12s %8s\n", "log size", "WriteRunLog", "cp + fsync", "ratio");
  for (auto [size, runs] : {std::pair<std::size_t, int>{1 << 20, 21}, {100 << 20, 5}}) {
    const std::string log = dir + "/log.txt";
    const std::string copy = dir + "/copy.txt";
    {
      std::string block;
      while (block.size() < (1 << 20)) block += shorturl::TextFromUtf8(line);
      block.resize(1 << 20);
      std::ofstream out(log, std::ios::binary);
      for (std::size_t written = 0; written < size; written += block.size()) out << block;
    }
    const shorturl::Text path = shorturl::TextFromUtf8(log);
    std::vector<double> write_times, copy_times;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
      write_times.push_back(Millis([&] { shorturl::WriteRunLog("bench", path); }));
      copy_times.push_back(Millis([&] { ok = CopyAndFlush(log, copy) && ok; }));
    }
    double w = Median(write_times), c = Median(copy_times);
    std::printf(
        "%-28s %9.2f ms %9.2f ms %8.2f%s\n",
        (std::to_string(size >> 20) + " MB (median of " + std::to_string(runs) + ")").c_str(), w, c,
        w / c, ok ? "" : "  (cp failed)");
    std::filesystem::remove(log);
    std::filesystem::remove(copy);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
