#include "support/scripted_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace shorturl::testing {
namespace {

std::string ReasonFor(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

std::string HeaderBlock(int status, const std::vector<std::string>& headers) {
  std::string block = "HTTP/1.1 " + std::to_string(status) + " " + ReasonFor(status) + "\r\n";
  for (const std::string& line : headers) block += line + "\r\n";
  return block;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The largest value of the Content-Length lines in a request's header block.
std::size_t AnnouncedBodyLength(const std::string& head) {
  std::size_t length = 0;
  std::string folded(head);
  std::transform(folded.begin(), folded.end(), folded.begin(), Fold);
  for (std::size_t at = folded.find("\ncontent-length:"); at != std::string::npos;
       at = folded.find("\ncontent-length:", at + 1)) {
    std::size_t value = std::strtoull(head.c_str() + at + 16, nullptr, 10);
    length = std::max(length, value);
  }
  return length;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    ssize_t sent = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    at += static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

ScriptedAnswer ScriptedAnswer::Http(int status, const std::vector<std::string>& headers,
                                    const std::string& body) {
  std::string bytes = HeaderBlock(status, headers);
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  bytes += body;
  return ScriptedAnswer{{{0, std::move(bytes)}}, false};
}

ScriptedAnswer ScriptedAnswer::Chunked(int status, const std::vector<std::string>& headers,
                                       const std::vector<std::string>& chunks, int delay_ms) {
  ScriptedAnswer answer;
  answer.pieces.push_back({0, HeaderBlock(status, headers) + "Transfer-Encoding: chunked\r\n\r\n"});
  for (const std::string& chunk : chunks) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    answer.pieces.push_back({delay_ms, size + chunk + "\r\n"});
  }
  answer.pieces.push_back({delay_ms, "0\r\n\r\n"});
  return answer;
}

ScriptedAnswer ScriptedAnswer::CloseMidBody(const std::string& body, std::size_t announced) {
  std::string bytes = HeaderBlock(200, {});
  bytes += "Content-Length: " + std::to_string(announced) + "\r\n\r\n" + body;
  return ScriptedAnswer{{{0, std::move(bytes)}}, false};
}

ScriptedAnswer ScriptedAnswer::Raw(const std::string& bytes) {
  return ScriptedAnswer{{{0, bytes}}, false};
}

ScriptedAnswer ScriptedAnswer::Never() { return ScriptedAnswer{{}, true}; }

ScriptedHttpServer::ScriptedHttpServer(int port) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  if (listen_fd_ >= 0) ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    // A port of our own choosing must be had; a given one may be taken.
    if (port == 0) std::abort();  // a test machine without loopback cannot run these tests
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (accept_thread_.joinable()) accept_thread_.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  // No new connection threads once the accept loop has ended.
  for (std::thread& thread : connection_threads_) thread.join();
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
  return "http://" + Address() + path;
}

std::string ScriptedHttpServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

void ScriptedHttpServer::Queue(ScriptedAnswer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

std::vector<std::string> ScriptedHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool ScriptedHttpServer::WaitForRequests(std::size_t count, int timeout_ms) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return requests_.size() >= count; });
}

bool ScriptedHttpServer::Pause(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

void ScriptedHttpServer::AcceptLoop() {
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(mutex_);
    connection_threads_.emplace_back([this, fd] { Serve(fd); });
  }
}

void ScriptedHttpServer::Serve(int fd) {
  // Read one request: the header block, then the announced body. A client
  // that stops sending for 2 s gets recorded with what it sent.
  std::string request;
  std::size_t wanted = std::string::npos;
  char buffer[65536];
  while (request.size() < wanted) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) break;
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
    if (wanted == std::string::npos) {
      std::size_t end = request.find("\r\n\r\n");
      if (end != std::string::npos) wanted = end + 4 + AnnouncedBodyLength(request.substr(0, end));
    }
  }
  ScriptedAnswer answer;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (answers_.empty()) {
      answer = ScriptedAnswer::Http(200, {}, "");
    } else {
      answer = std::move(answers_.front());
      answers_.pop_front();
    }
  }
  changed_.notify_all();
  if (answer.never_answer) {
    Pause(24 * 3600 * 1000);
  } else {
    for (const ScriptedAnswer::Piece& piece : answer.pieces) {
      if (piece.delay_ms > 0 && !Pause(piece.delay_ms)) break;
      if (!SendAll(fd, piece.bytes)) break;
    }
  }
  ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

}  // namespace shorturl::testing
