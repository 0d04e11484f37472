// The window system, as the program sees it: dispatch of pending events and
// conversion of Text to and from the toolkit's strings.
#pragma once

#include <QString>

#include "text/text.h"

namespace shorturl {

// While an event waits for the program's thread, take it and dispatch it;
// then return. Does nothing when no window system is running.
void ProcessPendingEvents();

// Text (GBK) to the toolkit's UTF-16 string and back; see text/codepage.h.
QString QStringFromText(std::string_view text);
Text TextFromQString(const QString& string);

}  // namespace shorturl
