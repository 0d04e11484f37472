// A scripted HTTP server on loopback, for tests of anything that talks HTTP.
//
// It accepts connections on 127.0.0.1 at a port of its own, reads one
// request per connection (the header block, then as many body bytes as the
// largest Content-Length line announces), records the exact bytes it got,
// and answers with the next queued ScriptedAnswer; when the queue is empty it
// answers "200 OK" with an empty body. After answering it closes the
// connection. It serves each connection on a thread of its own, so a
// connection held open does not stall the next one.
//
// It serves requests in absolute form ("GET http://host/path") like any
// other, which makes it a proxy for tests: point the client at it and read
// back the request line.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace shorturl::testing {

struct ScriptedAnswer {
  struct Piece {
    int delay_ms = 0;   // waited before the bytes are written
    std::string bytes;  // written as they are
  };
  std::vector<Piece> pieces;
  // Keep the connection open without answering until the server stops.
  bool never_answer = false;

  // An answer with a status line, the header lines ("Name: value"), a
  // Content-Length line and the body.
  static ScriptedAnswer Http(int status, const std::vector<std::string>& headers,
                             const std::string& body);
  // The same with the body sent in chunked transfer encoding, one chunk per
  // piece, each written `delay_ms` after the one before.
  static ScriptedAnswer Chunked(int status, const std::vector<std::string>& headers,
                                const std::vector<std::string>& chunks, int delay_ms = 0);
  // A header block that announces `announced` body bytes, then only `body`,
  // then the connection is closed.
  static ScriptedAnswer CloseMidBody(const std::string& body, std::size_t announced);
  // Exactly these bytes, HTTP or not.
  static ScriptedAnswer Raw(const std::string& bytes);
  static ScriptedAnswer Never();
};

class ScriptedHttpServer {
 public:
  // Listens on an unused port, or on `port` when it is given; port() is 0
  // when that port could not be had.
  explicit ScriptedHttpServer(int port = 0);
  // Stops serving: connections that wait or never get an answer are closed.
  ~ScriptedHttpServer();
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "/") const;
  // "127.0.0.1:<port>", for use as a proxy address.
  std::string Address() const;

  // Queues the answer to a later request; answers go out in queue order.
  void Queue(ScriptedAnswer answer);
  // The raw bytes of every request received so far, in order of arrival.
  std::vector<std::string> Requests() const;
  // Waits up to `timeout_ms` until `count` requests have arrived.
  bool WaitForRequests(std::size_t count, int timeout_ms) const;

 private:
  void AcceptLoop();
  void Serve(int fd);
  // Sleeps `ms`, or less when the server stops; false when it stopped.
  bool Pause(int ms);

  int listen_fd_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  std::deque<ScriptedAnswer> answers_;
  std::vector<std::string> requests_;
  std::vector<std::thread> connection_threads_;
  std::thread accept_thread_;
};

}  // namespace shorturl::testing
