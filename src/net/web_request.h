// One complete HTTP request: open a session, connect, send with a fixed set
// of default header lines, read the whole body, fetch the raw response
// headers, close, and hand every cookie the response set to the process's
// cookie store.
//
// A call is synchronous, but pending window events are dispatched before
// every read of the body and after every line of the cookie replay. No
// status code is examined: the body of any answer, 404 or 500 included, is
// the result.
#pragma once

#include "text/text.h"

namespace shorturl {

// Sends a request to the absolute address `url` ("http://host[:port]/path").
//
// `method`: "GET" or "POST" in any letter case, sent as written; empty means
// GET. `proxy`: the address of an HTTP proxy; empty or only spaces means a
// direct connection. `headers`, in and out: extra header lines ended by
// CR LF; the defaults (Accept, Referer, Accept-Language and, for a POST with
// a body, Content-Type and Content-Length) are appended to it, so afterwards
// it holds the block that was sent. `body`: sent by POST only.
// `responseHeaders`, out: the raw response header block, or 1024 spaces when
// there was none or it did not fit into 1023 bytes. A null pointer leaves
// the argument out.
//
// Returns the body exactly as received (possibly empty, also when the server
// cannot be reached), or 255 zero bytes when the request could not be opened
// or the method is neither GET nor POST.
Bytes WebRequest(std::string_view url, std::string_view method = {}, std::string_view proxy = {},
                 Text* headers = nullptr, std::string_view body = {},
                 Text* responseHeaders = nullptr);

// WebRequest's body as Text: the bytes up to the first zero byte. A failure
// gives the empty Text, as an empty body does.
Text WebRequestText(std::string_view url, std::string_view method = {}, std::string_view proxy = {},
                    Text* headers = nullptr, std::string_view body = {},
                    Text* responseHeaders = nullptr);

}  // namespace shorturl
