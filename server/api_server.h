// The short-link API over HTTP.
//
//   POST /api/url        form "url=<percent-encoded address>&type=<1..8>"
//   POST /api/url/query  "url=<short link or bare code, unencoded>"
//   GET  /<code>         302 to the long address
//
// The answers are built by plain functions (ShortenAnswer and the others) so
// that the HTTP layer only moves bytes.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "server/link_store.h"

namespace httplib {
class Server;
}

namespace shorturl::server {

using Domains = std::array<std::string, 8>;

// Longest long address accepted, in bytes after percent-decoding.
constexpr std::size_t kMaxLongUrlBytes = 8 * 1024;
// Longest request body accepted; a longer one is refused before it is read.
constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct ApiAnswer {
  int code = 500;        // also the HTTP status
  std::string body;      // JSON, pure ASCII
  std::string location;  // for a redirect
};

ApiAnswer ShortenAnswer(std::string_view body, LinkStore& store, const Domains& domains);
ApiAnswer RestoreAnswer(std::string_view body, LinkStore& store, const Domains& domains);
ApiAnswer RedirectAnswer(const std::string& code, LinkStore& store);
// The answer for an error that the HTTP layer met itself (404, 413, ...).
ApiAnswer ErrorAnswer(int status);

// The thread pool, time-outs and size limits the server runs with. The
// benchmark gives its bare comparison server the same.
void ApplyServerLimits(httplib::Server& http);

// Binds `http` to `host`:`port` (0 picks a free port) and starts listening,
// with SO_REUSEADDR only and a full-size backlog. The port, or -1.
int BindServer(httplib::Server& http, const std::string& host, int port);

// Routes `http` to the API. `store` and `domains` must outlive it.
void InstallRoutes(httplib::Server& http, LinkStore& store, const Domains& domains);

}  // namespace shorturl::server
