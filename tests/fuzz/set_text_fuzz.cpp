// Fuzz target for the report's number conversion (the text of the probe's
// entry boxes): the input is the text.
//
// Invariants checked on every input:
//  - the conversion is defined for any text (the sanitizers watch the
//    conversion of the parsed double);
//  - an overflow leaves the value alone;
//  - a text that is a plain decimal integer of at most nine digits gives
//    exactly that number.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "tools/report.h"

using lumora::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  int32_t value = 12345;
  const lumora::SetTextResult result = lumora::SetTextValue(text, &value);
  if (result == lumora::SetTextResult::kOverflow) Check(value == 12345);

  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits > 0 && digits == text.size() && digits <= 9) {
    Check(result == lumora::SetTextResult::kOk);
    Check(value == std::stoi(text));
  }
  return 0;
}
