#include "desktop/clipboard_writer.h"

#include "platform/clipboard.h"

namespace shorturl {

void SetClipboardText(std::string_view text) { PutClipboardText(text); }

}  // namespace shorturl
