// The four click handlers of the main window.
#pragma once

#include "app/main_window.h"
#include "text/text.h"

namespace shorturl {

class Commands {
 public:
  // `api_host` is host[:port] of the web API; the program passes the address
  // fixed at build time, tests their own server's.
  Commands(MainWindow& window, Text api_host);

  // The link type of the first selected radio button, 1 to 8; 1 when none is.
  int SelectedLinkType() const;

  void ShortenCommand();
  void RestoreCommand();
  void CopyShortUrlCommand();
  void CopyLongUrlCommand();

  // Connects the four buttons to their handlers.
  void Bind();

 private:
  MainWindow& window_;
  Text api_host_;
};

}  // namespace shorturl
