// The property report shared by the demo, the command-line tool and the
// probe: one line per catalogue property with its support, range and value,
// in the probe window's layout.
#pragma once

#include <cstdint>
#include <string>

namespace lumora {

// 18-character label of property 0..32 as the report shows it ("Brightness  ...",
// "*WhiteBalRed ..."); an empty string outside that range.
std::string ReportName(int32_t property);

// Support text: " not supported", " read only    ", " write only   ",
// " read write   ", otherwise " ?????????????".
const char* SupportText(int32_t support);

// One report line without its line break. Range and value are shown only for
// readable properties; a failed range or value read shows "Range not supp." or
// "Value is not supp.".
struct ReportEntry {
  int32_t property = 0;
  int32_t support = 0;
  bool rangeOk = false;
  int32_t min = 0;
  int32_t max = 0;
  bool valueOk = false;
  int32_t value = 0;
};
std::string ReportLine(const ReportEntry& entry);

}  // namespace lumora
