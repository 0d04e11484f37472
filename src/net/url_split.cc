#include "net/url_split.h"

namespace shorturl {
namespace {

constexpr std::string_view kHttpPrefix = "http://";

}  // namespace

Text UrlHost(std::string_view url, bool keepPort) {
  int start = FindText(url, kHttpPrefix);
  start = start == -1 ? 1 : start + static_cast<int>(kHttpPrefix.size());
  int slash = FindText(url, "/", start);
  Text host = slash == -1 ? MiddlePart(url, start, static_cast<int>(url.size()))
                          : MiddlePart(url, start, slash - start);
  if (!keepPort) {
    int colon = FindText(host, ":");
    if (colon != -1) host = LeftPart(host, colon - 1);
  }
  return ToLowerText(host);
}

std::int32_t UrlPort(std::string_view url) {
  Text host = UrlHost(url, true);
  int colon = FindText(host, ":");
  if (colon == -1) return 80;
  return TextToInt32(MiddlePart(host, colon + 1, static_cast<int>(host.size())));
}

Text UrlPath(std::string_view url) {
  Text host = UrlHost(url);
  int host_at = FindText(url, host, 1, true);
  // FindText counts a start below 1 as 1, so a host that is not found (or is
  // empty in an empty address) searches from the beginning.
  int slash = FindText(url, "/", host_at, true);
  if (slash == -1) return "/";
  return MiddlePart(url, slash, static_cast<int>(url.size()));
}

}  // namespace shorturl
