// Fuzz target for the lumora tool's command line: the input is the argument
// list, arguments separated by NUL bytes.
//
// Invariants checked on every input:
//  - a refused command line gives one line of error, no control character;
//  - a property argument is -1 or a catalogue value 0..31;
//  - the camera choice answers a listed camera or a one-line error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/cli_args.h"

using lumora::fuzz::Check;
namespace cli = lumora::cli;

namespace {

bool OneLine(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  if (size == 0) args.clear();

  cli::Invocation invocation;
  std::string error;
  if (cli::ParseArguments(args, &invocation, &error)) {
    Check(invocation.help || invocation.command != cli::Command::kNone);
  } else {
    Check(!error.empty() && OneLine(error));
  }

  static const std::vector<cli::CameraIdentity> cameras = {
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8", "@device:pnp:toucam-a",
       "SAA8116"},
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "0", "@device:pnp:toucam-b", "SAA8116"},
      {"USB Video Device", "VID_0C45&PID_6340", "0", "@device:pnp:usb", "unknown"},
  };
  for (const std::string& arg : args) {
    const int32_t property = cli::ParsePropertyArgument(arg);
    Check(property == -1 || (property >= 0 && property <= 31));
    size_t position = 99;
    error.clear();
    if (cli::MatchCamera(arg, cameras, &position, &error)) {
      Check(position < cameras.size());
    } else {
      Check(position == 99 && !error.empty() && OneLine(error));
    }
  }
  return 0;
}
