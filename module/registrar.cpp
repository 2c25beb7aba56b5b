// Registry script parser and interpreter.
#include "module/registrar.h"

#include <cwctype>
#include <new>
#include <vector>

#include "com/raii.h"

namespace lumora::registrar {
namespace {

// One entry of a script: a key (with optional default value and children)
// or a named value of the enclosing key.
struct Entry {
  enum class Flag { Normal, NoRemove, ForceRemove };
  bool isValue = false;  // val Name = ...
  Flag flag = Flag::Normal;
  std::wstring name;
  bool hasData = false;
  wchar_t type = L's';  // s: REG_SZ, d: REG_DWORD
  std::wstring data;
  std::vector<Entry> children;
};

struct Root {
  HKEY key;
  std::vector<Entry> entries;
};

struct Token {
  std::wstring text;
  bool quoted = false;
  bool Is(const wchar_t* word) const { return !quoted && text == word; }
};

class SyntaxError {};

class Parser {
 public:
  Parser(const std::wstring& script, const std::wstring& modulePath)
      : script_(script), modulePath_(modulePath) {}

  std::vector<Root> Parse() {
    std::vector<Root> roots;
    while (Peek()) {
      Token name = Next();
      Root root{RootKey(name), {}};
      Expect(L"{");
      root.entries = Block();
      roots.push_back(std::move(root));
    }
    return roots;
  }

 private:
  static HKEY RootKey(const Token& token) {
    if (token.Is(L"HKCR") || token.Is(L"HKEY_CLASSES_ROOT")) return HKEY_CLASSES_ROOT;
    if (token.Is(L"HKCU") || token.Is(L"HKEY_CURRENT_USER")) return HKEY_CURRENT_USER;
    if (token.Is(L"HKLM") || token.Is(L"HKEY_LOCAL_MACHINE")) return HKEY_LOCAL_MACHINE;
    throw SyntaxError();
  }

  // Entries up to and including the closing brace.
  std::vector<Entry> Block() {
    std::vector<Entry> entries;
    for (;;) {
      Token token = Next();
      if (token.Is(L"}")) return entries;
      entries.push_back(ParseEntry(std::move(token)));
    }
  }

  Entry ParseEntry(Token token) {
    Entry entry;
    if (token.Is(L"val")) {
      entry.isValue = true;
      entry.name = Name(Next());
      Expect(L"=");
      Data(entry);
      return entry;
    }
    if (token.Is(L"NoRemove")) {
      entry.flag = Entry::Flag::NoRemove;
      token = Next();
    } else if (token.Is(L"ForceRemove")) {
      entry.flag = Entry::Flag::ForceRemove;
      token = Next();
    }
    entry.name = Name(token);
    if (PeekIs(L"=")) {
      Next();
      Data(entry);
    }
    if (PeekIs(L"{")) {
      Next();
      entry.children = Block();
    }
    return entry;
  }

  static std::wstring Name(const Token& token) {
    if (token.text.empty() || (!token.quoted && (token.text == L"{" || token.text == L"}" ||
                                                 token.text == L"="))) {
      throw SyntaxError();
    }
    return token.text;
  }

  void Data(Entry& entry) {
    Token type = Next();
    if (type.Is(L"s")) {
      entry.type = L's';
    } else if (type.Is(L"d")) {
      entry.type = L'd';
    } else {
      throw SyntaxError();
    }
    Token data = Next();
    if (!data.quoted && entry.type == L's') throw SyntaxError();
    entry.data = data.text;
    entry.hasData = true;
  }

  void Expect(const wchar_t* word) {
    if (!Next().Is(word)) throw SyntaxError();
  }

  bool Peek() {
    SkipSpace();
    return pos_ < script_.size();
  }

  bool PeekIs(const wchar_t* word) {
    size_t saved = pos_;
    if (!Peek()) return false;
    Token token = Next();
    pos_ = saved;
    return token.Is(word);
  }

  Token Next() {
    if (!Peek()) throw SyntaxError();
    Token token;
    if (script_[pos_] == L'\'') {
      token.quoted = true;
      ++pos_;
      for (;;) {
        if (pos_ >= script_.size()) throw SyntaxError();
        wchar_t c = script_[pos_++];
        if (c == L'\'') {
          if (pos_ < script_.size() && script_[pos_] == L'\'') {
            token.text += L'\'';
            ++pos_;
            continue;
          }
          break;
        }
        token.text += c;
      }
      token.text = Expand(token.text);
      return token;
    }
    while (pos_ < script_.size() && !std::iswspace(script_[pos_])) token.text += script_[pos_++];
    return token;
  }

