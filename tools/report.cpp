#include "tools/report.h"

namespace lumora {
namespace {

const char* const kReportNames[33] = {
    "Brightness        ", "Contrast          ", "Hue               ", "Saturation        ",
    "Sharpness         ", "Gamma             ", "ColorEnable       ", "WhiteBalance      ",
    "BacklightComp.    ", "*WhiteBalanceMode ", "*WhiteBalRed      ", "*WhiteBalBlue     ",
    "*FlickerFree      ", "*Flicker50_60     ", "*FPS              ", "Exposure          ",
    "Gain              ", "*FlipHorizontal   ", "*FlipVertical     ", "*AutoExposure     ",
    "*AutoAll          ", "ActualFrameRate   ", "*LED              ", "*Setting          ",
    "External Trigger  ", "SW-Trigger        ", "Pan Cam           ", "Tilt Cam          ",
    "Roll Cam          ", "Zoom Cam          ", "CamExposure       ", "Iris Setting      ",
    "Focus Setting     ",
};

}  // namespace

std::string ReportName(int32_t property) {
  if (property < 0 || property > 32) return std::string();
  return kReportNames[property];
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

}  // namespace lumora
