#include "dshow/multimedia_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace lumora {
namespace {

class TimeGetTimeClock : public Clock {
 public:
  uint32_t NowMs() override { return timeGetTime(); }
};

}  // namespace

Clock& MultimediaClock() {
  static TimeGetTimeClock clock;
  return clock;
}

}  // namespace lumora
