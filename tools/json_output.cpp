#include "tools/json_output.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "property/catalogue.h"
#include "tools/report.h"

namespace lumora::json {

namespace {

using json = nlohmann::ordered_json;

std::string Dump(const json& document) {
  // Replace rather than throw on text that is not UTF-8: a driver's name
  // must not cost the whole document.
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

json Camera(const ListedCamera& c) {
  return json{{"index", c.index},
              {"name", c.id.name},
              {"serial", c.id.serial},
              {"vidPid", c.id.vidPid},
              {"chipset", c.opened ? json(c.id.chipset) : json(nullptr)},
              {"devicePath", c.id.devicePath},
              {"kind", SourceKindName(c.kind)}};
}

json Name(int32_t property) {
  const char* name = PropertyName(property);
  return name != nullptr ? json(name) : json(nullptr);
}

json Mode(int32_t mode) {
  if (mode == VCM_Auto) return "auto";
  if (mode == VCM_Manual) return "manual";
  return nullptr;
}

json Modes(int32_t modes) {
  json list = json::array();
  if (modes & VCM_Auto) list.push_back("auto");
  if (modes & VCM_Manual) list.push_back("manual");
  return list;
}

json Property(const PropertyFacts& f, int32_t chipset) {
  json p{{"number", f.property},
         {"name", Name(f.property)},
         {"support", {{"read", (f.support & 1) != 0}, {"write", (f.support & 2) != 0}}},
         {"range", nullptr},
         {"value", nullptr},
         {"seconds", nullptr},
         {"default", nullptr},
         {"modes", Modes(f.modes)},
         {"mode", Mode(f.mode)}};
  if (f.rangeOk) p["range"] = {{"min", f.min}, {"max", f.max}, {"step", f.step}};
  if (f.valueOk) {
    p["value"] = f.value;
    if (IsStandardExposure(chipset, f.property)) p["seconds"] = std::ldexp(1.0, f.value);
  }
  if (f.defaultOk) p["default"] = f.defaultValue;
  return p;
}

}  // namespace

const char* SourceKindName(long kind) { return kind == 0 ? "device" : "other"; }

std::string ListDocument(const std::vector<ListedCamera>& cameras) {
  json list = json::array();
  for (const ListedCamera& c : cameras) list.push_back(Camera(c));
  return Dump(json{{"cameras", list}});
}

std::string ReportDocument(const ListedCamera& camera, int32_t chipset,
                           const std::vector<PropertyFacts>& properties) {
  json list = json::array();
  for (const PropertyFacts& f : properties) list.push_back(Property(f, chipset));
  return Dump(json{{"camera", Camera(camera)}, {"properties", list}});
}

std::string GetDocument(const ListedCamera& camera, int32_t property, int32_t value, int32_t mode) {
  return Dump(json{
      {"camera", Camera(camera)},
      {"property",
       {{"number", property}, {"name", Name(property)}, {"value", value}, {"mode", Mode(mode)}}}});
}

std::string CheckDocument(const ListedCamera& camera, const check::Result& result) {
  json list = json::array();
  json checks = json::array();
  auto finding = [&checks](const check::Finding& f, const json& property) {
    checks.push_back({{"id", f.id},
                      {"property", property},
                      {"outcome", check::OutcomeName(f.outcome)},
                      {"text", f.text}});
  };
  for (const check::PropertyResult& r : result.properties) {
    list.push_back({{"number", r.property},
                    {"name", Name(r.property)},
                    {"result", check::VerdictName(r.verdict)},
                    {"failures", r.failures},
                    {"notes", r.notes}});
    for (const check::Finding& f : r.findings) finding(f, Name(r.property));
  }
  json block = nullptr;
  if (!result.vanished) {
    block = {{"result", result.settingsFailures.empty() ? "ok" : "fail"},
             {"failures", result.settingsFailures}};
    checks.push_back({{"id", "settings.block-agrees"},
                      {"property", nullptr},
                      {"outcome", result.settingsFailures.empty() ? "ok" : "fail"},
                      {"text", result.settingsFailures.empty() ? std::string()
                                                               : result.settingsFailures.front()}});
  }
  for (const check::CameraCheck& c : result.cameraChecks) {
    for (const check::Finding& f : c.findings) finding(f, nullptr);
  }
  const check::Summary& s = result.summary;
  return Dump(json{{"camera", Camera(camera)},
                   {"properties", list},
                   {"settingsBlock", block},
                   {"vanished", result.vanished},
                   {"vanishedAt", result.vanished ? Name(result.vanishedAt) : json(nullptr)},
                   {"restored", result.restored},
                   {"notRestored", result.notRestored},
                   {"summary",
                    {{"ok", s.ok},
                     {"notSupported", s.notSupported},
                     {"skipped", s.skipped},
                     {"failed", s.failed}}},
                   {"warnings", s.warned},
                   {"checks", checks},
                   {"passed", result.Passed()}});
}

namespace {

const char* LoadResultName(cli::LoadResult result) {
  switch (result) {
    case cli::LoadResult::kApplied: return "applied";
    case cli::LoadResult::kChanged: return "changed";
    case cli::LoadResult::kRefused: return "refused";
    case cli::LoadResult::kNotReached: break;
  }
  return "not reached";
}

json LoadedProperty(const cli::PropertyOutcome& o) {
  const cli::ProfileEntry& e = o.entry;
  const bool isValue = e.mode == cli::EntryMode::kValue;
  json holds = nullptr;
  if (o.verified || o.actualMode != 0) {
    holds = {{"value", o.verified ? json(o.actual) : json(nullptr)}, {"mode", Mode(o.actualMode)}};
  }
  return json{
      {"number", e.property},
      {"name", Name(e.property)},
      {"line", e.line > 0 ? json(e.line) : json(nullptr)},
      {"value", isValue ? json(e.value) : json(nullptr)},
      {"mode", isValue ? json(nullptr) : json(e.mode == cli::EntryMode::kAuto ? "auto" : "manual")},
      {"result", LoadResultName(o.result)},
      {"holds", holds},
      {"reason", o.reason.empty() ? json(nullptr) : json(o.reason)}};
}

}  // namespace

std::string LoadDocument(const ListedCamera& camera, const std::string& file,
                         const std::vector<std::string>& differences,
                         const cli::LoadOutcome& outcome) {
  json list = json::array();
  for (const cli::PropertyOutcome& o : outcome.properties) list.push_back(LoadedProperty(o));
  return Dump(json{
      {"camera", Camera(camera)},
      {"file", file},
      {"otherCamera", differences},
      {"properties", list},
      {"vanished", outcome.vanished},
      {"vanishError", outcome.vanished ? json(cli::HexCode(outcome.vanishError)) : json(nullptr)},
      {"summary",
       {{"applied", outcome.Count(cli::LoadResult::kApplied)},
        {"changed", outcome.Count(cli::LoadResult::kChanged)},
        {"refused", outcome.Count(cli::LoadResult::kRefused)},
        {"notReached", outcome.Count(cli::LoadResult::kNotReached)}}},
      {"succeeded", outcome.Succeeded()}});
}

std::string ErrorDocument(const std::string& message) { return Dump(json{{"error", message}}); }

}  // namespace lumora::json
