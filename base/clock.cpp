#include "base/clock.h"

#include <chrono>

namespace lumora {

namespace {

class StdSteadyClock : public Clock {
 public:
  uint32_t NowMs() override {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
};

}  // namespace

Clock& SteadyClock() {
  static StdSteadyClock clock;
  return clock;
}

}  // namespace lumora
