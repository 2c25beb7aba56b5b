// Conversions between the library's wide strings and the narrow strings of
// the simple camera API, which are in the system ANSI code page (CP_ACP) in
// both directions, so that a name the code page can spell survives the
// round trip.
#pragma once

#include <windows.h>

#include <cstdlib>

#include "com/raii.h"

namespace lumora::simpleapi {

// A malloc'ed narrow copy of text in the ANSI code page, terminated; a null
// or empty text (or one the code page cannot convert) gives an empty
// string. Null only when the memory cannot be allocated. The caller frees
// it with free().
char* NarrowAnsi(const wchar_t* text) noexcept;

// A new automation string with text (ANSI code page) widened; null text
// gives an empty string. S_OK, E_INVALIDARG when the text does not convert,
// E_OUTOFMEMORY.
HRESULT WidenAnsi(const char* text, com::Bstr* out) noexcept;

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
    char* narrow = NarrowAnsi(text);
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
