// Long addresses as the server receives, checks, stores and sends them on.
//
// A long address arrives as percent-decoded bytes: the program sends the GBK
// bytes of its text, other clients usually UTF-8. The server stores UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace shorturl::server {

// The address as UTF-8: bytes that are valid UTF-8 are taken as they are,
// any others are read as GBK. Pure ASCII is the same either way.
std::string LongUrlToUtf8(std::string_view bytes);

// `text` without ASCII white space (space, tab, CR, LF, FF, VT) at either end.
std::string_view TrimAsciiSpace(std::string_view text);

// The scheme in lower case when `url` begins with letters, digits, "+", "-"
// or "." (a letter first) followed by "://"; "" otherwise.
std::string UrlScheme(std::string_view url);

// The host of a "scheme://" address in lower case: user information, port
// and a trailing dot dropped, percent escapes decoded. "" when there is none.
std::string UrlHost(std::string_view url);

// True when `bytes` holds a control character (0 to 31 or 127).
bool HasControlBytes(std::string_view bytes);

// A UTF-8 address made fit for a Location header: bytes beyond ASCII, white
// space, controls and the characters that may not stand in a URL are
// percent-escaped; existing escapes are kept, a "%" that starts none is
// escaped itself.
std::string LocationValue(std::string_view utf8_url);

}  // namespace shorturl::server
