#include "enumeration/device_path.h"

namespace lumora {
namespace {

// Returns token number `index` (counted from 0) of `text`, where any
// character of `separators` separates tokens and empty tokens do not count.
std::optional<std::u16string_view> NthToken(std::u16string_view text,
                                            std::u16string_view separators, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t n = 0;; ++n) {
    pos = text.find_first_not_of(separators, pos);
    if (pos == std::u16string_view::npos) return std::nullopt;
    std::size_t end = text.find_first_of(separators, pos);
    if (end == std::u16string_view::npos) end = text.size();
    if (n == index) return text.substr(pos, end - pos);
    pos = end;
  }
}

}  // namespace

DevicePathTokens SplitDevicePath(std::u16string_view path) {
  path = path.substr(0, path.find(u'\0'));
  DevicePathTokens tokens;

  if (auto serial = NthToken(path, u"#&", 5)) tokens.serial = std::u16string(*serial);

  if (auto vidPid = NthToken(path, u"#", 1)) {
    std::u16string text(vidPid->substr(0, kVidPidMaxLength));
    for (char16_t& c : text) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    tokens.vidPid = std::move(text);
  }
  return tokens;
}

}  // namespace lumora
