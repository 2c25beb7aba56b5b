// The JSON documents of the lumora tool's --json option (portable). Each is
// one document, ended by a line break; the schema is described in
// docs/json.md and stays stable: fields are only ever added.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/camera_source.h"
#include "tools/check.h"
#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::json {

// A listed camera: its index as "lumora list" shows it (from 1), and whether
// it could be opened (its chipset is known only then).
struct ListedCamera {
  size_t index = 0;
  cli::CameraIdentity id;
  bool opened = false;
  long kind = 0;  // 0 a kernel-streaming device, 1 another capture source
};

// Name of a source kind, as "kind" shows it: "device" (a kernel-streaming
// device) or "other" (a filter of its own, a software or virtual camera).
const char* SourceKindName(long kind);

// {"cameras": [camera, ...]}
std::string ListDocument(const std::vector<ListedCamera>& cameras);

// {"camera": camera, "properties": [property, ...], "named": [named, ...]};
// chipset is the public chipset value (it decides which property is the
// standard exposure); a named control is {"name", "type", "unit",
// "selector", "support", "range", "labels", "units", "default", "value"}.
std::string ReportDocument(const ListedCamera& camera, int32_t chipset,
                           const std::vector<PropertyFacts>& properties,
                           const std::vector<xutool::NamedListing>& named = {});

// {"camera": camera, "property": {"number", "name", "value", "mode"}}
std::string GetDocument(const ListedCamera& camera, int32_t property, int32_t value, int32_t mode);

// {"camera": camera, "named": named} as in the report.
std::string NamedGetDocument(const ListedCamera& camera, const xutool::NamedListing& named);

// {"camera": camera, "units": [{"guid", "problem", "controls": [{"selector",
// "length", "support", "minimum", "maximum", "resolution", "default",
// "current" (hex texts or null), "problems", "named": [name, ...]}, ...]},
// ...], "named": [named, ...], "problem"}
std::string XuDocument(const ListedCamera& camera, const xutool::Inventory& inventory);

// {"camera": camera, "unit", "selector", "value" (hex)}
std::string XuGetDocument(const ListedCamera& camera, const std::string& unit, uint32_t selector,
                          const xutool::Bytes& value);

// {"camera": camera, "properties": [{"number", "name", "result", "failures",
// "notes"}, ...], "settingsBlock": {"result", "failures"}, "vanished",
// "restored", "notRestored", "summary": {"ok", "notSupported", "skipped",
// "failed"}, "warnings" (properties whose worst outcome is WARN), "checks":
// [{"id", "property" (name or null), "outcome", "text"}, ...], "passed",
// "named": [{"name", "result", "failures", "notes"}, ...]};
// a property's "result" is "ok", "not supported", "skipped", "warn" or
// "fail".
std::string CheckDocument(const ListedCamera& camera, const check::Result& result);

// {"camera": camera, "file", "otherCamera": [difference, ...],
// "properties": [{"number", "name", "line", "value", "mode", "result",
// "holds": {"value", "mode"} or null, "reason"}, ...], "vanished",
// "vanishError", "summary": {"applied", "changed", "refused", "notReached"},
// "succeeded", "named": [{"name", "line", "value", "result", "holds",
// "reason"}, ...]}; differences as cli::IdentityDifferences gives them.
std::string LoadDocument(const ListedCamera& camera, const std::string& file,
                         const std::vector<std::string>& differences,
                         const cli::LoadOutcome& outcome);

// {"error": message}
std::string ErrorDocument(const std::string& message);

}  // namespace lumora::json
