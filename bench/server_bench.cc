// Restores and shortens per second of the API server, under wrk on loopback,
// next to a bare server of the same HTTP library (same thread pool, limits
// and time-outs) that answers a fixed text. Prints the rates, p99 latencies
// and the ratios, all measured in this one run.
//
//   server_bench [seconds per measurement, default 5]
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "server/api_server.h"

namespace {

constexpr int kWrkThreads = 2;
constexpr int kWrkConnections = 16;
constexpr int kRestoreLinks = 1000;

struct Measure {
  double requests_per_second = 0;
  std::string p99 = "?";
  std::string non_2xx = "0";
};

// Runs a shell command and returns its standard output.
std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string AfterLabel(const std::string& text, const std::string& label) {
  std::size_t at = text.find(label);
  if (at == std::string::npos) return {};
  at += label.size();
  while (at < text.size() && text[at] == ' ') ++at;
  return text.substr(at, text.find_first_of(" \n", at) - at);
}

Measure RunWrk(int port, const std::string& script, int seconds) {
  std::string output =
      Capture("wrk -t" + std::to_string(kWrkThreads) + " -c" + std::to_string(kWrkConnections) +
              " -d" + std::to_string(seconds) + "s --latency -s " + script +
              " http://127.0.0.1:" + std::to_string(port) + " 2>&1");
  Measure measure;
  measure.requests_per_second = std::atof(AfterLabel(output, "Requests/sec:").c_str());
  // Only in the distribution: "99%" also ends figures like "69.99%" above it.
  std::size_t distribution = output.find("Latency Distribution");
  if (distribution != std::string::npos)
    measure.p99 = AfterLabel(output.substr(distribution), "99%");
  std::string non_2xx = AfterLabel(output, "Non-2xx or 3xx responses:");
  if (!non_2xx.empty()) measure.non_2xx = non_2xx;
  if (measure.requests_per_second == 0) std::fprintf(stderr, "wrk said:\n%s\n", output.c_str());
  return measure;
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The bare server in a child process of its own, as the API server is; its
// port comes back through a pipe.
pid_t StartBareServer(int* port) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    httplib::Server http;
    shorturl::server::ApplyServerLimits(http);
    auto fixed = [](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"code\":200,\"msg\":\"ok\"}", "application/json");
    };
    http.Post("/api/url", fixed);
    http.Post("/api/url/query", fixed);
    int bound = shorturl::server::BindServer(http, "127.0.0.1", 0);
    if (write(fds[1], &bound, sizeof bound) != sizeof bound) _exit(1);
    close(fds[1]);
    http.listen_after_bind();
    _exit(0);
  }
  close(fds[1]);
  if (pid < 0 || read(fds[0], port, sizeof *port) != sizeof *port) *port = -1;
  close(fds[0]);
  return pid;
}

pid_t StartApiServer(const std::string& db, int* port) {
  std::string command =
      std::string(SHORTURL_BINARY_DIR) + "/shorturl-server --listen 127.0.0.1:0 --db " + db;
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string line;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  close(fds[0]);
  *port = line.rfind("listening on 127.0.0.1:", 0) == 0 ? std::atoi(line.c_str() + 23) : -1;
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (Capture("command -v wrk").empty()) {
    std::fprintf(stderr, "server_bench: wrk is not installed\n");
    return 1;
  }
  char dir_template[] = "/tmp/shorturl-bench.XXXXXX";
  if (!mkdtemp(dir_template)) return 1;
  std::string dir = dir_template;

  int bare_port = 0;
  pid_t bare = StartBareServer(&bare_port);
  int api_port = 0;
  pid_t api = StartApiServer(dir + "/bench.db", &api_port);
  if (bare_port <= 0 || api_port <= 0) {
    std::fprintf(stderr, "server_bench: a server did not start\n");
    Stop(bare);
    Stop(api);
    return 1;
  }

  // Links to restore, made beforehand.
  std::string codes;
  {
    httplib::Client client("127.0.0.1", api_port);
    for (int i = 0; i < kRestoreLinks; ++i) {
      auto result = client.Post(
          "/api/url", "url=http%3A%2F%2Fexample.com%2Frestore%2F" + std::to_string(i) + "&type=1",
          "application/x-www-form-urlencoded");
      if (!result || result->status != 200) continue;
      std::size_t at = result->body.find("dl.test/");
      if (at == std::string::npos) continue;
      codes += "\"http://dl.test/" +
               result->body.substr(at + 8, result->body.find('"', at) - at - 8) + "\",";
    }
  }
  const std::string headers =
      "wrk.method = \"POST\"\n"
      "wrk.headers[\"Content-Type\"] = \"application/x-www-form-urlencoded\"\n";
  WriteFile(dir + "/restore.lua",
            headers + "local links = {" + codes +
                "}\nlocal i = 0\n"
                "request = function()\n"
                "  i = i % #links + 1\n"
                "  return wrk.format(nil, \"/api/url/query\", nil, \"url=\" .. links[i])\n"
                "end\n");
  // Every shorten is a new address: each wrk thread numbers its own.
  WriteFile(dir + "/shorten.lua",
            headers +
                "local threads = 0\n"
                "function setup(thread) threads = threads + 1; thread:set(\"id\", threads) end\n"
                "local n = 0\n"
                "request = function()\n"
                "  n = n + 1\n"
                "  return wrk.format(nil, \"/api/url\", nil, "
                "\"url=http%3A%2F%2Fexample.com%2Fnew%2F\" .. id .. \"%2F\" .. n .. \"&type=2\")\n"
                "end\n");
  WriteFile(dir + "/bare.lua",
            headers + "wrk.path = \"/api/url/query\"\nwrk.body = \"url=http://dl.test/abcdef\"\n");

  Measure bare_rate = RunWrk(bare_port, dir + "/bare.lua", seconds);
  Measure restores = RunWrk(api_port, dir + "/restore.lua", seconds);
  Measure shortens = RunWrk(api_port, dir + "/shorten.lua", seconds);
  Stop(bare);
  Stop(api);
  std::filesystem::remove_all(dir);

  std::printf("wrk -t%d -c%d, %d s each, loopback\n", kWrkThreads, kWrkConnections, seconds);
  std::printf("%-22s %12s %10s %8s %s\n", "", "requests/s", "p99", "ratio", "non-2xx");
  auto row = [&](const char* name, const Measure& m) {
    std::printf("%-22s %12.0f %10s %7.0f%% %s\n", name, m.requests_per_second, m.p99.c_str(),
                bare_rate.requests_per_second > 0
                    ? 100 * m.requests_per_second / bare_rate.requests_per_second
                    : 0,
                m.non_2xx.c_str());
  };
  row("bare fixed text", bare_rate);
  row("restores", restores);
  row("new shortens", shortens);
  std::printf("goal: restores >= 70%%, new shortens >= 40%% of the bare rate\n");
  return 0;
}
