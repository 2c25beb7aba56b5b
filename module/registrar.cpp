// Registry script parser and interpreter.
#include "module/registrar.h"

#include <new>
#include <string>
#include <vector>

#include "com/com_object.h"
#include "com/guard.h"
#include "com/raii.h"
#include "base/registry_script.h"

namespace lumora::registrar {
namespace {

using registry_script::Entry;
using registry_script::Root;

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

HKEY RootHandle(registry_script::RootKey key) {
  switch (key) {
    case registry_script::RootKey::kCurrentUser: return HKEY_CURRENT_USER;
    case registry_script::RootKey::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case registry_script::RootKey::kClassesRoot: break;
  }
  return HKEY_CLASSES_ROOT;
}

HRESULT FromWin32(LONG code) { return HRESULT_FROM_WIN32(static_cast<DWORD>(code)); }

HRESULT SetValue(HKEY key, const wchar_t* name, const Entry& entry) {
  LONG result;
  if (entry.type == Entry::Type::kDword) {
    const DWORD value = entry.number;
    result = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value));
  } else {
    result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.text.c_str()),
                            static_cast<DWORD>((entry.text.size() + 1) * sizeof(char16_t)));
  }
  return FromWin32(result);
}

// Removes a key with everything below it; a missing key is no failure.
HRESULT RemoveTree(HKEY parent, const std::u16string& name) {
  LONG result = RegDeleteTreeW(parent, Wide(name).c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(result);
}

HRESULT Register(HKEY parent, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    HRESULT hr = S_OK;
    if (entry.isValue) {
      hr = SetValue(parent, Wide(entry.name).c_str(), entry);
      if (FAILED(hr)) return hr;
      continue;
    }
    if (entry.flag == Entry::Flag::kForceRemove) {
      hr = RemoveTree(parent, entry.name);
      if (FAILED(hr)) return hr;
    }
    com::RegKey key;
    LONG result =
        RegCreateKeyExW(parent, Wide(entry.name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, key.Receive(), nullptr);
    if (result != ERROR_SUCCESS) return FromWin32(result);
    if (entry.hasData) {
      hr = SetValue(key.Get(), nullptr, entry);
      if (FAILED(hr)) return hr;
    }
    hr = Register(key.Get(), entry.children);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Unregistration goes on past failures and answers the first one.
HRESULT Unregister(HKEY parent, const std::vector<Entry>& entries) {
  HRESULT first = S_OK;
  auto note = [&first](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  };
  for (const Entry& entry : entries) {
    if (entry.isValue) {
      LONG result = RegDeleteValueW(parent, Wide(entry.name).c_str());
      if (result != ERROR_FILE_NOT_FOUND) note(FromWin32(result));
      continue;
    }
    if (entry.flag == Entry::Flag::kForceRemove) {
      note(RemoveTree(parent, entry.name));
      continue;
    }
    bool removable = entry.flag != Entry::Flag::kNoRemove;
    {
      com::RegKey key;
      LONG result =
          RegOpenKeyExW(parent, Wide(entry.name).c_str(), 0, KEY_READ | KEY_WRITE, key.Receive());
      if (result == ERROR_FILE_NOT_FOUND) continue;
      if (result != ERROR_SUCCESS) {
        note(FromWin32(result));
        continue;
      }
      note(Unregister(key.Get(), entry.children));
      DWORD subkeys = 0;
      result = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr);
      if (result != ERROR_SUCCESS || subkeys != 0) removable = false;
    }
    if (removable) note(FromWin32(RegDeleteKeyW(parent, Wide(entry.name).c_str())));
  }
  return first;
}

}  // namespace

HRESULT RunScript(const std::wstring& script, Mode mode, const std::wstring& modulePath) noexcept {
  return com::Guard([&] {
    std::vector<Root> roots;
    if (!registry_script::Parse(std::u16string(script.begin(), script.end()),
                                std::u16string(modulePath.begin(), modulePath.end()), &roots)) {
      return DISP_E_EXCEPTION;
    }
    HRESULT first = S_OK;
    for (const Root& root : roots) {
      const HKEY key = RootHandle(root.key);
      HRESULT hr =
          mode == Mode::Register ? Register(key, root.entries) : Unregister(key, root.entries);
      if (FAILED(hr)) {
        if (mode == Mode::Register) return hr;
        if (SUCCEEDED(first)) first = hr;
      }
    }
    return first;
  });
}

HRESULT RunResourceScript(HMODULE module, UINT id, Mode mode) noexcept {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (!info) return HRESULT_FROM_WIN32(GetLastError());
  DWORD size = SizeofResource(module, info);
  HGLOBAL loaded = LoadResource(module, info);
  const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!text) return HRESULT_FROM_WIN32(GetLastError());
  return com::Guard([&] {
    std::wstring script;
    if (size > 0) {
      int length = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
      if (length <= 0) return HRESULT_FROM_WIN32(GetLastError());
      script.resize(static_cast<size_t>(length));
      MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), script.data(), length);
    }
    std::wstring path;
    HRESULT hr = com::ModuleFileName(module, &path);
    if (FAILED(hr)) return hr;
    return RunScript(script, mode, path);
  });
}

}  // namespace lumora::registrar
