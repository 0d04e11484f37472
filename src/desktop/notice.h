// The timed notice box and the window finder it uses to find its owner.
//
// Arguments that are std::optional may be left out (std::nullopt, or not
// written at all); a left-out argument takes the default given below, which
// is not always what 0 or the empty Text would mean.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/window_list.h"
#include "text/text.h"

namespace shorturl {

// Shows `message` in a modal box under `title` with the buttons and icon that
// `style` names (see platform/message_box.h), owned by `owner`, that closes
// itself after `timeoutMs` milliseconds. Returns the identifier of the button
// pressed minus 1 (0 for OK), the box's time-out code minus 1 when it closed
// itself, and -1 when no box could be shown.
//
// Left out: `style` 0 (OK alone, no icon); `title` "友情提醒"; `owner` the
// first visible window of this process that FindProcessWindow finds within
// one second, or none; `timeoutMs` 5000. An `owner` given as 0 means no
// owner, without a search.
int ShowNotice(std::string_view message, std::optional<int> style = std::nullopt,
               std::optional<std::string_view> title = std::nullopt,
               std::optional<WindowHandle> owner = std::nullopt,
               std::optional<int> timeoutMs = std::nullopt);
// The same with only the title given. (A call ShowNotice(message, 0) is
// ambiguous and does not compile: a style of 0 is the default anyway.)
int ShowNotice(std::string_view message, std::string_view title);

// Walks the desktop's top-level windows, topmost first and over again, until
// it meets a visible window of process `processId`, and decides on that one
// window: returns it when its title contains `titlePart` and its class name
// (its first 49 bytes) contains `classPart`, each test made only when the
// part is given, and 0 otherwise. Returns 0 too when no such window shows up
// within `timeLimitMs` milliseconds of the uptime counter; the limit is
// 31536000 when left out or given as -1, and any other limit of 0 or less
// returns 0 at once without looking at a window.
//
// Contains means FindText finds the part from the first byte, case counting;
// so an empty part is contained in every text but the empty one.
// Hidden windows on the way are passed, letting pending events run first
// unless `skipHiddenAtOnce`; pending events run, too, after every window of
// another process, and between passes over the list the search waits a few
// milliseconds for events instead of spinning.
WindowHandle FindProcessWindow(std::int64_t processId,
                               std::optional<std::string_view> titlePart = std::nullopt,
                               std::optional<std::string_view> classPart = std::nullopt,
                               std::optional<int> timeLimitMs = std::nullopt,
                               bool skipHiddenAtOnce = false);

}  // namespace shorturl
