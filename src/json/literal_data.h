// The check that keeps answers from the network away from the script engine
// unless they are plain data.
//
// `JsonDocument::Parse` hands its text to the engine as a script expression.
// The text comes over plain HTTP, so it is first held against this check:
// only literal data passes, never code that could run, loop or grow without end.
#pragma once

#include <string_view>

namespace shorturl {

// True when `source` (the text as the engine will read it, in UTF-16) is one
// literal value with white space around it and nothing else. Literal values:
//   - null, true, false;
//   - numbers: decimal with optional fraction and exponent (".5" and "5."
//     included), or hexadecimal "0x1F", with one leading "+" or "-";
//   - strings in double quotes or apostrophes with any escapes; a raw line
//     break inside one is left for the engine to refuse;
//   - arrays, holes and a trailing comma included;
//   - objects whose member names are strings, numbers or bare names, with a
//     trailing comma allowed.
// Refused: a string alone, since the engine's eval would read what it holds
// as script; every other name, calls, operators, assignments, functions,
// getters and setters, regular expressions, comments, template strings,
// backslashes and line breaks between tokens, and more than
// kMaxLiteralNesting arrays and objects inside each other. The check runs in
// one pass without recursion.
bool IsLiteralData(std::u16string_view source);

inline constexpr int kMaxLiteralNesting = 1000;

}  // namespace shorturl
