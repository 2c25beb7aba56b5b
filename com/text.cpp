#include "com/text.h"

#include <cstdlib>
#include <utility>

namespace lumora::com {

std::wstring WidenUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string NarrowToUtf8(std::wstring_view text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

Bstr BstrFromUtf8(std::string_view text) noexcept {
  const int bytes = static_cast<int>(text.size());
  const int length =
      bytes == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
  if (length < 0 || (bytes != 0 && length == 0)) return Bstr();
  Bstr out;
  out.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
  if (out.Get() && length != 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, out.Get(), length);
  }
  return out;
}

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

HRESULT WidenAnsi(const char* text, Bstr* out) noexcept {
  if (!text || !*text) {
    Bstr empty(L"");
    if (!empty.Get()) return E_OUTOFMEMORY;
    *out = std::move(empty);
    return S_OK;
  }
  int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return E_INVALIDARG;
  Bstr wide;
  // size counts the terminator, which SysAllocStringLen adds itself.
  wide.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(size - 1)));
  if (!wide.Get()) return E_OUTOFMEMORY;
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.Get(), size) != size) {
    return E_INVALIDARG;
  }
  *out = std::move(wide);
  return S_OK;
}

}  // namespace lumora::com
