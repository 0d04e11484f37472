// Percent-encoding of a Text so that it can stand as a value in a
// form-encoded request body.
#pragma once

#include "text/text.h"

namespace shorturl {

// Keeps the bytes 0-9, A-Z and a-z and writes every other byte as "%" and two
// upper-case hexadecimal digits. Works on the GBK bytes, so a Chinese
// character becomes two escapes; the space becomes "%20", never "+", and
// "-", "_", "." and "~" are escaped too.
Text UrlEncode(std::string_view text);

}  // namespace shorturl
