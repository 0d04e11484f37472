#include "platform/internet.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/window_system.h"

namespace shorturl {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;

std::chrono::milliseconds g_connect_timeout{15000};
std::chrono::milliseconds g_receive_timeout{30000};

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The one cookie store of the process. Everything runs on one thread, so the
// share needs no lock callbacks. It lives as long as the process.
CURLSH* CookieShare() {
  static CURLSH* share = [] {
    InitCurlOnce();
    CURLSH* s = curl_share_init();
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    return s;
  }();
  return share;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The name of a header line, up to its colon, or "" when it has none.
std::string_view HeaderName(std::string_view line) {
  std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

bool IsTokenChar(char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// A host that can stand in a URL: letters, digits, dots, hyphens and
// underscores. Anything else (user information, a query, a bracket) would
// change what the URL means.
bool IsPlainHostName(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// The header lines of a CR LF separated block; empty lines dropped.
std::vector<std::string> SplitHeaderLines(std::string_view block) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < block.size()) {
    std::size_t end = block.find('\n', at);
    if (end == std::string_view::npos) end = block.size();
    std::string_view line = block.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(line);
    at = end + 1;
  }
  return lines;
}

// The http proxy of a proxy list: the entry "http=address" wins over a bare
// address; "" when there is none.
std::string HttpProxyFromList(std::string_view list) {
  std::string generic, http;
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t end = list.find_first_of(" ;", at);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(at, end - at);
    at = end + 1;
    if (entry.empty()) continue;
    std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (generic.empty()) generic = entry;
    } else if (EqualsIgnoreCase(entry.substr(0, equals), "http") && equals + 1 < entry.size()) {
      if (http.empty()) http = entry.substr(equals + 1);
    }
  }
  return http.empty() ? generic : http;
}

// The host of an absolute address in lower case, or "" when it has none.
std::string HostOf(const std::string& url) {
  CURLU* u = curl_url();
  char* host = nullptr;
  std::string result;
  if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr) {
    result = host;
  }
  curl_free(host);
  curl_url_cleanup(u);
  for (char& c : result) c = FoldAscii(c);
  return result;
}

// Cookies without a name, by host: the library's store cannot hold them, so
// they live here and go out at the end of the Cookie line, as "value" alone.
// A newer one replaces the older.
std::unordered_map<std::string, std::string>& NamelessCookies() {
  static std::unordered_map<std::string, std::string> cookies;
  return cookies;
}

// The cookie `name`=`data` for `host` alone, as a line of the library's
// cookie file: domain, tail match, path, secure, expiry, name, value.
//
// The store keys a cookie by domain, tail match, path and name, and replaces
// only on all four. A cookie that an answer sets without a domain is kept
// for its host alone (no tail match); one handed in as a Set-Cookie line
// carries no host, and would need a domain attribute to reach a named host,
// which makes it a tail-matching domain cookie: a second cookie beside the
// answer's, sent twice. So the line is written here with the host and no
// tail match, and the two are one cookie. The value and the attributes (path,
// expiry, secure, HttpOnly) are read by the library itself, in a scratch
// store, exactly as an answer's would be; a domain attribute is overruled,
// so that the cookie reaches this host and no other. Nothing when the
// library rejects the cookie.
std::optional<std::string> HostOnlyCookieLine(const std::string& host, std::string_view name,
                                              std::string_view data) {
  CURL* scratch = curl_easy_init();
  if (scratch == nullptr) return std::nullopt;
  curl_easy_setopt(scratch, CURLOPT_COOKIEFILE, "");
  // The store lists no cookie without a domain; this one is dropped below.
  std::string set_cookie =
      "Set-Cookie: " + std::string(name) + "=" + std::string(data) + "; domain=scratch.invalid";
  curl_easy_setopt(scratch, CURLOPT_COOKIELIST, set_cookie.c_str());
  curl_slist* list = nullptr;
  curl_easy_getinfo(scratch, CURLINFO_COOKIELIST, &list);
  std::optional<std::string> line;
  if (list != nullptr && list->next == nullptr) {
    std::string_view parsed = list->data;
    std::string_view http_only = "#HttpOnly_";
    bool is_http_only = parsed.substr(0, http_only.size()) == http_only;
    // Past the domain and the tail match: path, secure, expiry, name, value.
    std::size_t first_tab = parsed.find('\t');
    std::size_t second_tab =
        first_tab == std::string_view::npos ? first_tab : parsed.find('\t', first_tab + 1);
    if (second_tab != std::string_view::npos) {
      line = (is_http_only ? std::string(http_only) : std::string()) + host + "\tFALSE\t" +
             std::string(parsed.substr(second_tab + 1));
    }
  }
  curl_slist_free_all(list);
  curl_easy_cleanup(scratch);
  return line;
}

