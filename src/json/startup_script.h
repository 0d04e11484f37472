// The script every document's engine starts with.
#pragma once

#include <string_view>

namespace shorturl {

// Global code given whole to AddCode when an engine is made. It defines the
// helpers the document's scripts call: get__count(c), the length of an array
// or else 0; get__name_All(a), the enumerable member names of an object that
// do not hold functions, joined with CR LF; get__extend(target, source), the
// merge behind SetProperty in JSON form. Then, where the engine lacks them,
// it adds toJSONString and parseJSON to Object.prototype as enumerable
// members, which every for-in loop meets and the helpers pass over. The
// engine's own JSON object serves for JSON.stringify and JSON.parse.
extern const std::string_view kStartupScript;

}  // namespace shorturl
