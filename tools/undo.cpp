// The undo history: format, parsing, recording and the undo itself.
#include "tools/undo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>

#include "base/text.h"
#include "property/catalogue.h"
#include "tools/command_policy.h"

namespace lumora::cli {

namespace {

constexpr const char* kMagic = "lumora-undo 1";
constexpr const char* kCommands[] = {"set", "load", "reset", "undo"};

std::string LineError(int line, const std::string& text) {
  return "line " + std::to_string(line) + ": " + text;
}

bool IsCommand(const std::string& word) {
  return std::find_if(std::begin(kCommands), std::end(kCommands),
                      [&](const char* c) { return word == c; }) != std::end(kCommands);
}

}  // namespace

bool IsUndoTime(const std::string& t) {
  // YYYY-MM-DD HH:MM:SS
  static const char kShape[] = "0000-00-00 00:00:00";
  if (t.size() != sizeof kShape - 1) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(t[i])) != 0;
    if (kShape[i] == '0' ? !digit : t[i] != kShape[i]) return false;
  }
  auto field = [&](size_t at) { return (t[at] - '0') * 10 + (t[at + 1] - '0'); };
  return field(5) >= 1 && field(5) <= 12 && field(8) >= 1 && field(8) <= 31 && field(11) <= 23 &&
         field(14) <= 59 && field(17) <= 60;
}

bool ParseUndoHistory(const std::string& text, UndoHistory* history, std::string* error) {
  if (text.size() > kUndoFileLimit) {
    *error = "larger than " + std::to_string(kUndoFileLimit) + " bytes";
    return false;
  }
  UndoHistory parsed;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool sawMagic = false, sawCamera = false, sawEnd = false;
  std::set<int32_t> seen;  // properties of the change being read
  auto closeChange = [&]() {
    if (!parsed.changes.empty() && parsed.changes.back().entries.empty()) {
      *error = LineError(number, "a change without values");
      return false;
    }
    return true;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (sawEnd) {
      if (!Trim(line).empty()) {
        *error = LineError(number, "text after \"end\"");
        return false;
      }
      continue;
    }
    if (!sawMagic) {
      if (line != kMagic) {
        *error = std::string("not an undo history (no \"") + kMagic + "\" line)";
        return false;
      }
      sawMagic = true;
      continue;
    }
    if (line == "end") {
      if (!closeChange()) return false;
      sawEnd = true;
      continue;
    }
    if (line.rfind("change ", 0) == 0) {
      if (!closeChange()) return false;
      if (parsed.changes.size() == kUndoDepth) {
        *error = LineError(number, "more than " + std::to_string(kUndoDepth) + " changes");
        return false;
      }
      UndoChange change;
      const std::string rest = line.substr(7);
      const size_t blank = rest.rfind(' ');
      change.when = blank == std::string::npos ? std::string() : rest.substr(0, blank);
      change.command = blank == std::string::npos ? rest : rest.substr(blank + 1);
      if (!IsUndoTime(change.when) || !IsCommand(change.command)) {
        *error =
            LineError(number, "expected \"change YYYY-MM-DD HH:MM:SS COMMAND\": " + Quoted(line));
        return false;
      }
      parsed.changes.push_back(std::move(change));
      seen.clear();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      *error = LineError(number, "unknown line " + Quoted(line));
      return false;
    }
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "Camera") {
      if (sawCamera || !parsed.changes.empty()) {
        *error = LineError(number, "Camera given twice or after a change");
        return false;
      }
      sawCamera = true;
      parsed.camera = value;
      continue;
    }
    if (parsed.changes.empty()) {
      *error = LineError(number, "a value before the first change");
      return false;
    }
    ProfileEntry entry;
    entry.property = PropertyFromName(key.c_str());
    entry.line = number;
    if (entry.property < 0) {
      *error = LineError(number, "unknown property " + Quoted(key));
      return false;
    }
    if (!ParseEntryValue(value, &entry)) {
      *error = LineError(number, "value of " + Printable(key) +
                                     " is not a whole number, auto or manual: " + Quoted(value));
      return false;
    }
    if (!seen.insert(entry.property).second) {
      *error = LineError(number, std::string(PropertyName(entry.property)) + " given twice");
      return false;
    }
    parsed.changes.back().entries.push_back(entry);
  }
  if (!sawMagic) {
    *error = std::string("not an undo history (no \"") + kMagic + "\" line)";
    return false;
  }
  if (!sawEnd) {
    *error = "incomplete: no \"end\" line (the file may be truncated)";
    return false;
  }
  *history = std::move(parsed);
  return true;
}

