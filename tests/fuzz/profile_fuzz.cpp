// Fuzz target for the camera profile parser: the input is the file's text.
//
// Invariants checked on every input:
//  - a refused file gives a one-line error and leaves the output alone;
//  - an accepted file, written again by FormatProfile, parses to the same
//    identity and entries (a saved profile always loads);
//  - the load order holds every entry once.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "tools/profile.h"

using lumora::fuzz::Check;
namespace cli = lumora::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  cli::Profile profile;
  profile.identity.name = "untouched";
  std::string error;
  if (!cli::ParseProfile(text, &profile, &error)) {
    Check(!error.empty());
    Check(cli::Printable(error).find_first_of("\r\n") == std::string::npos);
    Check(profile.identity.name == "untouched");
    return 0;
  }
  cli::Profile again;
  Check(cli::ParseProfile(cli::FormatProfile(profile), &again, &error));
  Check(again.identity.name == profile.identity.name);
  Check(again.identity.vidPid == profile.identity.vidPid);
  Check(again.identity.serial == profile.identity.serial);
  Check(again.identity.devicePath == profile.identity.devicePath);
  Check(again.identity.chipset == profile.identity.chipset);
  Check(again.entries.size() == profile.entries.size());
  for (size_t i = 0; i < profile.entries.size(); ++i) {
    Check(again.entries[i].property == profile.entries[i].property);
    Check(again.entries[i].value == profile.entries[i].value);
    Check(again.entries[i].mode == profile.entries[i].mode);
  }
  Check(cli::LoadOrder(profile.entries).size() == profile.entries.size());
  return 0;
}
