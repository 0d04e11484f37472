#include "support/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace shorturl::testing {

std::string ServerProgram() { return std::string(SHORTURL_BINARY_DIR) + "/shorturl-server"; }

ServerProcess::ServerProcess(const std::vector<std::string>& args, const std::string& working_dir) {
  std::vector<std::string> argv = {ServerProgram(), "--listen", "127.0.0.1:0"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& arg : argv) raw.push_back(arg.data());
  raw.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
  if (posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);

  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && line.find('\n') == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd fd = {fds[0], POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char buffer[256];
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  const std::string prefix = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) == 0) port_ = std::atoi(line.c_str() + prefix.size());
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) Stop(SIGKILL);
}

int ServerProcess::Stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  port_ = 0;
  return done == 0 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
}

}  // namespace shorturl::testing
