#include "server/short_code.h"

#include <sys/random.h>

#include <cerrno>

namespace shorturl::server {
namespace {

constexpr std::string_view kAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool IsBase62(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string NewShortCode(std::size_t length) {
  std::string code;
  unsigned char buffer[64];
  while (code.size() < length) {
    ssize_t n = getrandom(buffer, sizeof buffer, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    for (ssize_t i = 0; i < n && code.size() < length; ++i) {
      // 248 = 4 * 62: bytes above it are dropped so that every character is
      // equally likely.
      if (buffer[i] < 248) code += kAlphabet[buffer[i] % 62];
    }
  }
  return code;
}

bool IsShortCode(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    if (!IsBase62(c)) return false;
  }
  return true;
}

}  // namespace shorturl::server
