// The lag clock of Windows builds: the multimedia timer.
#pragma once

#include "base/clock.h"

namespace lumora {

// timeGetTime(), millisecond resolution. A process-wide object.
Clock& MultimediaClock();

}  // namespace lumora
