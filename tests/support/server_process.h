// The real server process for tests: started on a free port, found through
// the "listening on HOST:PORT" line it prints, killed when the object dies.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace shorturl::testing {

class ServerProcess {
 public:
  // Starts build/shorturl-server with "--listen 127.0.0.1:0" and `args`, in
  // `working_dir` when not empty, and waits up to 10 s for its line.
  explicit ServerProcess(const std::vector<std::string>& args, const std::string& working_dir = {});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // The port it listens on; 0 when it did not come up.
  int port() const { return port_; }
  // Sends `signal` and waits up to 10 s; the exit status, or -1 when killed
  // by a signal or still running.
  int Stop(int signal);

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The path of the server program in the build folder.
std::string ServerProgram();

}  // namespace shorturl::testing
