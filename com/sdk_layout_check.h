// Compile-time checks of a portable definition against the SDK's own, one
// fact a line. Used by the Windows build's layout checks (dshow/, sim/com/);
// a wrong value, size or offset fails to compile with the SDK name.
#pragma once

#include <cstddef>

#include "base/types.h"

// A constant equals the SDK's.
#define LUMORA_SAME_VALUE(ours, sdk) static_assert((ours) == (sdk), #sdk)
// A Guid equals the SDK's, named by its STATIC_* initializer macro.
#define LUMORA_SAME_GUID(ours, sdk) static_assert((ours) == ::lumora::Guid{sdk}, #sdk)
// A structure and its SDK counterpart have the same size.
#define LUMORA_SAME_SIZE(ours, sdk) static_assert(sizeof(ours) == sizeof(sdk), #sdk " size")
// A field sits where the SDK puts it.
#define LUMORA_SAME_FIELD(ours, field, sdk, sdkField) \
  static_assert(offsetof(ours, field) == offsetof(sdk, sdkField), #sdk "." #sdkField)
// A byte offset of the library's blocks is where the SDK puts a field.
#define LUMORA_SAME_OFFSET(offset, base, sdk, sdkField) \
  static_assert((offset) == (base) + offsetof(sdk, sdkField), #sdk "." #sdkField)
