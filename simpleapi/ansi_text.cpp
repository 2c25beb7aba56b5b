#include "simpleapi/ansi_text.h"

#include <cstdlib>

namespace lumora::simpleapi {

char* NarrowAnsi(const wchar_t* text) noexcept {
  int size = 0;  // bytes, terminator included
  if (text && *text) {
    size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  }
  char* narrow = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
  if (!narrow) return nullptr;
  narrow[0] = '\0';
  if (size > 0 &&
      WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, size, nullptr, nullptr) != size) {
    narrow[0] = '\0';
  }
  narrow[size] = '\0';
  return narrow;
}

HRESULT WidenAnsi(const char* text, com::Bstr* out) noexcept {
  if (!text || !*text) {
    com::Bstr empty(L"");
    if (!empty.Get()) return E_OUTOFMEMORY;
    *out = std::move(empty);
    return S_OK;
  }
  int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return E_INVALIDARG;
  com::Bstr wide;
  // size counts the terminator, which SysAllocStringLen adds itself.
  wide.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(size - 1)));
  if (!wide.Get()) return E_OUTOFMEMORY;
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.Get(), size) != size) {
    return E_INVALIDARG;
  }
  *out = std::move(wide);
  return S_OK;
}

}  // namespace lumora::simpleapi
