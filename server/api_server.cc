#include "server/api_server.h"

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/form_body.h"
#include "server/json_answer.h"
#include "server/long_url.h"
#include "server/short_code.h"

namespace shorturl::server {
namespace {

// A connection holds a worker for as long as it lives, so the pool is larger
// than the core count; a slow client is cut off by the read time-out.
constexpr std::size_t kWorkers = 32;
// Accepted connections waiting for a worker. When it is full the acceptor
// waits, and further clients wait in the kernel's listen backlog instead of
// piling up here.
constexpr std::size_t kQueuedConnections = 256;
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kWriteTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 2;
constexpr std::size_t kKeepAliveRequests = 100;

class BoundedThreadPool : public httplib::TaskQueue {
 public:
  BoundedThreadPool(std::size_t workers, std::size_t max_queued) : max_queued_(max_queued) {
    for (std::size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~BoundedThreadPool() override = default;

  void enqueue(std::function<void()> job) override {
    std::unique_lock lock(mutex_);
    has_room_.wait(lock, [this] { return jobs_.size() < max_queued_ || shutdown_; });
    jobs_.push_back(std::move(job));
    has_job_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      shutdown_ = true;
    }
    has_job_.notify_all();
    has_room_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  void Work() {
    while (true) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        has_job_.wait(lock, [this] { return shutdown_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
        has_room_.notify_one();
      }
      job();
    }
  }

  const std::size_t max_queued_;
  std::mutex mutex_;
  std::condition_variable has_job_;
  std::condition_variable has_room_;
  std::deque<std::function<void()>> jobs_;
  bool shutdown_ = false;
  std::vector<std::thread> threads_;
};

ApiAnswer Answer(int code, std::string_view msg) { return {code, JsonAnswer(code, msg), {}}; }

ApiAnswer Answer(int code, std::string_view msg, std::string_view key, std::string_view value) {
  return {code, JsonAnswer(code, msg, key, value), {}};
}

bool IsOwnDomain(const std::string& host, const Domains& domains) {
  for (const std::string& domain : domains) {
    if (host == domain) return true;
  }
  return false;
}

// The link type from the form: exactly one digit 1 to 8.
int LinkType(const std::optional<std::string>& text) {
  if (!text || text->size() != 1 || (*text)[0] < '1' || (*text)[0] > '8') return 0;
  return (*text)[0] - '0';
}

struct ShortLink {
  std::string code;
  std::string host;  // "" for a bare code
};

// A full short link of one of our domains ("http[s]://DOMAIN/CODE", a
// trailing slash allowed) or a bare code.
std::optional<ShortLink> ParseShortLink(std::string_view text, const Domains& domains) {
  text = TrimAsciiSpace(text);
  if (IsShortCode(text)) return ShortLink{std::string(text), {}};
  std::string scheme = UrlScheme(text);
  if (scheme != "http" && scheme != "https") return std::nullopt;
  std::string_view rest = text.substr(scheme.size() + 3);
  std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string host(rest.substr(0, slash));
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!IsOwnDomain(host, domains)) return std::nullopt;
  std::string_view code = rest.substr(slash + 1);
  if (!code.empty() && code.back() == '/') code.remove_suffix(1);
  if (!IsShortCode(code)) return std::nullopt;
  return ShortLink{std::string(code), host};
}

ApiAnswer NotFound() { return Answer(404, "no such short link"); }

// Reads the link of `code` into `stored`; the answer to give instead when it
// is missing or cannot be read.
std::optional<ApiAnswer> FindLink(LinkStore& store, const std::string& code, StoredLink* stored) {
  switch (store.Find(code, stored)) {
    case FindResult::kFailed:
      return Answer(500, "the link could not be read");
    case FindResult::kMissing:
      return NotFound();
    case FindResult::kFound:
      break;
  }
  return std::nullopt;
}

void Send(const ApiAnswer& answer, httplib::Response& res) {
  res.status = answer.code;
  if (!answer.location.empty()) res.set_header("Location", answer.location);
  res.set_content(answer.body, "application/json");
}

// Reads the whole body, at most kMaxBodyBytes of it. The library already
// refuses a longer Content-Length; this also bounds a chunked body.
bool ReadBody(const httplib::ContentReader& reader, std::string* body) {
  return reader([body](const char* data, std::size_t length) {
    body->append(data, length);
    return body->size() <= kMaxBodyBytes;
  });
}

}  // namespace

ApiAnswer ShortenAnswer(std::string_view body, LinkStore& store, const Domains& domains) {
  std::optional<std::string> url = FormField(body, "url");
  std::string_view bytes = TrimAsciiSpace(url ? *url : std::string_view());
  if (bytes.empty()) return Answer(400, "url is missing or empty");
  int type = LinkType(FormField(body, "type"));
  if (type == 0) return Answer(422, "type must be a number from 1 to 8");
  if (bytes.size() > kMaxLongUrlBytes) return Answer(414, "the address is longer than 8 KB");
  std::string long_url = LongUrlToUtf8(bytes);
  std::string scheme = UrlScheme(long_url);
  if ((scheme != "http" && scheme != "https" && scheme != "ftp") || UrlHost(long_url).empty() ||
      HasControlBytes(long_url)) {
    return Answer(403, "only http, https and ftp addresses with a host can be shortened");
  }
  if (IsOwnDomain(UrlHost(long_url), domains)) {
    return Answer(409, "the address is a short link of this service already");
  }
  std::optional<std::string> code = store.Shorten(long_url, type);
  if (!code) return Answer(500, "the link could not be stored");
  return Answer(200, "ok", "short_url", "http://" + domains[type - 1] + "/" + *code);
}

ApiAnswer RestoreAnswer(std::string_view body, LinkStore& store, const Domains& domains) {
  std::optional<std::string> value = RestoreValue(body);
  if (!value || TrimAsciiSpace(*value).empty()) return Answer(400, "url is missing or empty");
  std::optional<ShortLink> link = ParseShortLink(*value, domains);
  // A client that percent-encodes the link is understood as well.
  if (!link && value->find('%') != std::string::npos) {
    link = ParseShortLink(PercentDecode(*value), domains);
  }
  if (!link) return NotFound();
  StoredLink stored;
  if (std::optional<ApiAnswer> failed = FindLink(store, link->code, &stored)) return *failed;
  // A full link must name the domain that the link was made for.
  if (!link->host.empty() &&
      (stored.type < 1 || stored.type > 8 || domains[stored.type - 1] != link->host)) {
    return NotFound();
  }
  return Answer(200, "ok", "long_url", stored.long_url);
}

ApiAnswer RedirectAnswer(const std::string& code, LinkStore& store) {
  if (!IsShortCode(code)) return NotFound();
  StoredLink stored;
  if (std::optional<ApiAnswer> failed = FindLink(store, code, &stored)) return *failed;
  ApiAnswer answer = Answer(302, "found", "long_url", stored.long_url);
  answer.location = LocationValue(stored.long_url);
  return answer;
}

ApiAnswer ErrorAnswer(int status) {
  switch (status) {
    case 404:
      return Answer(404, "not found");
    case 413:
      return Answer(413, "the request body is larger than 64 KB");
    case 500:
      return Answer(500, "internal error");
    default:
      return Answer(status, status < 500 ? "request refused" : "server error");
  }
}

void ApplyServerLimits(httplib::Server& http) {
  http.new_task_queue = [] { return new BoundedThreadPool(kWorkers, kQueuedConnections); };
  http.set_read_timeout(kReadTimeoutSeconds);
  http.set_write_timeout(kWriteTimeoutSeconds);
  http.set_keep_alive_timeout(kKeepAliveSeconds);
  http.set_keep_alive_max_count(kKeepAliveRequests);
  http.set_payload_max_length(kMaxBodyBytes);
}

int BindServer(httplib::Server& http, const std::string& host, int port) {
  // The library's default is SO_REUSEPORT, which lets a second server bind a
  // port that one already listens on and share its clients unnoticed. The
  // callback runs inside the bind below, which is how the socket is known.
  int listening = -1;
  http.set_socket_options([&listening](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // Accepted sockets inherit it: without it a small answer waits for the
    // client's delayed acknowledgement, about 40 ms.
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    listening = sock;
  });
  if (port == 0) {
    port = http.bind_to_any_port(host);
  } else if (!http.bind_to_port(host, port)) {
    port = -1;
  }
  http.set_socket_options([](socket_t) {});
  if (port <= 0) return -1;
  // The library listens with a backlog of 5, so that a burst of clients
  // overflows it and some get reset; listening again only raises it.
  if (listening >= 0) ::listen(listening, SOMAXCONN);
  return port;
}

void InstallRoutes(httplib::Server& http, LinkStore& store, const Domains& domains) {
  // The bodies are read here rather than by the library, which would refuse a
  // form body over 8 KB: a long address percent-encoded from GBK needs more.
  http.Post("/api/url", [&](const httplib::Request&, httplib::Response& res,
                            const httplib::ContentReader& reader) {
    std::string body;
    if (!ReadBody(reader, &body)) return Send(ErrorAnswer(413), res);
    Send(ShortenAnswer(body, store, domains), res);
  });
  http.Post("/api/url/query", [&](const httplib::Request&, httplib::Response& res,
                                  const httplib::ContentReader& reader) {
    std::string body;
    if (!ReadBody(reader, &body)) return Send(ErrorAnswer(413), res);
    Send(RestoreAnswer(body, store, domains), res);
  });
  http.Get("/([0-9A-Za-z]+)", [&](const httplib::Request& req, httplib::Response& res) {
    Send(RedirectAnswer(req.matches[1], store), res);
  });
  // Errors that the HTTP layer answers itself (no route, body too large) get
  // a JSON body too; answers of our own already have one.
  http.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        Send(ErrorAnswer(res.status), res);
        return httplib::Server::HandlerResponse::Handled;
      }));
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                std::exception_ptr) { Send(ErrorAnswer(500), res); });
}

}  // namespace shorturl::server
