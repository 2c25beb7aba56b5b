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

json Support(uint32_t access) {
  return {{"read", (access & 1) != 0}, {"write", (access & 2) != 0}};
}

json Named(const xutool::NamedListing& n) {
  const xutool::NamedInfo& i = n.info;
  json range = nullptr;
  if (i.min && i.max) range = {{"min", *i.min}, {"max", *i.max}};
  return json{{"name", n.name},
              {"type", i.type},
              {"unit", i.unit},
              {"selector", i.selector},
              {"support", Support(i.access)},
              {"range", range},
              {"labels", i.labels},
              {"units", i.units},
              {"default", i.defaultText.empty() ? json(nullptr) : json(i.defaultText)},
              {"value", n.valueOk ? json(n.value) : json(nullptr)}};
}

json NamedList(const std::vector<xutool::NamedListing>& named) {
  json list = json::array();
  for (const xutool::NamedListing& n : named) list.push_back(Named(n));
  return list;
}

json Hex(const std::optional<xutool::Bytes>& value) {
  return value ? json(xu::HexText(*value)) : json(nullptr);
}

}  // namespace

const char* SourceKindName(long kind) { return kind == 0 ? "device" : "other"; }

std::string ListDocument(const std::vector<ListedCamera>& cameras) {
  json list = json::array();
  for (const ListedCamera& c : cameras) list.push_back(Camera(c));
  return Dump(json{{"cameras", list}});
}

std::string ReportDocument(const ListedCamera& camera, int32_t chipset,
                           const std::vector<PropertyFacts>& properties,
                           const std::vector<xutool::NamedListing>& named) {
  json list = json::array();
  for (const PropertyFacts& f : properties) list.push_back(Property(f, chipset));
  return Dump(json{{"camera", Camera(camera)}, {"properties", list}, {"named", NamedList(named)}});
}

std::string NamedGetDocument(const ListedCamera& camera, const xutool::NamedListing& named) {
  return Dump(json{{"camera", Camera(camera)}, {"named", Named(named)}});
}

std::string XuDocument(const ListedCamera& camera, const xutool::Inventory& inventory) {
  json units = json::array();
  for (const xutool::UnitListing& u : inventory.units) {
    json controls = json::array();
    for (const xutool::ControlListing& c : u.controls) {
      json names = json::array();
      for (const xutool::NamedListing& n : c.named) names.push_back(n.name);
      controls.push_back({{"selector", c.selector},
                          {"name", c.name.empty() ? json(nullptr) : json(c.name)},
                          {"length", c.length ? json(*c.length) : json(nullptr)},
                          {"support", c.access ? Support(*c.access) : json(nullptr)},
                          {"minimum", Hex(c.minimum)},
                          {"maximum", Hex(c.maximum)},
                          {"resolution", Hex(c.resolution)},
                          {"default", Hex(c.defaultValue)},
                          {"current", Hex(c.current)},
                          {"problems", c.problems},
                          {"named", names}});
    }
    units.push_back({{"guid", u.guid},
                     {"name", u.name.empty() ? json(nullptr) : json(u.name)},
                     {"problem", u.problem.empty() ? json(nullptr) : json(u.problem)},
                     {"controls", controls}});
  }
  return Dump(json{{"camera", Camera(camera)},
                   {"units", units},
                   {"unnamedNodes", inventory.unnamedNodes},
                   {"named", NamedList(inventory.named)},
                   {"problem", inventory.problem.empty() ? json(nullptr) : json(inventory.problem)}});
}

std::string XuGetDocument(const ListedCamera& camera, const std::string& unit, uint32_t selector,
                          const xutool::Bytes& value) {
  return Dump(json{{"camera", Camera(camera)},
                   {"unit", unit},
                   {"selector", selector},
                   {"value", xu::HexText(value)}});
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
  json named = json::array();
  for (const check::NamedResult& r : result.named) {
    named.push_back({{"name", r.name},
                     {"result", check::VerdictName(r.verdict)},
                     {"failures", r.failures},
                     {"notes", r.notes}});
    for (const check::Finding& f : r.findings) finding(f, r.name);
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
                   {"passed", result.Passed()},
                   {"named", named}});
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
  json named = json::array();
  for (const cli::NamedOutcome& o : outcome.named) {
    const bool written = o.result == cli::LoadResult::kApplied ||
                         o.result == cli::LoadResult::kChanged;
    named.push_back({{"name", o.entry.name},
                     {"line", o.entry.line > 0 ? json(o.entry.line) : json(nullptr)},
                     {"value", o.entry.value},
                     {"result", LoadResultName(o.result)},
                     {"holds", written && o.verified ? json(o.actual) : json(nullptr)},
                     {"reason", o.reason.empty() ? json(nullptr) : json(o.reason)}});
  }
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
      {"succeeded", outcome.Succeeded()},
      {"named", named}});
}

std::string ErrorDocument(const std::string& message) { return Dump(json{{"error", message}}); }

}  // namespace lumora::json
