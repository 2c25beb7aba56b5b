#include "property/catalogue.h"

#include <cctype>
#include <cstring>
#include <string>

namespace lumora {
namespace {

struct NamedValue {
  const char* name;
  int32_t value;
};

// The first row of each value is its report name; later rows are aliases.
#define LUMORA_CATALOGUE_ROW(name, value) {#name, value},
constexpr NamedValue kNames[] = {LUMORA_VIDCAP_PROPERTIES(LUMORA_CATALOGUE_ROW)};
#undef LUMORA_CATALOGUE_ROW

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

}  // namespace

const char* PropertyName(int32_t property) {
  for (const NamedValue& n : kNames) {
    if (n.value == property) return n.name;
  }
  return nullptr;
}

int32_t PropertyFromName(const char* name) {
  if (name == nullptr) return -1;
  if (std::strlen(name) > 4 && EqualNoCase(std::string(name, 4).c_str(), "VCP_")) {
    name += 4;
  }
  for (const NamedValue& n : kNames) {
    if (EqualNoCase(n.name, name)) return n.value;
  }
  return -1;
}

const char* ChipsetName(int32_t publicChipset) {
  switch (publicChipset) {
    case CSX_SAA8116: return "SAA8116";
    case CSX_SAA8112: return "SAA8112";
    case CSX_CREALIVEULTRA: return "CREALIVEULTRA";
    case CSX_LOGIFUSION: return "LOGIFUSION";
    default: return "unknown";
  }
}

}  // namespace lumora
