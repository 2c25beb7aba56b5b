// An in-memory HKEY_LOCAL_MACHINE for tests of the registry search.
//
// Keys are created by path; subkeys enumerate in insertion order; values keep
// their type and raw bytes (a REG_SZ is whatever bytes the test stores).
// Key names compare without regard to ASCII case, as in the registry. Opening
// a key can be refused with a chosen status, and enumeration can be made to
// fail at a chosen index. The reader counts open keys so a test can check
// that every key was closed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "property/registry_reader.h"
#include "base/types.h"

namespace lumora::sim {

class MemoryRegistry : public RegistryReader {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  // Creates the key at `path` and any missing parents.
  void AddKey(const std::string& path);
  // Sets a value, creating the key when needed.
  void SetValue(const std::string& path, const std::string& name, uint32_t type,
                std::vector<uint8_t> bytes);
  // A REG_BINARY value holding the 16 bytes of `guid`.
  void SetGuidValue(const std::string& path, const std::string& name, const Guid& guid);

  // Opening `path` answers `status` (for example kRegAccessDenied).
  void RefuseOpen(const std::string& path, RegStatus status);
  // Enumerating the subkeys of `path` at `index` answers `status`.
  void FailEnumeration(const std::string& path, uint32_t index, RegStatus status);

  // Keys opened and not yet closed.
  int OpenKeyCount() const;
  // Paths of every OpenLocalMachine call, in order, as given, and of every
  // OpenSubkey call as the parent's path, a backslash and the name.
  const std::vector<std::string>& OpenLog() const;

  RegStatus OpenLocalMachine(const std::string& path, std::unique_ptr<RegistryKey>* key) override;

  struct Node;
  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace lumora::sim
