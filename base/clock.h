// Millisecond clocks: the interface the lag statistics read, and a portable
// monotonic implementation.
#pragma once

#include <cstdint>

namespace lumora {

// The millisecond clock of the lag statistics (timeGetTime on Windows).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
};

// A monotonic millisecond clock from the C++ standard library, for hosts
// without the multimedia timer.
Clock& SteadyClock();

}  // namespace lumora
