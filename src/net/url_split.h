// Cutting an absolute HTTP address into the server name, the port and the
// object name (path with query) that a web request hands to the platform.
//
// Plain text work: no state, no failure. Only the prefix "http://", spelled
// in lower case, is recognised; an address without it is read as if its host
// began at its first byte, so "https://x" yields the host "https".
#pragma once

#include "text/text.h"

namespace shorturl {

// The host of `url` in lower case (ASCII letters only), from after the first
// "http://" up to the next "/". With `keepPort` the colon and port stay on
// it. The host is not validated: user information or a query before the
// first "/" stays part of it.
Text UrlHost(std::string_view url, bool keepPort = false);

// The number after the host's first colon, truncated toward zero (0 when it
// is empty or not a number, values beyond 65535 passed on), or 80 when the
// host has no colon.
std::int32_t UrlPort(std::string_view url);

// `url` from the first "/" after the host to its end, query and fragment
// included, in its own letter case; "/" when there is none.
Text UrlPath(std::string_view url);

}  // namespace shorturl
