#include "net/url_encode.h"

#include <array>

namespace shorturl {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr std::array<bool, 256> MakeKeptTable() {
  std::array<bool, 256> kept{};
  for (int c = '0'; c <= '9'; ++c) kept[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) kept[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) kept[c] = true;
  return kept;
}

constexpr std::array<bool, 256> kKept = MakeKeptTable();

}  // namespace

Text UrlEncode(std::string_view text) {
  Text out;
  out.resize(text.size() * 3);
  char* at = out.data();
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (kKept[byte]) {
      *at++ = c;
    } else {
      *at++ = '%';
      *at++ = kHexDigits[byte >> 4];
      *at++ = kHexDigits[byte & 0x0F];
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
  return out;
}

}  // namespace shorturl
