#include "server/long_url.h"

#include <cctype>

#include "server/form_body.h"
#include "server/json_answer.h"
#include "text/codepage.h"

namespace shorturl::server {
namespace {

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string LongUrlToUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Utf8FromText(bytes);
}

std::string_view TrimAsciiSpace(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string UrlScheme(std::string_view url) {
  std::size_t end = url.find("://");
  if (end == std::string_view::npos || end == 0) return {};
  std::string_view scheme = url.substr(0, end);
  if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return {};
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
  }
  return Lower(scheme);
}

std::string UrlHost(std::string_view url) {
  std::string scheme = UrlScheme(url);
  if (scheme.empty()) return {};
  std::string_view rest = url.substr(scheme.size() + 3);
  // Browsers end the authority at a backslash as well as at "/", "?" and "#".
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#\\"));
  std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') {
    authority = authority.substr(0, authority.find(']') + 1);
  } else {
    authority = authority.substr(0, authority.find(':'));
  }
  std::string host = Lower(PercentDecode(authority));
  while (!host.empty() && host.back() == '.') host.pop_back();
  return host;
}

bool HasControlBytes(std::string_view bytes) {
  for (char c : bytes) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

std::string LocationValue(std::string_view utf8_url) {
  static constexpr std::string_view kUnsafe = "\"<>\\^`{|} ";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8_url.size());
  for (std::size_t i = 0; i < utf8_url.size(); ++i) {
    char c = utf8_url[i];
    unsigned char b = static_cast<unsigned char>(c);
    bool keep = b > 0x20 && b < 0x7F && kUnsafe.find(c) == std::string_view::npos;
    if (c == '%')
      keep = i + 2 < utf8_url.size() && IsHex(utf8_url[i + 1]) && IsHex(utf8_url[i + 2]);
    if (keep) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

}  // namespace shorturl::server
