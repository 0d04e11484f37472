// Program-wide state and the program's start-up and exit.
#pragma once

#include "text/text.h"

namespace shorturl {

// The percent-encoded long address and the link type ("1" to "8") of the
// latest shorten request that passed its checks. Empty at start.
extern Text EncodedLongUrl;
extern Text LinkTypeText;

// Run when the program ends: releases the two program-wide Texts.
void OnProgramExit();

// The API host (host[:port]) fixed at build time.
extern const char* const kApiHost;

}  // namespace shorturl
