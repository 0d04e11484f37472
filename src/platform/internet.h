// The internet library, as the program sees it: a session, a connection to
// an HTTP server and a request on it, the raw response headers, and one
// process-wide cookie store.
//
// Handles are small numbers; 0 is none. Every call on a handle that is not
// open, or of the wrong kind, fails. Nothing is ever taken from a cache.
// While a request is under way (from the send to the last read) pending
// window events keep being dispatched, so the window stays alive; a handler
// run at that moment may start another request of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "text/text.h"

namespace shorturl {

using InternetHandle = std::uint32_t;

enum class InternetAccess {
  kDirect,  // no proxy, whatever the environment says
  kProxy,   // the proxies named in the proxy list
};

// Always fetch from the server; the only request flag there is.
inline constexpr std::uint32_t kInternetFlagReload = 0x80000000u;

// Opens a session that sends `agent` as its User-Agent. With kProxy,
// `proxy_list` names proxies separated by spaces or semicolons, each
// "scheme=address" for one scheme or a bare address for every scheme; only
// an http proxy is used, and only for http addresses. 0 on failure.
InternetHandle InternetOpen(std::string_view agent, InternetAccess access,
                            std::string_view proxy_list);

// A connection to `server_name` on `port` (0: the default, 80). Nothing is
// sent yet. 0 when the name is empty or the port is outside 0-65535.
InternetHandle InternetConnect(InternetHandle internet, std::string_view server_name,
                               std::int32_t port, std::string_view user_name,
                               std::string_view password);

// A request for `object_name` with `verb` sent exactly as given ("GET" when
// empty), in `version` ("HTTP/1.1" or "HTTP/1.0"). 0 when the verb holds a
// character that a method token cannot hold, the version is another, or
// `flags` holds anything but kInternetFlagReload.
InternetHandle HttpOpenRequest(InternetHandle connection, std::string_view verb,
                               std::string_view object_name, std::string_view version,
                               std::uint32_t flags);

// Sends the request and waits for the response headers. `headers` holds
// header lines ended by CR LF, sent in their order and unchanged, besides
// Host, User-Agent and the store's cookies for the host; a non-empty
// `optional_data` is the body, framed by a Content-Length line unless
// `headers` holds one. Redirects are followed (at most 10); a POST answered
// with 301, 302 or 303 goes on as a GET without body. Connecting may take
// at most the connect time limit, and the send fails when no data arrives
// for the receive time limit. False on failure; a request is sent once.
bool HttpSendRequest(InternetHandle request, std::string_view headers,
                     std::string_view optional_data);

// Up to `size` bytes of the response body into `buffer`, as they arrive
// (chunked transfer decoded): the count delivered, which is 0 at the end of
// the body, after any failure, and when no data came for the receive time
// limit.
std::size_t InternetReadFile(InternetHandle request, std::uint8_t* buffer, std::size_t size);

// The raw header block of the final response: the status line and each
// header line ended by CR LF, then an empty line. When the block and a
// terminating zero fit into `buffer.size()` bytes, `buffer` becomes the block
// and the result is true; otherwise (no response, or too long) `buffer` is
// left as it was and the result is false.
bool HttpQueryRawHeaders(InternetHandle request, Text& buffer);

// Closes a handle of any kind. Handles opened from it stay usable until they
// are closed themselves. False when `handle` is not open.
bool InternetCloseHandle(InternetHandle handle);

// Keeps the cookie `name`=`data` ("abc; path=/": value and attributes) for
// the host of `url` alone, to be sent on later requests to that host that
// match its path. Cookies are keyed by host, path and name, whether handed
// in here or set by an answer: either replaces the other, and each goes out
// once. A domain attribute in `data` is overruled by the host. An empty name
// keeps `data` as a cookie without a name. False when `url` has no host or
// the cookie is malformed.
bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data);

// The process-wide time limits: connecting (15 s) and waiting for data
// (30 s). Meant for tests, which cannot wait that long.
void SetInternetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds receive);

}  // namespace shorturl
