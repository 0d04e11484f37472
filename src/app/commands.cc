#include "app/commands.h"

#include <QPushButton>

#include "desktop/clipboard_writer.h"

namespace shorturl {

Commands::Commands(MainWindow& window, Text api_host)
    : window_(window), api_host_(std::move(api_host)) {}

void Commands::Bind() {
  QObject::connect(window_.生成, &QPushButton::clicked, [this] { ShortenCommand(); });
  QObject::connect(window_.复制, &QPushButton::clicked, [this] { CopyShortUrlCommand(); });
  QObject::connect(window_.按钮1, &QPushButton::clicked, [this] { RestoreCommand(); });
  QObject::connect(window_.按钮2, &QPushButton::clicked, [this] { CopyLongUrlCommand(); });
}

void Commands::ShortenCommand() {}

void Commands::RestoreCommand() {}

void Commands::CopyShortUrlCommand() {
  Text text = window_.ReadControlText(window_.短网址内容);
  SetClipboardText(text);
}

void Commands::CopyLongUrlCommand() {
  Text text = window_.ReadControlText(window_.短网址还原2);
  SetClipboardText(text);
}

}  // namespace shorturl
