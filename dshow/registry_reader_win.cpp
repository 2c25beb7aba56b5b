#include "dshow/registry_reader_win.h"

#include <windows.h>

#include <new>
#include <utility>

#include "com/raii.h"
#include "com/text.h"

namespace lumora {

namespace {

constexpr REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "registry names are UTF-16");

// An open key; destroying it closes the key. One allocation per open key.
class WindowsKey : public RegistryKey {
 public:
  explicit WindowsKey(com::RegKey key) noexcept : key_(std::move(key)) {}

  // Takes over an open key; closes it when the object cannot be allocated.
  static RegStatus Own(com::RegKey key, std::unique_ptr<RegistryKey>* out) noexcept {
    auto* owner = new (std::nothrow) WindowsKey(std::move(key));
    if (owner == nullptr) return ERROR_OUTOFMEMORY;
    out->reset(owner);
    return ERROR_SUCCESS;
  }

  RegStatus EnumSubkey(uint32_t index, RegistryName* name) override {
    wchar_t buffer[kRegNameBufferChars];
    DWORD length = kRegNameBufferChars;  // reset for every call
    LONG status =
        RegEnumKeyExW(key_.Get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (length >= kRegNameBufferChars) return ERROR_MORE_DATA;
    for (DWORD i = 0; i < length; ++i) name->units[i] = static_cast<char16_t>(buffer[i]);
    name->units[length] = u'\0';
    name->length = length;
    return ERROR_SUCCESS;
  }

  RegStatus OpenSubkey(const RegistryName& name, std::unique_ptr<RegistryKey>* key) override {
    key->reset();
    if (name.length >= kRegNameBufferChars) return ERROR_INVALID_PARAMETER;
    // The name exactly as enumeration gave it, NUL-terminated.
    wchar_t wide[kRegNameBufferChars];
    for (uint32_t i = 0; i < name.length; ++i) wide[i] = static_cast<wchar_t>(name.units[i]);
    wide[name.length] = L'\0';
    com::RegKey subkey;
    LONG status = RegOpenKeyExW(key_.Get(), wide, 0, kReadAccess, subkey.Receive());
    if (status != ERROR_SUCCESS) return status;
    return Own(std::move(subkey), key);
  }

  RegStatus QueryValue(const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
    std::wstring wide;
    try {
      wide = com::WidenUtf8(name);
    } catch (const std::bad_alloc&) {
      return ERROR_OUTOFMEMORY;
    }
    DWORD valueType = REG_NONE;
    DWORD valueSize = *size;
    LONG status = RegQueryValueExW(key_.Get(), wide.c_str(), nullptr, &valueType, data, &valueSize);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      *type = valueType;
      *size = valueSize;
    }
    return status;
  }

 private:
  com::RegKey key_;
};

class WindowsRegistryReader : public RegistryReader {
 public:
  RegStatus OpenLocalMachine(const std::string& path, std::unique_ptr<RegistryKey>* key) override {
    key->reset();
    std::wstring wide;
    try {
      wide = com::WidenUtf8(path);
    } catch (const std::bad_alloc&) {
      return ERROR_OUTOFMEMORY;
    }
    com::RegKey opened;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, kReadAccess, opened.Receive());
    if (status != ERROR_SUCCESS) return status;
    return WindowsKey::Own(std::move(opened), key);
  }
};

}  // namespace

std::unique_ptr<RegistryReader> MakeWindowsRegistryReader() {
  return std::unique_ptr<RegistryReader>(new (std::nothrow) WindowsRegistryReader());
}

}  // namespace lumora
