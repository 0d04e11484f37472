// The JSON answers of the API.
//
// Every answer, errors included, is an object with `code` (the HTTP status
// that goes with it) and `msg`, and on success `data`. Answers are pure
// ASCII: the program reads the answer's bytes in its own code page, so every
// character beyond ASCII is written as a \u escape.
#pragma once

#include <string>
#include <string_view>

namespace shorturl::server {

// `utf8` as a JSON string literal, quotes included, in pure ASCII. Bytes that
// are not valid UTF-8 come out as \ufffd.
std::string JsonString(std::string_view utf8);

// {"code":<code>,"msg":<msg>}
std::string JsonAnswer(int code, std::string_view msg);

// {"code":<code>,"msg":<msg>,"data":{<key>:<value>}}
std::string JsonAnswer(int code, std::string_view msg, std::string_view key,
                       std::string_view value);

// The next code point of `utf8` from `*pos`, advancing `*pos`; -1 for a byte
// that does not start a valid UTF-8 sequence (overlong forms and surrogates
// included), which is then skipped alone.
long NextCodePoint(std::string_view utf8, std::size_t* pos);

bool IsValidUtf8(std::string_view bytes);

}  // namespace shorturl::server
