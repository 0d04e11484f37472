// shorturl-server: the short-link API server. See --help.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/api_server.h"
#include "server/link_store.h"
#include "server/server_options.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "shorturl-server: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace shorturl::server;
  ServerOptions options;
  std::string error;
  if (!ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    return Fail(error);
  }
  if (options.help) {
    std::fputs(ServerUsage().c_str(), stdout);
    return 0;
  }

  // SIGINT and SIGTERM are taken by one thread that stops the server; every
  // other thread, the pool's included, inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::filesystem::path db_path(options.db_path);
  if (db_path.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(db_path.parent_path(), ec);
    if (ec)
      return Fail("cannot make the folder " + db_path.parent_path().string() + ": " + ec.message());
  }
  std::unique_ptr<LinkStore> store = LinkStore::Open(options.db_path, &error);
  if (!store) return Fail(error);

  httplib::Server http;
  ApplyServerLimits(http);
  InstallRoutes(http, *store, options.domains);
  int port = BindServer(http, options.host, options.port);
  if (port <= 0) {
    return Fail("cannot listen on " + options.host + ":" + std::to_string(options.port));
  }
  // The socket listens from here on: a client may connect as soon as it has
  // read this line.
  std::string host =
      options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
  std::printf("listening on %s:%d\n", host.c_str(), port);
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    http.stop();
  });
  bool served = http.listen_after_bind();
  if (!served) {
    // The listener failed on its own: wake the stopper so that it can end.
    kill(getpid(), SIGTERM);
  }
  stopper.join();
  return served ? 0 : 1;
}
