// The client-side cost of one whole shorten: the command, run in-process with
// the real window against a loopback server, against one bare in-process
// libcurl POST to the same server, measured alternately in one run. Both
// include the same server's time, so their difference is what the command
// itself costs: reading the box, the check, the encoding, the request's own
// work, two lookups, the log line, the box and the clipboard.
//
// Wall time includes waiting for the disk to take the run log's new content
// (one flush, a property of the disk, not of the program), so the CPU time of
// the user-interface thread is printed beside it.
//
// Needs a display (run it under Xvfb).
#include <curl/curl.h>

#include <time.h>
#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/commands.h"
#include "app/main_window.h"
#include "bare_curl_post.h"
#include "support/scripted_http_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using shorturl::testing::ScriptedAnswer;

const char kAnswer[] = R"({"code":200,"msg":"ok","data":{"short_url":"http://dl.test/Ab9xYz"}})";

// CPU time of the calling thread, in milliseconds.
double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Cost {
  double wall_ms = 0;
  double cpu_ms = 0;
};

template <typename Work>
void Measure(Cost& total, Work work) {
  double cpu = ThreadCpuMs();
  auto start = Clock::now();
  work();
  total.wall_ms += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  total.cpu_ms += ThreadCpuMs() - cpu;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication::setStyle(QStringLiteral("Windows"));
  QApplication app(argc, argv);
  curl_global_init(CURL_GLOBAL_DEFAULT);

  // The command writes its run log beside this program: start and end without one.
  std::filesystem::path log =
      std::filesystem::canonical("/proc/self/exe").parent_path() / "运行日志.txt";
  std::filesystem::remove(log);

  shorturl::testing::ScriptedHttpServer server;
  shorturl::MainWindow window;
  shorturl::Commands commands(window, "127.0.0.1:" + std::to_string(server.port()));
  window.show();
  window.原网址内容->setText(
      QStringLiteral("http://example.test/some/long/path?with=query&and=more"));
  QApplication::processEvents();

  const std::string url = server.Url("/api/url");
  const std::string body = "url=http%3A%2F%2Fexample.test%2Fsome&type=1";
  constexpr int kRounds = 200;
  Cost command, bare;
  for (int i = 0; i < kRounds; ++i) {
    server.Queue(ScriptedAnswer::Http(200, {}, kAnswer));
    Measure(bare, [&] { shorturl::bench::BareCurlPost(url, body); });
    server.Queue(ScriptedAnswer::Http(200, {}, kAnswer));
    Measure(command, [&] { commands.ShortenCommand(); });
  }
  std::filesystem::remove(log);
  for (Cost* c : {&command, &bare}) {
    c->wall_ms /= kRounds;
    c->cpu_ms /= kRounds;
  }
  std::printf("per command, wall: whole shorten %.3f ms, bare libcurl POST %.3f ms, ratio %.2f\n",
              command.wall_ms, bare.wall_ms, command.wall_ms / bare.wall_ms);
  std::printf("per command, CPU of the user-interface thread: shorten %.3f ms, bare POST %.3f ms\n",
              command.cpu_ms, bare.cpu_ms);
  std::printf("client-side work per command: %.3f ms wall, %.3f ms CPU (goal <= 2 ms)\n",
              command.wall_ms - bare.wall_ms, command.cpu_ms - bare.cpu_ms);
  return 0;
}