enum class Kind { kInternet, kConnection, kRequest };

// One hop of a request: an easy handle in a multi handle of its own.
struct Hop {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* header_list = nullptr;

  ~Hop() {
    if (easy != nullptr) {
      curl_multi_remove_handle(multi, easy);
      curl_easy_cleanup(easy);
    }
    if (multi != nullptr) curl_multi_cleanup(multi);
    curl_slist_free_all(header_list);
  }
};

struct Request {
  // What the request was opened with.
  std::string agent;
  std::string http_proxy;
  std::string server;
  long port = 80;
  std::string verb;
  std::string object_name;
  long http_version = CURL_HTTP_VERSION_1_1;

  // What is sent; a redirect may turn it into a GET without body.
  bool sent = false;
  std::string url;
  std::vector<std::string> header_lines;
  std::string body;
  int redirects = 0;

  std::unique_ptr<Hop> hop;
  bool done = false;
  bool connected = false;
  Clock::time_point last_activity;
  curl_off_t seen_down = 0, seen_up = 0;

  // The response as it arrives.
  int status = 0;
  std::string building_headers;
  std::string location;
  bool headers_complete = false;  // the final response's headers are in
  std::string raw_headers;
  std::string pending;  // body bytes not yet read
  std::size_t pending_at = 0;
};

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  std::string agent;
  std::string http_proxy;
  std::string server;
  long port = 80;
  std::unique_ptr<Request> request;
};

std::unordered_map<InternetHandle, std::unique_ptr<Object>>& Handles() {
  static std::unordered_map<InternetHandle, std::unique_ptr<Object>> handles;
  return handles;
}

InternetHandle AddHandle(std::unique_ptr<Object> object) {
  static InternetHandle next = 0;
  do {
    ++next;
  } while (next == 0 || Handles().count(next) != 0);
  Handles()[next] = std::move(object);
  return next;
}

Object* Find(InternetHandle handle, Kind kind) {
  auto it = Handles().find(handle);
  if (it == Handles().end() || it->second->kind != kind) return nullptr;
  return it->second.get();
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  std::string_view line(data, size * count);
  r->last_activity = Clock::now();
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (StartsWithIgnoreCase(line, "HTTP/")) {
    // A new response: an interim one or one after a redirect starts over.
    r->building_headers.clear();
    r->location.clear();
    std::size_t space = line.find(' ');
    r->status = space == std::string_view::npos
                    ? 0
                    : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
    r->building_headers.append(line).append("\r\n");
  } else if (line.empty()) {
    if (r->status >= 100 && r->status < 200) return size * count;
    if (r->building_headers.empty()) return size * count;  // after trailers
    r->raw_headers = r->building_headers + "\r\n";
    r->building_headers.clear();
    r->headers_complete = true;
  } else if (!r->building_headers.empty()) {
    if (EqualsIgnoreCase(HeaderName(line), "Location")) {
      std::string_view value = line.substr(line.find(':') + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
      r->location = value;
    }
    r->building_headers.append(line).append("\r\n");
  }
  return size * count;
}

bool IsRedirect(const Request& r) {
  return (r.status == 301 || r.status == 302 || r.status == 303 || r.status == 307 ||
          r.status == 308) &&
         !r.location.empty();
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  r->last_activity = Clock::now();
  // The body of a redirect is dropped; the next hop starts once it is seen.
  if (!IsRedirect(*r)) r->pending.append(data, size * count);
  return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* r = static_cast<Request*>(user);
  if (down != r->seen_down || up != r->seen_up) {
    r->seen_down = down;
    r->seen_up = up;
    r->last_activity = Clock::now();
  }
  return 0;
}

bool StartHop(Request& r) {
  auto hop = std::make_unique<Hop>();
  hop->multi = curl_multi_init();
  hop->easy = curl_easy_init();
  if (hop->multi == nullptr || hop->easy == nullptr) return false;
  CURL* e = hop->easy;
  for (const std::string& line : r.header_lines) {
    hop->header_list = curl_slist_append(hop->header_list, line.c_str());
  }
  // Empty values keep the library's own headers out; the caller's lines of
  // the same names are still sent.
  for (const char* none : {"Accept:", "Expect:", "Content-Type:", "Proxy-Connection:"}) {
    hop->header_list = curl_slist_append(hop->header_list, none);
  }
  curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, r.http_version);
  curl_easy_setopt(e, CURLOPT_USERAGENT, r.agent.c_str());
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, hop->header_list);
  curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
  if (r.body.empty()) {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
  }
  bool proxied = !r.http_proxy.empty() && StartsWithIgnoreCase(r.url, "http://");
  curl_easy_setopt(e, CURLOPT_PROXY, proxied ? r.http_proxy.c_str() : "");
  curl_easy_setopt(e, CURLOPT_NOPROXY, "");
  curl_easy_setopt(e, CURLOPT_SHARE, CookieShare());
  curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
  auto nameless = NamelessCookies().find(HostOf(r.url));
  if (nameless != NamelessCookies().end()) {
    curl_easy_setopt(e, CURLOPT_COOKIE, nameless->second.c_str());
  }
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(g_connect_timeout.count()));
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &r);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  if (curl_multi_add_handle(hop->multi, e) != CURLM_OK) return false;
  r.hop = std::move(hop);
  r.status = 0;
  r.building_headers.clear();
  r.location.clear();
  r.connected = false;
  r.seen_down = r.seen_up = 0;
  r.last_activity = Clock::now();
  return true;
}

