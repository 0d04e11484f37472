// The clipboard text writer used by the copy buttons and the commands.
#pragma once

#include "text/text.h"

namespace shorturl {

// Puts `text` on the clipboard as plain text, replacing what it held. The
// empty Text leaves an empty text there. Reports nothing: when the clipboard
// cannot be written it keeps its old content.
void SetClipboardText(std::string_view text);

}  // namespace shorturl
