#include "net/web_request.h"

#include "net/url_split.h"
#include "platform/internet.h"
#include "platform/window_system.h"

namespace shorturl {
namespace {

constexpr std::string_view kUserAgent = "KOVEX-ShortUrl-APP";
constexpr std::string_view kProxyListPrefix = "http=";
constexpr std::string_view kHttpVersion = "HTTP/1.1";
constexpr std::size_t kReadChunk = 2048;
constexpr int kResponseHeaderBuffer = 1024;
constexpr int kFailureLength = 255;
constexpr std::string_view kSetCookie = "Set-Cookie: ";

constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";

// Appends `line` unless `headers` already names `name` somewhere, in any
// letter case. The test is deliberately loose: the name anywhere in the block
// counts, even inside another header's value.
void AppendUnlessPresent(Text& headers, std::string_view name, std::string_view line) {
  if (FindText(headers, name, 1, true) == -1) headers += line;
}

// Hands the cookies of a raw header block to the cookie store, one line at a
// time, dispatching window events after every line.
void ReplayCookies(std::string_view response_headers, std::string_view server_name) {
  if (FindText(response_headers, kSetCookie, 1, true) == -1) return;
  Text cookie_url = "http://" + Text(server_name);
  std::size_t at = 0;
  while (true) {
    std::size_t end = response_headers.find('\n', at);
    bool last = end == std::string_view::npos;
    std::string_view line = response_headers.substr(at, last ? std::string_view::npos : end - at);
    if (!last && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (FindText(line, kSetCookie, 1, true) != -1) {
      // The first 12 bytes of the line go, wherever the name stood in it.
      Text rest =
          MiddlePart(line, static_cast<int>(kSetCookie.size()) + 1, static_cast<int>(line.size()));
      int equals = FindText(rest, "=");
      if (equals == -1) {
        InternetSetCookie(cookie_url, "", rest);
      } else {
        InternetSetCookie(cookie_url, LeftPart(rest, equals - 1),
                          MiddlePart(rest, equals + 1, static_cast<int>(rest.size())));
      }
    }
    ProcessPendingEvents();
    if (last) break;
    at = end + 1;
  }
}

}  // namespace

Bytes WebRequest(std::string_view url, std::string_view method, std::string_view proxy,
                 Text* headers_arg, std::string_view body, Text* responseHeaders_arg) {
  Text scratch_headers, scratch_response_headers;
  Text& headers = headers_arg != nullptr ? *headers_arg : scratch_headers;
  Text& responseHeaders =
      responseHeaders_arg != nullptr ? *responseHeaders_arg : scratch_response_headers;

  Text object_name = UrlPath(url);
  Text server_name = UrlHost(url);

  InternetHandle internet =
      RemoveAllSpaces(proxy).empty()
          ? InternetOpen(kUserAgent, InternetAccess::kDirect, {})
          : InternetOpen(kUserAgent, InternetAccess::kProxy, Text(kProxyListPrefix) + Text(proxy));
  if (internet == 0) return BlankBytes(kFailureLength);

  InternetHandle connection = InternetConnect(internet, server_name, UrlPort(url), "", "");
  if (connection == 0) {
    InternetCloseHandle(internet);
    return BlankBytes(kFailureLength);
  }

  InternetHandle request =
      HttpOpenRequest(connection, method, object_name, kHttpVersion, kInternetFlagReload);
  if (request == 0) {
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return BlankBytes(kFailureLength);
  }

  AppendUnlessPresent(headers, "Accept: ", kDefaultAccept);
  AppendUnlessPresent(headers, "Referer: ", "Referer: " + Text(url) + "\r\n");
  AppendUnlessPresent(headers, "Accept-Language: ", "Accept-Language: zh-cn\r\n");

  Text verb = ToUpperText(method);
  if (method.empty() || verb == "GET") {
    HttpSendRequest(request, headers, {});
  } else if (verb == "POST") {
    if (!body.empty()) {
      AppendUnlessPresent(headers,
                          "Content-Type: ", "Content-Type: application/x-www-form-urlencoded\r\n");
      // Appended even when the caller gave one of its own.
      headers += "Content-Length: " + NumberToText(static_cast<std::int64_t>(body.size())) + "\r\n";
    }
    HttpSendRequest(request, headers, body);
  } else {
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    InternetCloseHandle(request);
    return BlankBytes(kFailureLength);
  }

  Bytes received;
  std::uint8_t chunk[kReadChunk];
  while (true) {
    ProcessPendingEvents();
    std::size_t count = InternetReadFile(request, chunk, kReadChunk);
    if (count == 0) break;
    received.insert(received.end(), chunk, chunk + count);
  }

  responseHeaders = BlankText(kResponseHeaderBuffer);
  HttpQueryRawHeaders(request, responseHeaders);

  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);

  ReplayCookies(responseHeaders, server_name);
  return received;
}

Text WebRequestText(std::string_view url, std::string_view method, std::string_view proxy,
                    Text* headers, std::string_view body, Text* responseHeaders) {
  return TextFromBytes(WebRequest(url, method, proxy, headers, body, responseHeaders));
}

}  // namespace shorturl
