// The clock that gives the local date and time, replaceable so that a test
// can say exactly what time it is.
#pragma once

#include <functional>

namespace shorturl {

// A local calendar date and wall-clock time, to the second.
struct LocalDateTime {
  int year = 1970;
  int month = 1;   // 1 to 12
  int day = 1;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 60 (a leap second)
};

// The local date and time now: the system's, or that of the clock put in
// place by a ScopedClock.
LocalDateTime LocalNow();

// Puts `clock` in place of the system's clock for this object's life (tests).
// Not for use from several threads at once; objects nest.
class ScopedClock {
 public:
  explicit ScopedClock(std::function<LocalDateTime()> clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::function<LocalDateTime()> previous_;
};

}  // namespace shorturl
