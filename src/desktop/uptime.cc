#include "desktop/uptime.h"

#include <time.h>

namespace shorturl {
namespace {

std::function<std::uint32_t()>& ReplacedCounter() {
  static std::function<std::uint32_t()> counter;
  return counter;
}

}  // namespace

std::uint32_t UptimeMs() {
  if (ReplacedCounter()) return ReplacedCounter()();
  // CLOCK_BOOTTIME keeps counting while the machine sleeps, as an uptime does.
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                     static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);  // the low 32 bits: the counter wraps
}

void SetUptimeCounter(std::function<std::uint32_t()> counter) {
  ReplacedCounter() = std::move(counter);
}

}  // namespace shorturl