void Finish(Request& r) {
  r.done = true;
  r.hop.reset();
}

// Moves on to the target of a redirect, as a browser would: 303, and 301 or
// 302 after a POST, go on as a GET without body.
void FollowRedirect(Request& r) {
  if (r.redirects >= kMaxRedirects) {
    r.headers_complete = false;
    Finish(r);
    return;
  }
  ++r.redirects;
  CURLU* u = curl_url();
  char* next = nullptr;
  bool ok = curl_url_set(u, CURLUPART_URL, r.url.c_str(), 0) == CURLUE_OK &&
            curl_url_set(u, CURLUPART_URL, r.location.c_str(), 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_URL, &next, 0) == CURLUE_OK;
  if (ok) r.url = next;
  curl_free(next);
  curl_url_cleanup(u);
  bool as_get =
      r.status == 303 || ((r.status == 301 || r.status == 302) && EqualsIgnoreCase(r.verb, "POST"));
  if (as_get && !EqualsIgnoreCase(r.verb, "HEAD")) {
    r.verb = "GET";
    r.body.clear();
    std::erase_if(r.header_lines, [](const std::string& line) {
      return EqualsIgnoreCase(HeaderName(line), "Content-Length");
    });
  }
  r.headers_complete = false;
  r.raw_headers.clear();
  r.pending.clear();
  r.pending_at = 0;
  if (!ok || !StartHop(r)) Finish(r);
}

// Drives the transfer, dispatching window events meanwhile, until `until`
// holds or the transfer has ended. A connected transfer that sees no data
// for the receive time limit is ended.
template <typename Until>
void Drive(Request& r, Until until) {
  while (!r.done && !until()) {
    int running = 0;
    curl_multi_perform(r.hop->multi, &running);
    if (r.headers_complete && IsRedirect(r)) {
      FollowRedirect(r);
      continue;
    }
    int queued = 0;
    bool ended = false;
    while (CURLMsg* message = curl_multi_info_read(r.hop->multi, &queued)) {
      if (message->msg == CURLMSG_DONE) ended = true;
    }
    if (ended) Finish(r);
    if (r.done || until()) break;
    if (!r.connected) {
      curl_off_t connect_time = 0;
      curl_easy_getinfo(r.hop->easy, CURLINFO_CONNECT_TIME_T, &connect_time);
      if (connect_time > 0) {
        r.connected = true;
        r.last_activity = Clock::now();
      }
    }
    if (r.connected && Clock::now() - r.last_activity >= g_receive_timeout) {
      Finish(r);
      break;
    }
    curl_multi_poll(r.hop->multi, nullptr, 0, 20, nullptr);
    ProcessPendingEvents();
  }
}

}  // namespace

InternetHandle InternetOpen(std::string_view agent, InternetAccess access,
                            std::string_view proxy_list) {
  InitCurlOnce();
  auto object = std::make_unique<Object>(Kind::kInternet);
  object->agent = agent;
  if (access == InternetAccess::kProxy) object->http_proxy = HttpProxyFromList(proxy_list);
  return AddHandle(std::move(object));
}

