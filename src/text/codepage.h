// Conversion between Text (GBK, code page 936) and UTF-16 or UTF-8.
//
// Only the stand-ins for the platform use these: the rest of the program sees
// GBK Text alone. Conversion never fails and never crashes on any input:
// a byte sequence that is not GBK becomes U+FFFD, and a character that GBK
// lacks (or a malformed UTF-8 or UTF-16 sequence) becomes "?". Conversion
// into Text ends at the first NUL character.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace shorturl {

std::u16string Utf16FromText(std::string_view text);
Text TextFromUtf16(std::u16string_view utf16);

std::string Utf8FromText(std::string_view text);
Text TextFromUtf8(std::string_view utf8);

}  // namespace shorturl

namespace shorturl {

// A GBK Text from a UTF-8 string literal in the source: "生成失败"_gbk.
inline Text operator""_gbk(const char* utf8, std::size_t size) {
  return TextFromUtf8(std::string_view(utf8, size));
}

}  // namespace shorturl
