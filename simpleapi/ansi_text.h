// The narrow strings of the simple camera API are in the system ANSI code
// page (CP_ACP) in both directions (com/text.h), so that a name the code
// page can spell survives the round trip.
#pragma once

#include <windows.h>

#include <cstdlib>

#include "com/text.h"

namespace lumora::simpleapi {

// Owns a table of narrow strings (malloc'ed blocks) whose slots callers of
// the simple API read directly.
template <int N>
class NarrowTable {
 public:
  NarrowTable() noexcept = default;
  NarrowTable(const NarrowTable&) = delete;
  NarrowTable& operator=(const NarrowTable&) = delete;
  ~NarrowTable() { Clear(); }

  // Frees every string and nulls every slot.
  void Clear() noexcept {
    for (char*& slot : slots_) {
      free(slot);
      slot = nullptr;
    }
  }
  // Stores the narrow form of text in slot i (freeing what was there);
  // false when it cannot be allocated.
  bool Set(int i, const wchar_t* text) noexcept {
    char* narrow = com::NarrowAnsi(text);
    if (!narrow) return false;
    free(slots_[i]);
    slots_[i] = narrow;
    return true;
  }
  // The table itself (N slots), borrowed.
  char* (&Slots() noexcept)[N] { return slots_; }

 private:
  char* slots_[N] = {};
};

}  // namespace lumora::simpleapi
