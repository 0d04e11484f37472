// The system clipboard's plain-text format.
#pragma once

#include "text/text.h"

namespace shorturl {

// Replaces the clipboard's content with `text`, offered to other programs as
// ordinary text. The empty Text leaves an empty text on the clipboard. Returns
// false when there is no clipboard to write (no window system running).
bool PutClipboardText(std::string_view text);

}  // namespace shorturl
