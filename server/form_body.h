// Reading the form-encoded bodies of the two API calls.
//
// The shorten call carries ordinary form fields ("url=...&type=3"). The
// restore call does not: the program sends the short link unencoded, so its
// value is everything after "url=" to the end of the body and may hold "&",
// "=" and "%" of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace shorturl::server {

// Percent-decodes `text` to bytes; "+" becomes a space. A "%" not followed by
// two hexadecimal digits stands for itself.
std::string PercentDecode(std::string_view text);

// The decoded value of the first field called `name` in a form body, or
// nullopt when there is none. A field without "=" has the empty value.
std::optional<std::string> FormField(std::string_view body, std::string_view name);

// The value of the restore call: the raw rest of the body when it begins with
// "url=", else the decoded "url" field (for clients that encode it), else
// nullopt.
std::optional<std::string> RestoreValue(std::string_view body);

}  // namespace shorturl::server
