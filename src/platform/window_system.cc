#include "platform/window_system.h"

#include <QCoreApplication>

#include "text/codepage.h"

namespace shorturl {

void ProcessPendingEvents() {
  if (QCoreApplication::instance() == nullptr) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString QStringFromText(std::string_view text) {
  std::u16string utf16 = Utf16FromText(text);
  return QString(reinterpret_cast<const QChar*>(utf16.data()),
                 static_cast<qsizetype>(utf16.size()));
}

Text TextFromQString(const QString& string) {
  return TextFromUtf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(string.utf16()), string.size()));
}

}  // namespace shorturl
