#include "dshow/registry_reader_win.h"

#include <windows.h>

#include <new>

namespace lumora {

namespace {

constexpr REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Owns one open HKEY.
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;

  HKEY* Receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class WindowsKey : public RegistryKey {
 public:
  explicit WindowsKey(std::unique_ptr<KeyHandle> key) : key_(std::move(key)) {}

  RegStatus EnumSubkey(uint32_t index, std::string* name) override {
    wchar_t buffer[kRegNameBufferChars];
    DWORD length = kRegNameBufferChars;  // reset for every call
    LONG status = RegEnumKeyExW(key_->get(), index, buffer, &length, nullptr, nullptr, nullptr,
                                nullptr);
    if (status != ERROR_SUCCESS) return status;
    try {
      *name = NarrowToUtf8(std::wstring(buffer, length));
    } catch (const std::bad_alloc&) {
      return ERROR_OUTOFMEMORY;
    }
    return ERROR_SUCCESS;
  }

  RegStatus QueryValue(const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
    std::wstring wide;
    try {
      wide = WidenUtf8(name);
    } catch (const std::bad_alloc&) {
      return ERROR_OUTOFMEMORY;
    }
    DWORD valueType = REG_NONE;
    DWORD valueSize = *size;
    LONG status = RegQueryValueExW(key_->get(), wide.c_str(), nullptr, &valueType, data,
                                   &valueSize);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      *type = valueType;
      *size = valueSize;
    }
    return status;
  }

 private:
  std::unique_ptr<KeyHandle> key_;
};

class WindowsRegistryReader : public RegistryReader {
 public:
  RegStatus OpenLocalMachine(const std::string& path,
                             std::unique_ptr<RegistryKey>* key) override {
    key->reset();
    try {
      std::wstring wide = WidenUtf8(path);
      auto handle = std::make_unique<KeyHandle>();
      LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, kReadAccess,
                                  handle->Receive());
      if (status != ERROR_SUCCESS) return status;
      *key = std::make_unique<WindowsKey>(std::move(handle));
    } catch (const std::bad_alloc&) {
      return ERROR_OUTOFMEMORY;
    }
    return ERROR_SUCCESS;
  }
};

}  // namespace

std::wstring WidenUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string NarrowToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::unique_ptr<RegistryReader> MakeWindowsRegistryReader() {
  return std::unique_ptr<RegistryReader>(new (std::nothrow) WindowsRegistryReader());
}

}  // namespace lumora
