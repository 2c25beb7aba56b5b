// The registry reader over the Windows registry: keys below
// HKEY_LOCAL_MACHINE opened with read access only (KEY_ENUMERATE_SUB_KEYS |
// KEY_QUERY_VALUE), so an account without write rights to HKLM still reads
// them. Paths and value names cross as UTF-8 and are converted to UTF-16
// here; subkey names stay the UTF-16 units the registry gave.
#pragma once

#include <memory>
#include <string>

#include "property/registry_reader.h"

namespace lumora {

// A new reader; null only when memory runs out.
std::unique_ptr<RegistryReader> MakeWindowsRegistryReader();

}  // namespace lumora
