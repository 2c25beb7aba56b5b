// Prints the property report of a simulated camera through the standard
// handler: every catalogue property with its support, range and value.
#include <cstdio>

#include "property/table_handler.h"
#include "sim/simulated_camera.h"
#include "tools/report.h"

int main() {
  using namespace lumora;
  auto camera = sim::SimulatedCamera::Create();
  auto filter = camera->MakeFilter();
  StandardPropertyHandler handler(filter.get(), kNullGuid, kNullGuid, kNullGuid, SteadyClock());

  std::printf("Simulated camera, standard handler (no private property set)\n");
  std::printf("Chipset is %s\n", ChipsetName(CSX_Unknown));
  for (int32_t p = VCP_FirstElement; p <= VCP_LastElement; ++p) {
    ReportEntry e;
    e.property = p;
    if (hr::Failed(handler.QuerySupport(p, &e.support))) e.support = 0;
    int32_t step = 0, def = 0, caps = 0;
    e.rangeOk = hr::Succeeded(handler.QueryRange(p, &e.min, &e.max, &step, &def, &caps));
    e.valueOk = hr::Succeeded(handler.GetValue(p, &e.value));
    std::printf("%s\n", ReportLine(e).c_str());
  }
  return 0;
}
