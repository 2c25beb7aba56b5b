#include "tools/camera_source.h"

namespace lumora {

HResult CameraSource::ModeSupport(int32_t, int32_t*) { return hr::NotImpl; }
HResult CameraSource::GetMode(int32_t, int32_t*) { return hr::NotImpl; }
HResult CameraSource::SetMode(int32_t, int32_t) { return hr::NotImpl; }
HResult CameraSource::Default(int32_t, int32_t*) { return hr::NotImpl; }
std::unique_ptr<CameraSource> CameraSource::OpenAnother() { return nullptr; }

PropertyFacts CollectFacts(CameraSource& source, int32_t property) {
  PropertyFacts f;
  f.property = property;
  if (source.Support(property, &f.support) != hr::Ok) f.support = 0;
  if (f.support == 0 || f.support == 2) return f;
  int32_t min = 0, max = 0, step = 0, def = 0;
  if (hr::Succeeded(source.Range(property, &min, &max, &step, &def))) {
    f.rangeOk = true;
    f.min = min;
    f.max = max;
    f.step = step;
  }
  int32_t value = 0;
  if (hr::Succeeded(source.Get(property, &value))) {
    f.valueOk = true;
    f.value = value;
  }
  if (hr::Succeeded(source.Default(property, &def))) {
    f.defaultOk = true;
    f.defaultValue = def;
  }
  int32_t modes = 0, mode = 0;
  if (hr::Succeeded(source.ModeSupport(property, &modes)))
    f.modes = modes & (VCM_Auto | VCM_Manual);
  if (f.modes != 0 && hr::Succeeded(source.GetMode(property, &mode)) &&
      (mode == VCM_Auto || mode == VCM_Manual)) {
    f.mode = mode;
  }
  return f;
}

std::string ToolReportLine(const PropertyFacts& f, int32_t chipset) {
  ReportEntry e;
  e.property = f.property;
  e.support = f.support;
  e.rangeOk = f.rangeOk;
  e.min = f.min;
  e.max = f.max;
  e.valueOk = f.valueOk;
  e.value = f.value;
  std::string line = ReportLine(e);
  if (f.valueOk && IsStandardExposure(chipset, f.property)) {
    line += "\t(" + ExposureSecondsText(f.value) + ")";
  }
  if (f.defaultOk) line += "\tDefault " + std::to_string(f.defaultValue);
  if (f.mode == VCM_Auto) line += "\tMode auto";
  if (f.mode == VCM_Manual) line += "\tMode manual";
  return line;
}

}  // namespace lumora
