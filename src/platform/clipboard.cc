#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/window_system.h"

namespace shorturl {

bool PutClipboardText(std::string_view text) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return false;
  // Mime data rather than setText(): setText("") would leave the old content.
  auto* data = new QMimeData;
  data->setText(QStringFromText(text));
  clipboard->setMimeData(data, QClipboard::Clipboard);
  return true;
}

}  // namespace shorturl
