#include "desktop/notice.h"

#include <unistd.h>

#include "desktop/uptime.h"
#include "platform/message_box.h"
#include "platform/window_system.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

constexpr int kDefaultTimeLimitMs = 31536000;
constexpr int kOwnerSearchMs = 1000;
constexpr int kDefaultTimeoutMs = 5000;
// How long the finder waits for events after each pass over the window list.
constexpr int kPassPauseMs = 10;
// A class name is read into a 50-byte buffer: at most 49 bytes of it count.
constexpr int kClassNameBytes = 49;

bool Contains(std::string_view text, std::string_view part) { return FindText(text, part) != -1; }

// The first `n` bytes, cut back so as not to end inside a double-byte character.
Text LeftCharacters(std::string_view text, int n) {
  std::size_t end = 0;
  while (end < text.size()) {
    std::size_t step = IsLeadByte(text, end) ? 2 : 1;
    if (end + step > static_cast<std::size_t>(n)) break;
    end += step;
  }
  return Text(text.substr(0, end));
}

}  // namespace

int ShowNotice(std::string_view message, std::optional<int> style,
               std::optional<std::string_view> title, std::optional<WindowHandle> owner,
               std::optional<int> timeoutMs) {
  WindowHandle box_owner = owner ? *owner
                                 : FindProcessWindow(static_cast<std::int64_t>(getpid()),
                                                     std::nullopt, std::nullopt, kOwnerSearchMs);
  static const Text kDefaultTitle = "友情提醒"_gbk;
  int answer = ShowTimedMessageBox(box_owner, message, title ? *title : kDefaultTitle,
                                   style.value_or(0), 0, timeoutMs.value_or(kDefaultTimeoutMs));
  return answer - 1;
}

int ShowNotice(std::string_view message, std::string_view title) {
  return ShowNotice(message, std::nullopt, title);
}

WindowHandle FindProcessWindow(std::int64_t processId, std::optional<std::string_view> titlePart,
                               std::optional<std::string_view> classPart,
                               std::optional<int> timeLimitMs, bool skipHiddenAtOnce) {
  int limit = !timeLimitMs || *timeLimitMs == -1 ? kDefaultTimeLimitMs : *timeLimitMs;
  std::uint32_t start = UptimeMs();
  WindowHandle window = 0;
  while (true) {
    // Modulo 2^32, so that a wrap of the counter during the search costs
    // nothing; the comparison keeps its double-precision tolerance.
    std::uint32_t elapsed = UptimeMs() - start;
    if (static_cast<double>(elapsed) - static_cast<double>(limit) >= -0.0000001) return 0;

    window = NextTopLevelWindow(window);
    if (!IsWindowAlive(window)) {
      ProcessPendingEvents();
      if (window == 0) {
        // A whole pass found nothing: wait for events (a window may be on
        // its way), but not past the limit.
        double left = static_cast<double>(limit) - static_cast<double>(elapsed);
        WaitForWindowEvents(left < kPassPauseMs ? static_cast<int>(left) : kPassPauseMs);
      }
      continue;
    }
    bool shown = IsWindowShown(window);
    if (!shown && skipHiddenAtOnce) continue;
    if (!shown || WindowProcessId(window) != processId) {
      ProcessPendingEvents();
      continue;
    }

    // The first visible window of the process decides.
    Text title = WindowTitle(window);
    Text class_name = LeftCharacters(WindowClassName(window), kClassNameBytes);
    if (titlePart && !Contains(title, *titlePart)) return 0;
    if (classPart && !Contains(class_name, *classPart)) return 0;
    return window;
  }
}

}  // namespace shorturl