std::string FormatUndoHistory(const UndoHistory& history) {
  std::string out = std::string(kMagic) + "\n";
  std::string camera = history.camera;
  std::replace(camera.begin(), camera.end(), '\n', ' ');
  std::replace(camera.begin(), camera.end(), '\r', ' ');
  out += "Camera = " + camera + "\n";
  for (const UndoChange& c : history.changes) {
    out += "change " + c.when + " " + c.command + "\n";
    for (const ProfileEntry& e : c.entries) {
      out += std::string(PropertyName(e.property)) + " = " + EntryValueText(e) + "\n";
    }
  }
  out += "end\n";
  return out;
}

std::string UndoCameraKey(const CameraIdentity& camera) {
  if (!camera.vidPid.empty() && !camera.serial.empty()) {
    return camera.vidPid + " " + camera.serial;
  }
  return !camera.devicePath.empty() ? camera.devicePath : camera.name;
}

std::string UndoFileName(const CameraIdentity& camera) {
  const std::string key = UndoCameraKey(camera);
  std::string name;
  for (char c : key) {
    if (name.size() == 64) break;
    const bool keep = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
    name += keep && static_cast<unsigned char>(c) < 0x80 ? c : '_';
  }
  char hash[10];
  std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(HashNoCase(key)));
  return name + "-" + hash + ".txt";
}

UndoChange RecordBefore(ProfileTarget& target, const std::vector<int32_t>& properties,
                        const std::string& command, const std::string& when) {
  UndoChange change;
  change.when = when;
  change.command = command;
  std::set<int32_t> done;
  for (int32_t p : properties) {
    if (PropertyName(p) == nullptr || !catalogue::IsKept(p) || !done.insert(p).second) continue;
    ProfileEntry e;
    e.property = p;
    int32_t mode = 0;
    if ((target.ModeSupport(p) & VCM_Auto) != 0 && hr::Succeeded(target.GetMode(p, &mode)) &&
        mode == VCM_Auto) {
      e.mode = EntryMode::kAuto;
    } else if ((target.Support(p) & VCS_get) == 0 || hr::Failed(target.Get(p, &e.value))) {
      continue;
    }
    change.entries.push_back(e);
  }
  return change;
}

bool AddChange(UndoHistory* history, UndoChange change) {
  if (change.entries.empty()) return false;
  history->changes.push_back(std::move(change));
  while (history->changes.size() > kUndoDepth) history->changes.erase(history->changes.begin());
  return true;
}

UndoOutcome UndoLast(ProfileTarget& target, UndoHistory* history, const std::string& when) {
  UndoOutcome outcome;
  if (history->changes.empty()) return outcome;
  outcome.change = history->changes.back();
  std::vector<int32_t> properties;
  for (const ProfileEntry& e : outcome.change.entries) properties.push_back(e.property);
  UndoChange record = RecordBefore(target, properties, "undo", when);
  // A manual value written while the control is automatic may be ignored.
  for (const ProfileEntry& e : outcome.change.entries) {
    int32_t mode = 0;
    if (e.mode == EntryMode::kValue && (target.ModeSupport(e.property) & VCM_Manual) != 0 &&
        hr::Succeeded(target.GetMode(e.property, &mode)) && mode == VCM_Auto) {
      HResult h = target.SetMode(e.property, VCM_Manual);
      if (IsDeviceGone(h)) {
        outcome.load.vanished = true;
        outcome.load.vanishError = h;
        return outcome;
      }
    }
  }
  outcome.load = LoadProfile(target, outcome.change.entries);
  if (outcome.load.vanished) return outcome;
  history->changes.pop_back();
  AddChange(history, std::move(record));
  outcome.undone = true;
  return outcome;
}

std::string ChangeSummary(const UndoChange& change) {
  std::string text;
  for (const ProfileEntry& e : change.entries) {
    if (!text.empty()) text += ", ";
    text += std::string(PropertyName(e.property)) + " = " + EntryValueText(e);
  }
  return text;
}

std::string UndoListText(const UndoHistory& history) {
  std::string text;
  size_t n = 0;
  for (auto it = history.changes.rbegin(); it != history.changes.rend(); ++it) {
    std::string command = it->command;
    command.resize(std::max<size_t>(command.size(), 5), ' ');
    ++n;
    text += std::to_string(n) + (n < 10 ? "   " : "  ") + it->when + "  " + command + "  " +
            ChangeSummary(*it) + "\n";
  }
  return text;
}

bool ParseUndoArguments(const std::vector<std::string>& args, std::string* cam, bool* list,
                        std::string* error) {
  std::string chosen;
  bool wantsList = false;
  for (const std::string& a : args) {
    if (a == "--list") {
      wantsList = true;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + Quoted(a) + " for undo";
      return false;
    } else if (chosen.empty()) {
      chosen = a;
    } else {
      *error = "too many arguments; usage: lumora undo CAM [--list]";
      return false;
    }
  }
  if (chosen.empty()) {
    *error = "missing arguments; usage: lumora undo CAM [--list]";
    return false;
  }
  *cam = chosen;
  *list = wantsList;
  return true;
}

}  // namespace lumora::cli