  // Replaces %MODULE% and %%; any other variable is an error.
  std::wstring Expand(const std::wstring& text) const {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != L'%') {
        out += text[i];
        continue;
      }
      size_t end = text.find(L'%', i + 1);
      if (end == std::wstring::npos) throw SyntaxError();
      std::wstring name = text.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out += L'%';
      } else if (name == L"MODULE") {
        out += modulePath_;
      } else {
        throw SyntaxError();
      }
      i = end;
    }
    return out;
  }

  void SkipSpace() {
    while (pos_ < script_.size() && std::iswspace(script_[pos_])) ++pos_;
  }

  const std::wstring& script_;
  const std::wstring& modulePath_;
  size_t pos_ = 0;
};

HRESULT FromWin32(LONG code) { return HRESULT_FROM_WIN32(static_cast<DWORD>(code)); }

HRESULT SetValue(HKEY key, const wchar_t* name, const Entry& entry) {
  LONG result;
  if (entry.type == L'd') {
    wchar_t* end = nullptr;
    DWORD value = std::wcstoul(entry.data.c_str(), &end, 0);
    if (entry.data.empty() || *end != L'\0') return DISP_E_EXCEPTION;
    result = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value));
  } else {
    result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.data.c_str()),
                            static_cast<DWORD>((entry.data.size() + 1) * sizeof(wchar_t)));
  }
  return FromWin32(result);
}

// Removes a key with everything below it; a missing key is no failure.
HRESULT RemoveTree(HKEY parent, const std::wstring& name) {
  LONG result = RegDeleteTreeW(parent, name.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(result);
}

HRESULT Register(HKEY parent, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    HRESULT hr = S_OK;
    if (entry.isValue) {
      hr = SetValue(parent, entry.name.c_str(), entry);
      if (FAILED(hr)) return hr;
      continue;
    }
    if (entry.flag == Entry::Flag::ForceRemove) {
      hr = RemoveTree(parent, entry.name);
      if (FAILED(hr)) return hr;
    }
    com::RegKey key;
    LONG result = RegCreateKeyExW(parent, entry.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
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
      LONG result = RegDeleteValueW(parent, entry.name.c_str());
      if (result != ERROR_FILE_NOT_FOUND) note(FromWin32(result));
      continue;
    }
    if (entry.flag == Entry::Flag::ForceRemove) {
      note(RemoveTree(parent, entry.name));
      continue;
    }
    bool removable = entry.flag != Entry::Flag::NoRemove;
    {
      com::RegKey key;
      LONG result = RegOpenKeyExW(parent, entry.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive());
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
    if (removable) note(FromWin32(RegDeleteKeyW(parent, entry.name.c_str())));
  }
  return first;
}

}  // namespace

HRESULT RunScript(const std::wstring& script, Mode mode, const std::wstring& modulePath) noexcept {
  try {
    std::vector<Root> roots = Parser(script, modulePath).Parse();
    HRESULT first = S_OK;
    for (const Root& root : roots) {
      HRESULT hr =
          mode == Mode::Register ? Register(root.key, root.entries) : Unregister(root.key, root.entries);
      if (FAILED(hr)) {
        if (mode == Mode::Register) return hr;
        if (SUCCEEDED(first)) first = hr;
      }
    }
    return first;
  } catch (const SyntaxError&) {
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RunResourceScript(HMODULE module, UINT id, Mode mode) noexcept {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (!info) return HRESULT_FROM_WIN32(GetLastError());
  DWORD size = SizeofResource(module, info);
  HGLOBAL loaded = LoadResource(module, info);
  const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!text) return HRESULT_FROM_WIN32(GetLastError());
  try {
    std::wstring script;
    if (size > 0) {
      int length = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
      if (length <= 0) return HRESULT_FROM_WIN32(GetLastError());
      script.resize(static_cast<size_t>(length));
      MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), script.data(), length);
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      DWORD written = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
      if (written == 0) return HRESULT_FROM_WIN32(GetLastError());
      if (written < path.size()) {
        path.resize(written);
        break;
      }
      path.resize(path.size() * 2);
    }
    return RunScript(script, mode, path);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace lumora::registrar
