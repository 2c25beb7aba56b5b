// The registry entries of Lumora.dll in the test prefix. Registered.* runs
// after regsvr32 registered the library, Unregistered.* after regsvr32 /u.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "com/raii.h"

using lumora::com::RegKey;

namespace {

struct ClassKeys {
  const wchar_t* progId;       // P
  const wchar_t* description;  // N
  const wchar_t* clsid;        // G as written
};

const ClassKeys kClasses[] = {
    {L"Lumora.VCapCollection", L"VCapCollection Class", L"{BF8A8826-6A64-4cfd-B609-6B92EF6ABEBC}"},
    {L"Lumora.VCapFilter", L"VCapFilter Class", L"{BF8A8827-6A64-4cfd-B609-6B92EF6ABEBC}"},
    {L"Lumora.DVidCapCtrl", L"DVidCapCtrl Class", L"{BF8A8825-6A64-4cfd-B609-6B92EF6ABEBC}"},
    {L"Lumora.VCapFilterEnum", L"VCapFilterEnum Class", L"{BF8A8828-6A64-4cfd-B609-6B92EF6ABEBC}"},
    {L"Lumora.LumoraCOM", L"LumoraCOM Class", L"{C5C7547B-978B-4AD0-9414-268EE9E0940B}"},
};

const wchar_t kTypeLib[] = L"{BF8A8824-6A64-4cfd-B609-6B92EF6ABEBC}";

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

bool KeyExists(const std::wstring& path) {
  RegKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Receive()) ==
         ERROR_SUCCESS;
}

// The string value (default when name is null), or "<missing>".
std::wstring Value(const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t buffer[1024];
  DWORD size = sizeof(buffer);
  LONG result =
      RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size);
  return result == ERROR_SUCCESS ? std::wstring(buffer) : L"<missing>";
}

std::set<std::wstring> Subkeys(const std::wstring& path) {
  std::set<std::wstring> names;
  RegKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return names;
  }
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.insert(name);
  }
  return names;
}

std::wstring Lower(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
  return s;
}

std::wstring LibraryPath() {
  HMODULE module = LoadLibraryW(L"Lumora.dll");
  EXPECT_NE(module, nullptr);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  FreeLibrary(module);
  return path;
}

TEST(Registered, ProgIdKeys) {
  for (const ClassKeys& row : kClasses) {
    SCOPED_TRACE(Narrow(row.progId));
    std::wstring versioned = std::wstring(row.progId) + L".1";
    EXPECT_EQ(Value(versioned), row.description);
    EXPECT_EQ(Value(versioned + L"\\CLSID"), row.clsid);
    EXPECT_EQ(Subkeys(versioned), (std::set<std::wstring>{L"CLSID"}));

    EXPECT_EQ(Value(row.progId), row.description);
    EXPECT_EQ(Value(std::wstring(row.progId) + L"\\CLSID"), row.clsid);
    EXPECT_EQ(Value(std::wstring(row.progId) + L"\\CurVer"), versioned);
    EXPECT_EQ(Subkeys(row.progId), (std::set<std::wstring>{L"CLSID", L"CurVer"}));
  }
}

TEST(Registered, ClassKeys) {
  const std::wstring library = Lower(LibraryPath());
  for (const ClassKeys& row : kClasses) {
    SCOPED_TRACE(Narrow(row.progId));
    std::wstring key = std::wstring(L"CLSID\\") + row.clsid;
    EXPECT_EQ(Value(key), row.description);
    EXPECT_EQ(Value(key + L"\\ProgID"), std::wstring(row.progId) + L".1");
    EXPECT_EQ(Value(key + L"\\VersionIndependentProgID"), row.progId);
    EXPECT_TRUE(KeyExists(key + L"\\Programmable"));
    EXPECT_TRUE(Subkeys(key + L"\\Programmable").empty());
    EXPECT_EQ(Lower(Value(key + L"\\InprocServer32")), library);
    EXPECT_EQ(Value(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Value(key + L"\\TypeLib"), kTypeLib);
    EXPECT_EQ(Subkeys(key), (std::set<std::wstring>{L"InprocServer32", L"ProgID", L"Programmable",
                                                    L"TypeLib", L"VersionIndependentProgID"}));
  }
}

TEST(Registered, TypeLibraryLoadsByIdentifier) {
  GUID libid{};
  ASSERT_EQ(CLSIDFromString(const_cast<LPOLESTR>(kTypeLib), &libid), S_OK);
  Microsoft::WRL::ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadRegTypeLib(libid, 1, 0, 1033, &lib), S_OK);
  lumora::com::Bstr path;
  ASSERT_EQ(QueryPathOfRegTypeLib(libid, 1, 0, 1033, path.Receive()), S_OK);
  EXPECT_EQ(Lower(path.Get()), Lower(LibraryPath()));
}

