// The codes of short links: base62 text from the system's secure random source.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace shorturl::server {

// A new code of `length` base62 characters, each equally likely, from
// getrandom(2); "" when the random source fails.
std::string NewShortCode(std::size_t length);

// True for 1 to 64 characters of 0-9, A-Z and a-z.
bool IsShortCode(std::string_view text);

}  // namespace shorturl::server
