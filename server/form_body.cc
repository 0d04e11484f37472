#include "server/form_body.h"

namespace shorturl::server {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> FormField(std::string_view body, std::string_view name) {
  while (!body.empty()) {
    std::size_t amp = body.find('&');
    std::string_view field = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    std::size_t eq = field.find('=');
    std::string_view key = field.substr(0, eq);
    if (PercentDecode(key) != name) continue;
    return eq == std::string_view::npos ? std::string() : PercentDecode(field.substr(eq + 1));
  }
  return std::nullopt;
}

std::optional<std::string> RestoreValue(std::string_view body) {
  constexpr std::string_view kPrefix = "url=";
  if (body.substr(0, kPrefix.size()) == kPrefix) return std::string(body.substr(kPrefix.size()));
  return FormField(body, "url");
}

}  // namespace shorturl::server
