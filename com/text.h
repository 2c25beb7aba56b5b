// Text conversions at the Windows edge: UTF-8 <-> UTF-16 (the portable
// code's strings and the system's), and the system ANSI code page (CP_ACP)
// of narrow-string APIs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "com/raii.h"

namespace lumora::com {

// UTF-8 <-> UTF-16. Invalid input converts with replacement characters;
// empty results for empty input. May throw std::bad_alloc.
std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);
// A new automation string holding text converted, in one allocation (an
// empty text gives an empty string). Null only when memory runs out.
Bstr BstrFromUtf8(std::string_view text) noexcept;

// A malloc'ed narrow copy of text in the ANSI code page, terminated; a null
// or empty text (or one the code page cannot convert) gives an empty
// string. Null only when the memory cannot be allocated. The caller frees
// it with free().
char* NarrowAnsi(const wchar_t* text) noexcept;

// A new automation string with text (ANSI code page) widened; null text
// gives an empty string. S_OK, E_INVALIDARG when the text does not convert
// (out is left as it was), E_OUTOFMEMORY.
HRESULT WidenAnsi(const char* text, Bstr* out) noexcept;

}  // namespace lumora::com
