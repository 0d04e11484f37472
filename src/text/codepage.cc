#include "text/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace shorturl {
namespace {

// One iconv conversion descriptor, kept per thread: opening one costs far
// more than a short conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in` and appends to `out`. On a sequence it cannot convert it
  // appends `bad` and skips `skip(rest)` input bytes, then carries on.
  template <typename Skip>
  void Convert(std::string_view in, std::string& out, std::string_view bad, Skip skip) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char buffer[4096];
    while (src_left > 0) {
      char* dst = buffer;
      std::size_t dst_left = sizeof buffer;
      std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      int error = errno;
      if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
      // EILSEQ: replace the bad sequence and skip it. EINVAL: a sequence cut
      // off at the end, replaced as a whole.
      out.append(bad);
      std::size_t n =
          error == EINVAL ? src_left : std::min(src_left, skip(std::string_view(src, src_left)));
      src += n;
      src_left -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t cd_;
};

// UTF-16 code units as little-endian bytes and back.
std::string BytesOfUtf16(std::u16string_view utf16) {
  std::string bytes;
  bytes.reserve(utf16.size() * 2);
  for (char16_t c : utf16) {
    if (c == 0) break;
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::u16string Utf16OfBytes(std::string_view bytes) {
  std::u16string utf16;
  utf16.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    utf16 += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return utf16;
}

// The length of the UTF-16 character at the front: a valid surrogate pair is
// one character, anything else one unit.
std::size_t Utf16CharBytes(std::string_view rest) {
  if (rest.size() >= 4) {
    auto unit = [&](std::size_t i) {
      return static_cast<unsigned>(static_cast<unsigned char>(rest[i]) |
                                   static_cast<unsigned char>(rest[i + 1]) << 8);
    };
    if (unit(0) >= 0xD800 && unit(0) < 0xDC00 && unit(2) >= 0xDC00 && unit(2) < 0xE000) return 4;
  }
  return 2;
}

std::size_t OneByte(std::string_view) { return 1; }

const std::string_view kReplacementUtf16("\xFD\xFF", 2);  // U+FFFD, little-endian

Text UpToNul(std::string text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace

std::u16string Utf16FromText(std::string_view text) {
  thread_local Converter converter("UTF-16LE", "CP936");
  text = text.substr(0, text.find('\0'));
  std::string bytes;
  converter.Convert(text, bytes, kReplacementUtf16, OneByte);
  return Utf16OfBytes(bytes);
}

Text TextFromUtf16(std::u16string_view utf16) {
  thread_local Converter converter("CP936", "UTF-16LE");
  std::string out;
  converter.Convert(BytesOfUtf16(utf16), out, "?", Utf16CharBytes);
  return UpToNul(std::move(out));
}

std::string Utf8FromText(std::string_view text) {
  thread_local Converter converter("UTF-8", "UTF-16LE");
  std::string out;
  // Through UTF-16 so that bad GBK bytes become U+FFFD on the way.
  converter.Convert(BytesOfUtf16(Utf16FromText(text)), out, "?", Utf16CharBytes);
  return out;
}

Text TextFromUtf8(std::string_view utf8) {
  thread_local Converter converter("UTF-16LE", "UTF-8");
  std::string bytes;
  // Malformed UTF-8 becomes U+FFFD here and "?" on the way into GBK.
  converter.Convert(utf8, bytes, kReplacementUtf16, OneByte);
  return TextFromUtf16(Utf16OfBytes(bytes));
}

}  // namespace shorturl
