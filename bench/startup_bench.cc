// Start-up time and peak memory of the program's window against a bare Qt
// window, measured alternately in one run on the current display.
//
// Time: from spawning the process until the X server maps its first
// top-level window. Memory: the child's peak resident set (wait4), after it
// is ended right after its window appeared.
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Sample {
  double ms = 0;
  long peak_kb = 0;
};

bool WaitForMap(Display* display, std::chrono::steady_clock::time_point deadline) {
  while (std::chrono::steady_clock::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify) return true;
    }
    struct timespec pause = {0, 200000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

Sample Measure(Display* display, const std::string& program) {
  Sample sample;
  XSync(display, True);  // drop events left from the previous round
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return sample;
  bool mapped = WaitForMap(display, start + std::chrono::seconds(20));
  auto end = std::chrono::steady_clock::now();
  kill(pid, SIGKILL);
  int status = 0;
  struct rusage usage = {};
  wait4(pid, &status, 0, &usage);
  sample.ms = mapped ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
  sample.peak_kb = usage.ru_maxrss;
  return sample;
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = SHORTURL_BINARY_DIR;
  std::string program = argc > 1 ? argv[1] : dir + "/shorturl";
  std::string bare = dir + "/bench/bare_window";
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "startup_bench: no display (run it under Xvfb)\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  const int rounds = 15;
  std::vector<double> ms[2];
  std::vector<long> kb[2];
  for (int round = 0; round < rounds; ++round) {
    for (int which = 0; which < 2; ++which) {
      Sample s = Measure(display, which == 0 ? program : bare);
      ms[which].push_back(s.ms);
      kb[which].push_back(s.peak_kb);
    }
  }
  double ms_app = Median(ms[0]), ms_bare = Median(ms[1]);
  long kb_app = Median(kb[0]), kb_bare = Median(kb[1]);
  std::printf(
      "start-up to window mapped (median of %d): shorturl %.1f ms, bare Qt window %.1f ms, ratio "
      "%.2f\n",
      rounds, ms_app, ms_bare, ms_app / ms_bare);
  std::printf(
      "peak resident memory (median):      shorturl %.1f MB, bare Qt window %.1f MB, ratio %.2f\n",
      kb_app / 1024.0, kb_bare / 1024.0, static_cast<double>(kb_app) / kb_bare);
  XCloseDisplay(display);
  return 0;
}
