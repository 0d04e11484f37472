#include "server/json_answer.h"

#include <cstdio>

namespace shorturl::server {
namespace {

void AppendEscape(std::string& out, unsigned unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", unit);
  out += buffer;
}

}  // namespace

long NextCodePoint(std::string_view utf8, std::size_t* pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  std::size_t i = *pos;
  unsigned char lead = byte(i);
  *pos = i + 1;
  if (lead < 0x80) return lead;
  int length;
  long code_point;
  long minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code_point = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code_point = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code_point = lead & 0x07, minimum = 0x10000;
  } else {
    return -1;
  }
  if (i + length > utf8.size()) return -1;
  for (int k = 1; k < length; ++k) {
    unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return -1;
    code_point = (code_point << 6) | (next & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point < 0xE000)) {
    return -1;
  }
  *pos = i + length;
  return code_point;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    if (NextCodePoint(bytes, &pos) < 0) return false;
  }
  return true;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  out.reserve(utf8.size() + 2);
  for (std::size_t pos = 0; pos < utf8.size();) {
    long c = NextCodePoint(utf8, &pos);
    if (c < 0) c = 0xFFFD;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      AppendEscape(out, static_cast<unsigned>(c));
    } else {
      c -= 0x10000;
      AppendEscape(out, static_cast<unsigned>(0xD800 + (c >> 10)));
      AppendEscape(out, static_cast<unsigned>(0xDC00 + (c & 0x3FF)));
    }
  }
  out += '"';
  return out;
}

std::string JsonAnswer(int code, std::string_view msg) {
  return "{\"code\":" + std::to_string(code) + ",\"msg\":" + JsonString(msg) + "}";
}

std::string JsonAnswer(int code, std::string_view msg, std::string_view key,
                       std::string_view value) {
  return "{\"code\":" + std::to_string(code) + ",\"msg\":" + JsonString(msg) + ",\"data\":{" +
         JsonString(key) + ":" + JsonString(value) + "}}";
}

}  // namespace shorturl::server
