// The property report shared by the demo, the command-line tool and the
// probe: one line per catalogue property with its support, range and value,
// in the probe window's layout.
#pragma once

#include <cstdint>
#include <string>

#include "property/catalogue.h"

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

// The standard exposure control (camera control Exposure) counts in powers
// of two seconds: value v means 2^v s. True for the catalogue property that
// reaches it on a camera of this public chipset (the catalogue's units and
// routes): CamExposure always, Exposure on cameras without a chipset of their
// own (the others route Exposure to their private set).
bool IsStandardExposure(int32_t chipset, int32_t property);

// Exposure time of value v as text: "1/32 s" for -5, "1 s" for 0, "4 s" for 2,
// "2^v s" beyond 2^62.
std::string ExposureSecondsText(int32_t value);

// First line of the full report: "Chipset is " + the chipset's name
// (ChipsetName, property/catalogue.h) + CR LF.
std::string ReportHeader(int32_t chipset);

// The camera calls the full report makes; each answers false when the call
// failed (the report then notes it instead of stopping).
class ReportSource {
 public:
  virtual ~ReportSource() = default;
  virtual bool Support(int32_t property, int32_t* support) = 0;
  virtual bool Range(int32_t property, int32_t* min, int32_t* max) = 0;
  virtual bool Value(int32_t property, int32_t* value) = 0;
};

// The lines of the named properties (0..31, catalogue::kNamed), each ended
// by CR LF. A failed support read counts as "not supported"; range and value
// are asked only of properties whose line shows them.
std::string ReportBody(ReportSource& source);

// The number the "Set" button writes for the text of its entry box: the
// numeric value at the start of the text (leading blanks, sign, digits,
// fraction, exponent), 0 when the text does not start with a number,
// rounded to the nearest integer with halves going to the even neighbour.
enum class SetTextResult { kOk, kOverflow };
SetTextResult SetTextValue(const std::string& text, int32_t* value);

}  // namespace lumora
