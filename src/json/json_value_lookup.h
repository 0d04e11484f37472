// The one-shot lookup of a value in a JSON answer.
#pragma once

#include <string_view>

#include "text/text.h"

namespace shorturl {

// Reads the value at `path` ("code", "data['short_url']") from `json_text`.
// First removes every CR and LF from the caller's `json_text`, whether or not
// the text then parses. The result: a string's characters without quotes
// (escapes decoded), a number's or Boolean's JSON form ("200", "true"),
// "null" for a member that holds null, the compact JSON of an object or
// array, the empty Text for a missing member or a path below a missing or
// null member, and "JSON解析失败" when the text is no literal data with a
// value other than null (see JsonDocument::Parse).
Text GetJsonValue(Text& json_text, std::string_view path);

}  // namespace shorturl
