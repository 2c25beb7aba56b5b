// Read-only access to the registry keys below HKEY_LOCAL_MACHINE, reduced to
// what the media-interface search needs. The calls mirror RegOpenKeyExW,
// RegEnumKeyExW and RegQueryValueExW and answer Windows status codes (LONG),
// not HRESULTs.
//
// Two realisations exist: the Windows one (dshow/registry_reader_win.h) and an
// in-memory one for tests (sim/memory_registry.h).
//
// Paths and value names are narrow UTF-8; the Windows reader converts at
// its edge. Subkey names are kept as the registry gives them (UTF-16 code
// units in a fixed buffer), so a subkey is reopened by exactly the name that
// enumeration found, whatever it holds. No call throws: allocation failures
// come back as kRegOutOfMemory.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumora {

// A Windows registry status (LONG).
using RegStatus = int32_t;

constexpr RegStatus kRegSuccess = 0;        // ERROR_SUCCESS
constexpr RegStatus kRegFileNotFound = 2;   // ERROR_FILE_NOT_FOUND
constexpr RegStatus kRegAccessDenied = 5;   // ERROR_ACCESS_DENIED
constexpr RegStatus kRegOutOfMemory = 14;   // ERROR_OUTOFMEMORY
constexpr RegStatus kRegMoreData = 234;     // ERROR_MORE_DATA
constexpr RegStatus kRegNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

// Value types.
constexpr uint32_t kRegNone = 0;    // REG_NONE
constexpr uint32_t kRegSz = 1;      // REG_SZ
constexpr uint32_t kRegBinary = 3;  // REG_BINARY
constexpr uint32_t kRegDword = 4;   // REG_DWORD

// Size of the subkey-name buffer in UTF-16 characters, terminator included:
// a name of 260 characters or more does not fit and answers kRegMoreData.
constexpr uint32_t kRegNameBufferChars = 260;

// The name of a subkey as enumeration gave it: `length` UTF-16 code units
// followed by a NUL, in a fixed buffer (filling it allocates nothing).
struct RegistryName {
  std::array<char16_t, kRegNameBufferChars> units{};
  uint32_t length = 0;

  std::u16string_view View() const { return std::u16string_view(units.data(), length); }
};

// An open key. Destroying the object closes the key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // Name of the subkey at `index` (RegEnumKeyExW with a name buffer of
  // kRegNameBufferChars characters whose length is reset for every call).
  // kRegNoMoreItems past the last subkey; *name is written only on success.
  virtual RegStatus EnumSubkey(uint32_t index, RegistryName* name) = 0;

  // Opens the subkey `name` of this key (RegOpenKeyExW relative to this key)
  // with read access, like RegistryReader::OpenLocalMachine. On success *key
  // owns the open subkey; on failure it is left empty.
  virtual RegStatus OpenSubkey(const RegistryName& name, std::unique_ptr<RegistryKey>* key) = 0;

  // Value `name` of this key (RegQueryValueExW). On entry *size is the
  // capacity of `data` in bytes. On success *type is the value type, the
  // value's bytes are in data and *size is their count. A value larger than
  // the buffer answers kRegMoreData with *size set to the size it needs and
  // *type written; data is then undefined.
  virtual RegStatus QueryValue(const std::string& name, uint32_t* type, uint8_t* data,
                               uint32_t* size) = 0;
};

class RegistryReader {
 public:
  virtual ~RegistryReader() = default;

  // Opens the key at `path` below HKEY_LOCAL_MACHINE ("SYSTEM\\...", parts
  // separated by backslashes, names compared without regard to case) with
  // read access only: enumerate subkeys and query values. On success *key owns
  // the open key; on failure it is left empty.
  virtual RegStatus OpenLocalMachine(const std::string& path,
                                     std::unique_ptr<RegistryKey>* key) = 0;
};

}  // namespace lumora
