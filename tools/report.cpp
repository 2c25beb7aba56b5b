#include "tools/report.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>

#include "property/catalogue.h"

namespace lumora {
std::string ReportName(int32_t property) {
  const catalogue::Row* row = catalogue::Find(property);
  return row != nullptr ? row->label : std::string();
}

const char* SupportText(int32_t support) {
  switch (support) {
    case 0: return " not supported";
    case 1: return " read only    ";
    case 2: return " write only   ";
    case 3: return " read write   ";
    default: return " ?????????????";
  }
}

std::string ReportLine(const ReportEntry& e) {
  std::string line = ReportName(e.property) + SupportText(e.support);
  if (e.support == 0 || e.support == 2) return line;
  if (e.rangeOk) {
    line += "Range " + std::to_string(e.min) + "\t- " + std::to_string(e.max);
  } else {
    line += "Range not supp.";
  }
  if (e.valueOk) {
    line += "\tValue is " + std::to_string(e.value);
  } else {
    line += "\tValue is not supp.";
  }
  return line;
}

std::string ReportHeader(int32_t chipset) {
  return std::string("Chipset is ") + ChipsetName(chipset) + "\r\n";
}

bool IsStandardExposure(int32_t chipset, int32_t property) {
  return catalogue::HasStandardUnits(chipset, property, catalogue::Units::kLog2Seconds);
}

std::string ExposureSecondsText(int32_t value) {
  if (value < -62 || value > 62) return "2^" + std::to_string(value) + " s";
  if (value >= 0) return std::to_string(uint64_t{1} << value) + " s";
  return "1/" + std::to_string(uint64_t{1} << -value) + " s";
}

std::string ReportBody(ReportSource& source) {
  std::string text;
  for (int32_t i = 0; i < catalogue::kNamed; ++i) {
    ReportEntry e;
    e.property = i;
    if (!source.Support(i, &e.support)) e.support = 0;
    if (e.support != 0 && e.support != 2) {
      int32_t min = 0, max = 0, value = 0;
      e.rangeOk = source.Range(i, &min, &max);
      if (e.rangeOk) {
        e.min = min;
        e.max = max;
      }
      e.valueOk = source.Value(i, &value);
      if (e.valueOk) e.value = value;
    }
    text += ReportLine(e) + "\r\n";
  }
  return text;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

SetTextResult SetTextValue(const std::string& text, int32_t* value) {
  // Copy the leading number into a plain form strtod reads the same in
  // every locale: [sign] digits [. digits] [e [sign] digits].
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) {
    number += text[i++];
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    while (i < text.size() && IsDigit(text[i])) {
      number += text[i++];
      digits = true;
    }
  }
  if (!digits) {
    *value = 0;
    return SetTextResult::kOk;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) exponent += text[j++];
      number += exponent;
    }
  }
  if (number[0] != '+' && number[0] != '-') number.insert(0, "+");
  if (number[1] == '.') number.insert(1, "0");
  double parsed = std::strtod(number.c_str(), nullptr);
  // nearbyint rounds in the current mode; the program never leaves the
  // default round-to-nearest-even, but say so rather than rely on it.
  const int mode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(parsed);
  std::fesetround(mode);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return SetTextResult::kOverflow;
  *value = static_cast<int32_t>(rounded);
  return SetTextResult::kOk;
}

}  // namespace lumora
