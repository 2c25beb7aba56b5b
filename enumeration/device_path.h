// Splitting of a device path (a moniker display name) into the serial token
// and the USB vendor/product token that a filter descriptor keeps.
//
// The text is UTF-16, as an automation string holds it. Nothing here depends
// on Windows headers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

// The tokens found in one device path. A member without a value means the
// path has no such token, and the descriptor keeps what it had before.
struct DevicePathTokens {
  // The sixth token (index 5) when the path is split on "#" and "&".
  std::optional<std::u16string> serial;
  // The second token (index 1) when the path is split on "#" alone,
  // upper-cased (a-z only) and cut to kVidPidMaxLength characters.
  std::optional<std::u16string> vidPid;
};

// Length of a token of the form VID_xxxx&PID_xxxx; the interface number of a
// composite device (&MI_00) lies beyond it.
constexpr std::size_t kVidPidMaxLength = 17;

// Splits `path` (taken up to its first NUL, if any). Tokens are maximal runs
// of non-separator characters: leading, trailing and repeated separators
// produce no empty tokens.
DevicePathTokens SplitDevicePath(std::u16string_view path);

}  // namespace lumora
