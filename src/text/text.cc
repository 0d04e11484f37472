#include "text/text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace shorturl {
namespace {

unsigned char Byte(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// Index of the character after the one that starts at `i`.
std::size_t NextChar(std::string_view text, std::size_t i) {
  return IsLeadByte(text, i) ? i + 2 : i + 1;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares `part` with the text at `at`. Both sides stay in step on character
// boundaries: lead bytes compare exactly, so a trail byte is never folded.
bool MatchesAt(std::string_view text, std::size_t at, std::string_view part, bool ignore_case) {
  if (part.size() > text.size() - at) return false;
  bool trail = false;
  for (std::size_t k = 0; k < part.size(); ++k) {
    char a = text[at + k];
    char b = part[k];
    if (ignore_case && !trail) {
      a = FoldAscii(a);
      b = FoldAscii(b);
    }
    if (a != b) return false;
    trail = !trail && static_cast<unsigned char>(b) >= 0x80;
  }
  return true;
}

Text MapAsciiLetters(std::string_view text, bool upper) {
  Text out(text);
  for (std::size_t i = 0; i < out.size(); i = NextChar(out, i)) {
    char& c = out[i];
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Full-width forms (A3 A1 to A3 FE) become the ASCII characters 0x21 to 0x7E
// and the ideographic space (A1 A1) a space; everything else stays.
Text FoldFullWidth(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); i = NextChar(text, i)) {
    if (IsLeadByte(text, i)) {
      unsigned char lead = Byte(text, i), trail = Byte(text, i + 1);
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        out += static_cast<char>(trail - 0x80);
      } else if (lead == 0xA1 && trail == 0xA1) {
        out += ' ';
      } else {
        out.append(text.substr(i, 2));
      }
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Bytes BytesFromText(std::string_view text) { return Bytes(text.begin(), text.end()); }

Text TextFromBytes(const Bytes& bytes) {
  Text out;
  for (std::uint8_t b : bytes) {
    if (b == 0) break;
    out += static_cast<char>(b);
  }
  return out;
}

Text BlankText(int n) { return n > 0 ? Text(static_cast<std::size_t>(n), ' ') : Text(); }

Bytes BlankBytes(int n) { return n > 0 ? Bytes(static_cast<std::size_t>(n), 0) : Bytes(); }

int FindText(std::string_view text, std::string_view part, int start, bool ignore_case) {
  if (start < 1) start = 1;
  std::size_t from = static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return -1;
  if (part.empty()) return 1;
  for (std::size_t i = from; i < text.size(); i = NextChar(text, i)) {
    if (MatchesAt(text, i, part, ignore_case)) return static_cast<int>(i + 1);
  }
  return -1;
}

Text LeftPart(std::string_view text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text RightPart(std::string_view text, int n) {
  if (n <= 0) return {};
  std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
  return Text(text.substr(text.size() - count));
}

Text MiddlePart(std::string_view text, int start, int n) {
  if (n <= 0 || start < 1 || static_cast<std::size_t>(start) > text.size()) return {};
  return Text(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

Text ToUpperText(std::string_view text) { return MapAsciiLetters(text, true); }

Text ToLowerText(std::string_view text) { return MapAsciiLetters(text, false); }

Text RemoveAllSpaces(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); i = NextChar(text, i)) {
    if (text[i] == ' ') continue;
    if (IsLeadByte(text, i)) {
      if (Byte(text, i) == 0xA1 && Byte(text, i + 1) == 0xA1) continue;
      out.append(text.substr(i, 2));
    } else {
      out += text[i];
    }
  }
  return out;
}

Text ReplaceText(std::string_view text, std::string_view part, std::string_view replacement) {
  if (part.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (MatchesAt(text, i, part, false)) {
      out.append(replacement);
      i += part.size();
    } else {
      std::size_t next = NextChar(text, i);
      out.append(text.substr(i, next - i));
      i = next;
    }
  }
  return out;
}

double TextToNumber(std::string_view text) {
  Text folded = FoldFullWidth(text);
  std::string_view s = folded;
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::size_t begin = i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  double value = 0;
  auto [end, ec] = std::from_chars(s.data() + begin, s.data() + i, value);
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; tell overflow from underflow by the
    // exponent's sign as strtod would.
    value = FindText(s.substr(begin, i - begin), "-", 1) > 0
                ? 0.0
                : std::numeric_limits<double>::infinity();
  }
  (void)end;
  return negative ? -value : value;
}

std::int32_t TextToInt32(std::string_view text) {
  double value = TextToNumber(text);
  std::int64_t wide = std::numeric_limits<std::int64_t>::min();
  if (std::fabs(value) < 9223372036854775808.0) wide = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

Text NumberToText(std::int64_t value) { return std::to_string(value); }

Text NumberToText(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return Text(buffer, end);
}

}  // namespace shorturl
