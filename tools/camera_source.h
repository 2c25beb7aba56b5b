// The camera as the lumora tool's reports and its check see it (portable):
// the calls of the library's property control, each answering the library's
// result code. The tool implements it over DVidCapCtrl; tests over a
// property handler on a simulated camera.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/types.h"
#include "property/catalogue.h"
#include "tools/report.h"
#include "tools/xu_tool.h"

namespace lumora {

class CameraSource {
 public:
  virtual ~CameraSource() = default;
  virtual HResult Support(int32_t property, int32_t* support) = 0;
  virtual HResult Range(int32_t property, int32_t* min, int32_t* max, int32_t* step,
                        int32_t* defaultValue) = 0;
  virtual HResult Get(int32_t property, int32_t* value) = 0;
  virtual HResult Set(int32_t property, int32_t value) = 0;

  // Automatic modes and defaults, where the library reports them:
  // hr::NotImpl when it does not (the default answers).
  virtual HResult ModeSupport(int32_t property, int32_t* modes);
  virtual HResult GetMode(int32_t property, int32_t* mode);
  virtual HResult SetMode(int32_t property, int32_t mode);
  virtual HResult Default(int32_t property, int32_t* value);

  // A settings block read (element k: the low 16 bits of property k).
  virtual HResult ReadSettings(int16_t* elements, uint32_t count) = 0;

  // False once the camera is known to be gone (unplugged).
  virtual bool Present() = 0;

  // A second control object attached to the same device; null where the
  // source cannot open one (the default).
  virtual std::unique_ptr<CameraSource> OpenAnother();

  // The camera's extension-unit controls; null where the library or the
  // camera has none (the default).
  virtual xutool::XuSource* Xu() { return nullptr; }
};

// Everything the reports show of one property. Range and value are asked
// only of readable properties, as the text report does.
struct PropertyFacts {
  int32_t property = 0;
  int32_t support = 0;
  bool rangeOk = false;
  int32_t min = 0, max = 0, step = 0;
  bool defaultOk = false;
  int32_t defaultValue = 0;
  bool valueOk = false;
  int32_t value = 0;
  int32_t modes = 0;  // VCM_Auto | VCM_Manual bits, 0 without modes
  int32_t mode = 0;   // VCM_Auto or VCM_Manual, 0 unknown
};

PropertyFacts CollectFacts(CameraSource& source, int32_t property);

// The command-line tool's report line of a property, without line break:
// ReportLine, then for the standard exposure control (IsStandardExposure)
// its time "\t(1/32 s)", then "\tDefault 128" where the camera reports a
// default and "\tMode auto" / "\tMode manual" where the control has modes.
std::string ToolReportLine(const PropertyFacts& facts, int32_t chipset);

}  // namespace lumora
