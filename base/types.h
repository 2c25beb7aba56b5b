// Basic value types shared by the portable core: result codes and GUIDs.
// Nothing here depends on Windows headers; the values and layouts are the
// Windows ones, so the adapters can pass them through unchanged.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace lumora {

// A Windows HRESULT: negative values are failures.
using HResult = int32_t;

namespace hr {
constexpr HResult Ok = 0;
constexpr HResult False = 1;
constexpr HResult NotImpl = static_cast<HResult>(0x80004001u);
constexpr HResult NoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult Pointer = static_cast<HResult>(0x80004003u);
constexpr HResult Abort = static_cast<HResult>(0x80004004u);
constexpr HResult Fail = static_cast<HResult>(0x80004005u);
constexpr HResult AccessDenied = static_cast<HResult>(0x80070005u);
constexpr HResult OutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult InvalidArg = static_cast<HResult>(0x80070057u);

constexpr bool Succeeded(HResult h) { return h >= 0; }
constexpr bool Failed(HResult h) { return h < 0; }
}  // namespace hr

// A GUID in the Windows memory layout (first three fields in host order,
// which is little-endian on every platform this library targets).
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {0, 0, 0, 0, 0, 0, 0, 0};

  // Parses the 36-character form "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx",
  // optionally inside braces, either case. Usable in constant expressions;
  // a malformed literal fails to compile there and yields the null GUID at
  // run time.
  static constexpr Guid Parse(const char* text) {
    Guid g;
    size_t start = text[0] == '{' ? 1 : 0;
    const char* s = text + start;
    constexpr int kDashes[4] = {8, 13, 18, 23};
    for (int i = 0; i < 36; ++i) {
      bool dash = i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3];
      if (dash ? s[i] != '-' : HexDigit(s[i]) < 0) return Guid{};
    }
    g.data1 = static_cast<uint32_t>(HexField(s, 8));
    g.data2 = static_cast<uint16_t>(HexField(s + 9, 4));
    g.data3 = static_cast<uint16_t>(HexField(s + 14, 4));
    g.data4[0] = static_cast<uint8_t>(HexField(s + 19, 2));
    g.data4[1] = static_cast<uint8_t>(HexField(s + 21, 2));
    for (int i = 0; i < 6; ++i) {
      g.data4[2 + i] = static_cast<uint8_t>(HexField(s + 24 + 2 * i, 2));
    }
    return g;
  }

  // Lower-case 36-character text without braces, as UuidToString writes it.
  std::string ToString() const;

  bool IsNull() const { return *this == Guid{}; }

  friend constexpr bool operator==(const Guid& a, const Guid& b) {
    for (int i = 0; i < 8; ++i) {
      if (a.data4[i] != b.data4[i]) return false;
    }
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
  }
  friend constexpr bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

 private:
  static constexpr int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  }
  static constexpr uint64_t HexField(const char* s, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = v * 16 + static_cast<uint64_t>(HexDigit(s[i]));
    return v;
  }
};
static_assert(sizeof(Guid) == 16, "Guid must have the Windows layout");

constexpr Guid kNullGuid{};

}  // namespace lumora