InternetHandle InternetConnect(InternetHandle internet, std::string_view server_name,
                               std::int32_t port, std::string_view, std::string_view) {
  Object* session = Find(internet, Kind::kInternet);
  // The port is a 16-bit number on the wire: a larger one must not wrap
  // around to some other port.
  if (session == nullptr || server_name.empty() || port < 0 || port > 65535) return 0;
  auto object = std::make_unique<Object>(Kind::kConnection);
  object->agent = session->agent;
  object->http_proxy = session->http_proxy;
  object->server = server_name;
  object->port = port == 0 ? 80 : port;
  return AddHandle(std::move(object));
}

InternetHandle HttpOpenRequest(InternetHandle connection, std::string_view verb,
                               std::string_view object_name, std::string_view version,
                               std::uint32_t flags) {
  Object* parent = Find(connection, Kind::kConnection);
  if (parent == nullptr || (flags & ~kInternetFlagReload) != 0) return 0;
  for (char c : verb) {
    if (!IsTokenChar(c)) return 0;
  }
  auto request = std::make_unique<Request>();
  if (version == "HTTP/1.1") {
    request->http_version = CURL_HTTP_VERSION_1_1;
  } else if (version == "HTTP/1.0") {
    request->http_version = CURL_HTTP_VERSION_1_0;
  } else {
    return 0;
  }
  request->agent = parent->agent;
  request->http_proxy = parent->http_proxy;
  request->server = parent->server;
  request->port = parent->port;
  request->verb = verb.empty() ? "GET" : std::string(verb);
  request->object_name = object_name;
  auto object = std::make_unique<Object>(Kind::kRequest);
  object->request = std::move(request);
  return AddHandle(std::move(object));
}

bool HttpSendRequest(InternetHandle request, std::string_view headers,
                     std::string_view optional_data) {
  Object* object = Find(request, Kind::kRequest);
  if (object == nullptr || object->request->sent) return false;
  Request& r = *object->request;
  r.sent = true;
  if (!IsPlainHostName(r.server)) return false;
  r.url = "http://" + r.server;
  if (r.port != 80) r.url += ":" + std::to_string(r.port);
  if (r.object_name.empty() || r.object_name.front() != '/') r.url += '/';
  r.url += r.object_name;
  r.header_lines = SplitHeaderLines(headers);
  r.body = optional_data;
  if (!StartHop(r)) {
    Finish(r);
    return false;
  }
  Drive(r, [&r] { return r.headers_complete && !IsRedirect(r); });
  return r.headers_complete;
}

std::size_t InternetReadFile(InternetHandle request, std::uint8_t* buffer, std::size_t size) {
  Object* object = Find(request, Kind::kRequest);
  if (object == nullptr || size == 0) return 0;
  // A nested request started while this one waits may close handles and
  // add new ones, but never this request's own object.
  Request& r = *object->request;
  if (!r.sent) return 0;
  Drive(r, [&r] { return r.pending_at < r.pending.size(); });
  std::size_t count = std::min(size, r.pending.size() - r.pending_at);
  std::copy_n(r.pending.data() + r.pending_at, count, buffer);
  r.pending_at += count;
  if (r.pending_at == r.pending.size()) {
    r.pending.clear();
    r.pending_at = 0;
  }
  return count;
}

bool HttpQueryRawHeaders(InternetHandle request, Text& buffer) {
  Object* object = Find(request, Kind::kRequest);
  if (object == nullptr || !object->request->headers_complete) return false;
  const std::string& block = object->request->raw_headers;
  if (block.size() + 1 > buffer.size()) return false;
  buffer = block;
  return true;
}

bool InternetCloseHandle(InternetHandle handle) { return Handles().erase(handle) == 1; }

bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data) {
  std::string host = HostOf(std::string(url));
  if (host.empty()) return false;
  if (name.empty()) {
    std::string value(data.substr(0, data.find(';')));
    if (value.empty()) return false;
    NamelessCookies()[host] = value;
    return true;
  }
  std::optional<std::string> line = HostOnlyCookieLine(host, name, data);
  if (!line) return false;
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return false;
  curl_easy_setopt(easy, CURLOPT_SHARE, CookieShare());
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  bool ok = curl_easy_setopt(easy, CURLOPT_COOKIELIST, line->c_str()) == CURLE_OK;
  curl_easy_cleanup(easy);
  return ok;
}

void SetInternetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds receive) {
  g_connect_timeout = connect;
  g_receive_timeout = receive;
}

}  // namespace shorturl
