#pragma once

#include <chrono>
#include <thread>

namespace shorturl::testing {

template <typename Condition>
bool WaitFor(Condition condition, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace shorturl::testing
