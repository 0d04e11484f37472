#include "desktop/clock.h"

#include <time.h>

#include <utility>

namespace shorturl {
namespace {

LocalDateTime SystemNow() {
  LocalDateTime now;
  time_t seconds = time(nullptr);
  struct tm local {};
  // localtime_r fails only for times beyond the calendar; the default then.
  if (localtime_r(&seconds, &local) == nullptr) return now;
  now.year = local.tm_year + 1900;
  now.month = local.tm_mon + 1;
  now.day = local.tm_mday;
  now.hour = local.tm_hour;
  now.minute = local.tm_min;
  now.second = local.tm_sec;
  return now;
}

std::function<LocalDateTime()>& CurrentClock() {
  static std::function<LocalDateTime()> clock;
  return clock;
}

}  // namespace

LocalDateTime LocalNow() {
  const std::function<LocalDateTime()>& clock = CurrentClock();
  return clock ? clock() : SystemNow();
}

ScopedClock::ScopedClock(std::function<LocalDateTime()> clock)
    : previous_(std::exchange(CurrentClock(), std::move(clock))) {}

ScopedClock::~ScopedClock() { CurrentClock() = std::move(previous_); }

}  // namespace shorturl
