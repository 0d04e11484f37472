#include "app/program.h"

namespace shorturl {

Text EncodedLongUrl;
Text LinkTypeText;

const char* const kApiHost = SHORTURL_API_HOST;

void OnProgramExit() {
  Text().swap(EncodedLongUrl);
  Text().swap(LinkTypeText);
}

}  // namespace shorturl
