// Fuzz target for the undo history parser: the input is the file's text.
//
// Invariants checked on every input:
//  - a refused file gives a one-line error and leaves the output alone;
//  - an accepted file holds at most kUndoDepth changes, each with values,
//    and written again by FormatUndoHistory parses to the same history;
//  - an accepted history names only catalogue properties, once per change.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "property/catalogue.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/undo.h"

using lumora::fuzz::Check;
namespace cli = lumora::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  cli::UndoHistory history;
  history.camera = "untouched";
  std::string error;
  if (!cli::ParseUndoHistory(text, &history, &error)) {
    Check(!error.empty());
    Check(cli::Printable(error).find_first_of("\r\n") == std::string::npos);
    Check(history.camera == "untouched");
    return 0;
  }
  Check(history.changes.size() <= cli::kUndoDepth);
  for (const cli::UndoChange& c : history.changes) {
    Check(!c.entries.empty());
    Check(cli::IsUndoTime(c.when));
    std::set<int32_t> seen;
    for (const cli::ProfileEntry& e : c.entries) {
      Check(lumora::PropertyName(e.property) != nullptr);
      Check(seen.insert(e.property).second);
    }
  }
  const std::string written = cli::FormatUndoHistory(history);
  cli::UndoHistory again;
  Check(cli::ParseUndoHistory(written, &again, &error));
  Check(cli::FormatUndoHistory(again) == written);
  return 0;
}