// Nothing of the library is registered: no class, ProgID or type library.
void ExpectNothingRegistered() {
  for (const ClassKeys& row : kClasses) {
    SCOPED_TRACE(Narrow(row.progId));
    EXPECT_FALSE(KeyExists(row.progId));
    EXPECT_FALSE(KeyExists(std::wstring(row.progId) + L".1"));
    EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + row.clsid));
  }
  EXPECT_TRUE(KeyExists(L"CLSID"));
  EXPECT_FALSE(KeyExists(std::wstring(L"TypeLib\\") + kTypeLib + L"\\1.0"));
}

// regsvr32 /s (or /s /u) on a library file; its exit code, -1 when it could
// not be started.
int Regsvr32(const std::wstring& library, bool unregister) {
  std::wstring command = L"regsvr32.exe /s ";
  if (unregister) command += L"/u ";
  command += L"\"" + library + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(Unregistered, NoKeyOfTheClassesRemains) { ExpectNothingRegistered(); }

// The next tests start and end with the library unregistered.

// A key that cannot take the registration's subkeys (a volatile key takes
// only volatile ones) makes the third class's script fail after two classes
// were written: regsvr32 reports the failure and nothing of ours remains.
TEST(FailedRegistration, UndoesWhatItWrote) {
  RegKey planted;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Lumora.DVidCapCtrl", 0, nullptr, REG_OPTION_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, planted.Receive(), nullptr),
      ERROR_SUCCESS);
  planted.Reset();
  EXPECT_NE(Regsvr32(LibraryPath(), false), 0) << "the registration reports its failure";
  ExpectNothingRegistered();
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Lumora.DVidCapCtrl");
}

// A library file whose path is longer than MAX_PATH registers (classes with
// the full path, the type library with the file's short form) and
// unregisters again.
TEST(LongPath, RegistersWithTheFullPath) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  ASSERT_GT(length, 0u);
  ASSERT_LE(length, static_cast<DWORD>(MAX_PATH));
  std::wstring folder = temp;
  std::vector<std::wstring> created;
  for (wchar_t part : {L'a', L'b', L'c'}) {
    folder += L"lumora-" + std::wstring(100, part) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    created.push_back(folder);
  }
  const std::wstring library = folder + L"Lumora.dll";
  ASSERT_GT(library.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), library.c_str(), FALSE));

  EXPECT_EQ(Regsvr32(library, false), 0);
  for (const ClassKeys& row : kClasses) {
    SCOPED_TRACE(Narrow(row.progId));
    EXPECT_EQ(Lower(Value(std::wstring(L"CLSID\\") + row.clsid + L"\\InprocServer32")),
              Lower(library));
  }
  GUID libid{};
  ASSERT_EQ(CLSIDFromString(const_cast<LPOLESTR>(kTypeLib), &libid), S_OK);
  lumora::com::Bstr registered;
  EXPECT_EQ(QueryPathOfRegTypeLib(libid, 1, 0, 1033, registered.Receive()), S_OK);
  // The type-library functions take at most MAX_PATH characters: the type
  // library is registered under the file's short form.
  wchar_t longForm[1024] = {};
  const DWORD longLength =
      registered.Get() ? GetLongPathNameW(registered.Get(), longForm, 1024) : 0;
  EXPECT_GT(longLength, 0u);
  EXPECT_LT(longLength, 1024u);
  EXPECT_EQ(Lower(longForm), Lower(library));

  EXPECT_EQ(Regsvr32(library, true), 0);
  ExpectNothingRegistered();
  DeleteFileW(library.c_str());
  for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryW(it->c_str());
}

}  // namespace
