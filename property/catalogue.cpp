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
constexpr NamedValue kNames[] = {
    {"Brightness", 0},     {"FirstElement", 0},       {"Contrast", 1},
    {"Hue", 2},            {"Saturation", 3},         {"Sharpness", 4},
    {"Gamma", 5},          {"ColorEnable", 6},        {"WhiteBalance", 7},
    {"BacklightCompensation", 8},                     {"WhiteBalanceMode", 9},
    {"WhiteBalRed", 10},   {"WhiteBalBlue", 11},      {"FlickerFree", 12},
    {"Flicker50_60", 13},  {"FPS", 14},               {"Exposure", 15},
    {"Gain", 16},          {"FlipHorizontal", 17},    {"FlipVertical", 18},
    {"AutoExposure", 19},  {"AutoAll", 20},           {"LastSetting", 20},
    {"ActualFrameRate", 21},                          {"LED", 22},
    {"Setting", 23},       {"ExtTrigger", 24},        {"SWTrigger", 25},
    {"Pan", 26},           {"Tilt", 27},              {"Roll", 28},
    {"Zoom", 29},          {"Iris", 30},              {"CamExposure", 30},
    {"Focus", 31},         {"LastElement", 31},
};

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
