// Text and Bytes: the program's two string types and the operations on them.
//
// A Text is a string of bytes in the ANSI code page GBK (code page 936) that
// holds no NUL byte; a missing Text and the empty Text are the same. A
// double-byte character is a byte of 0x80 or above together with the byte
// after it; every operation that steps through a Text steps one character at
// a time. Bytes is a length-counted byte array that may hold zero bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shorturl {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// True when the byte at `i` starts a double-byte character (it is 0x80 or
// above and a byte follows it).
inline bool IsLeadByte(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size();
}

// The Text's bytes without a terminating zero.
Bytes BytesFromText(std::string_view text);
// The bytes up to the first zero byte, or all of them when there is none.
Text TextFromBytes(const Bytes& bytes);
// n spaces; the empty Text for n <= 0.
Text BlankText(int n);
// n zero bytes; empty for n <= 0.
Bytes BlankBytes(int n);

// The 1-based byte position of the first occurrence of `part` at or after
// `start`, or -1. A start below 1 counts as 1, a start beyond the end finds
// nothing. A match begins only on a character boundary counted from `start`.
// With `ignore_case` the ASCII letters of single-byte characters are folded.
// An empty part gives 1 when the searched stretch is not empty and -1 when it is.
int FindText(std::string_view text, std::string_view part, int start = 1, bool ignore_case = false);

// The first n bytes, the last n bytes, and n bytes from the 1-based start.
// A count of 0 or less, or a start outside the text, gives the empty Text; a
// count beyond the end is cut at the end.
Text LeftPart(std::string_view text, int n);
Text RightPart(std::string_view text, int n);
Text MiddlePart(std::string_view text, int start, int n);

// Change only the ASCII letters of single-byte characters.
Text ToUpperText(std::string_view text);
Text ToLowerText(std::string_view text);

// Removes the ASCII space and the double-byte ideographic space (A1 A1).
Text RemoveAllSpaces(std::string_view text);

// Replaces every occurrence of `part`, scanning from the left one character
// at a time; the default replacement deletes. An empty part changes nothing.
Text ReplaceText(std::string_view text, std::string_view part, std::string_view replacement = {});

// The leading decimal number of the text (white space skipped; sign, digits,
// point, digits, exponent), after folding the full-width forms of the ASCII
// characters to ASCII; 0 when the text does not begin with a number.
double TextToNumber(std::string_view text);
// TextToNumber truncated toward zero to 64 bits, of which the low 32 bits are
// taken as a signed value. Values beyond 64 bits give 0, as the x86
// conversion's "integer indefinite" would.
std::int32_t TextToInt32(std::string_view text);

// The decimal form of a number.
Text NumberToText(std::int64_t value);
// The shortest decimal form that reads back as the same double.
Text NumberToText(double value);

}  // namespace shorturl
