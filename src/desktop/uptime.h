// The millisecond uptime counter: milliseconds since the machine started, in
// 32 bits, so that it wraps to 0 about every 49.7 days. Code that measures
// time with it takes differences modulo 2^32, which stay right across a wrap.
#pragma once

#include <cstdint>
#include <functional>

namespace shorturl {

// The counter's current value.
std::uint32_t UptimeMs();

// Replaces the counter for the whole process, so that tests can start it
// near its wrap or step it by hand; an empty function restores the real one.
// Not thread-safe: replace it while nothing else reads it.
void SetUptimeCounter(std::function<std::uint32_t()> counter);

}  // namespace shorturl
