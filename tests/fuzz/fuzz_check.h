// Shared by the fuzz targets: an invariant that fails aborts the run, so the
// fuzzing engine and the replay both report it with the input.
#pragma once

#include <cstdlib>

namespace lumora::fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace lumora::fuzz
