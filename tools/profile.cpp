// Camera profiles: parsing, writing and the order of writing.
#include "tools/profile.h"

#include <algorithm>
#include <set>

#include "property/catalogue.h"

namespace lumora::cli {

namespace {

constexpr const char* kMagic = "lumora-profile 1";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kNamedMark = "#xu:";

std::string LineError(int line, const std::string& text) {
  return "line " + std::to_string(line) + ": " + text;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// "LED Mode = off" after the mark of a named line.
bool ParseNamedLine(const std::string& text, int lineNumber, std::vector<NamedEntry>* named,
                    std::string* error) {
  size_t eq = text.find('=');
  std::string name = Trim(text.substr(0, eq));
  std::string value = eq == std::string::npos ? std::string() : Trim(text.substr(eq + 1));
  if (eq == std::string::npos || name.empty() || value.empty()) {
    *error = LineError(lineNumber, std::string("expected \"") + kNamedMark +
                                       " Name = value\": " + Quoted(text));
    return false;
  }
  if (name.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
    *error = LineError(lineNumber, "contains a NUL character");
    return false;
  }
  for (const NamedEntry& e : *named) {
    if (EqualNoCase(e.name, name)) {
      *error = LineError(lineNumber, Quoted(name) + " given twice");
      return false;
    }
  }
  named->push_back({name, value, lineNumber});
  return true;
}

}  // namespace

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::string Printable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0x85) {
      out += "\\u0085";  // NEL
      ++i;
    } else if (c == 0xE2 && i + 2 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Quoted(const std::string& text) { return "'" + Printable(text) + "'"; }

bool ParseProfile(const std::string& text, Profile* profile, std::string* error) {
  Profile parsed;
  bool sawMagic = false;
  bool sawEnd = false;
  std::set<int32_t> seen;
  int lineNumber = 0;
  size_t pos = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  while (pos < text.size()) {
    // A line ends at LF, CR LF or a lone CR, or at the end of the text.
    size_t eol = text.find_first_of("\r\n", pos);
    std::string raw = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    if (eol == std::string::npos) {
      pos = text.size();
    } else {
      pos = eol + (text.compare(eol, 2, "\r\n") == 0 ? 2 : 1);
    }
    ++lineNumber;
    std::string line = Trim(raw);
    if (line.compare(0, 4, kNamedMark) == 0 && sawMagic && !sawEnd) {
      if (!ParseNamedLine(line.substr(4), lineNumber, &parsed.named, error)) return false;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line.find('\0') != std::string::npos) {
      *error = LineError(lineNumber, "contains a NUL character");
      return false;
    }
    if (sawEnd) {
      *error = LineError(lineNumber, "text after \"end\"");
      return false;
    }
    if (!sawMagic) {
      if (line != kMagic) {
        *error =
            LineError(lineNumber, std::string("not a lumora profile (the first line must be \"") +
                                      kMagic + "\")");
        return false;
      }
      sawMagic = true;
      continue;
    }
    if (line == "end") {
      sawEnd = true;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      *error = LineError(lineNumber, "expected \"Name = value\": " + Quoted(line));
      return false;
    }
    std::string key = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    if (key.empty()) {
      *error = LineError(lineNumber, "missing name before '='");
      return false;
    }

    struct IdentityField {
      const char* key;
      std::string* value;
      bool* present;
    };
    IdentityField fields[] = {
        {"Camera", &parsed.identity.name, &parsed.hasName},
        {"VidPid", &parsed.identity.vidPid, &parsed.hasVidPid},
        {"Serial", &parsed.identity.serial, &parsed.hasSerial},
        {"DevicePath", &parsed.identity.devicePath, &parsed.hasDevicePath},
        {"Chipset", &parsed.identity.chipset, &parsed.hasChipset},
    };
    bool isIdentity = false;
    for (IdentityField& f : fields) {
      if (!EqualNoCase(key, f.key)) continue;
      if (*f.present) {
        *error = LineError(lineNumber, std::string(f.key) + " given twice");
        return false;
      }
      *f.present = true;
      *f.value = value;
      isIdentity = true;
    }
    if (isIdentity) continue;

    int32_t property = PropertyFromName(key.c_str());
    if (property < 0) {
      *error = LineError(lineNumber, "unknown property " + Quoted(key));
      return false;
    }
    size_t hash = value.find('#');
    if (hash != std::string::npos) value = Trim(value.substr(0, hash));
    ProfileEntry entry{property, 0, lineNumber};
    if (!ParseEntryValue(value, &entry)) {
      *error =
          LineError(lineNumber, "value of " + Printable(key) +
                                    " is not a whole number, auto or manual: " + Quoted(value));
      return false;
    }
    if (!seen.insert(property).second) {
      *error = LineError(lineNumber, std::string(PropertyName(property)) + " given twice");
      return false;
    }
    parsed.entries.push_back(entry);
  }
  if (!sawMagic) {
    *error = std::string("not a lumora profile (no \"") + kMagic + "\" line)";
    return false;
  }
  if (!sawEnd) {
    *error = "incomplete profile: no \"end\" line (the file may be truncated)";
    return false;
  }
  *profile = std::move(parsed);
  return true;
}

bool ParseEntryValue(const std::string& text, ProfileEntry* entry) {
  if (EqualNoCase(text, "auto")) {
    entry->mode = EntryMode::kAuto;
  } else if (EqualNoCase(text, "manual")) {
    entry->mode = EntryMode::kManual;
  } else if (ParseInt32(text, &entry->value)) {
    entry->mode = EntryMode::kValue;
  } else {
    return false;
  }
  return true;
}

std::string FormatProfile(const Profile& profile) {
  std::string out;
  out += "# Lumora camera profile, written by \"lumora save\".\n";
  out += "# One \"Property = value\" line per setting (a number, or auto / manual for\n";
  out += "# the control's mode); names as \"lumora report\" shows\n";
  out += "# them (any case, VCP_ optional). Lines starting with '#' are comments.\n";
  out += "# \"lumora load\" switches automatic modes first, skips what the camera\n";
  out += "# cannot set and refuses the whole file if any line is wrong. The last\n";
  out += "# line must be \"end\": it shows that the file is complete.\n";
  out += kMagic;
  out += "\n";
  const CameraIdentity& id = profile.identity;
  out += "Camera = " + OneLine(id.name) + "\n";
  out += "VidPid = " + OneLine(id.vidPid) + "\n";
  out += "Serial = " + OneLine(id.serial) + "\n";
  out += "DevicePath = " + OneLine(id.devicePath) + "\n";
  out += "Chipset = " + OneLine(id.chipset) + "\n";
  out += "\n";
  for (const ProfileEntry& e : profile.entries) {
    const char* name = PropertyName(e.property);
    if (name == nullptr) continue;
    out += std::string(name) + " = " + EntryValueText(e) + "\n";
  }
  if (!profile.named.empty()) {
    out += "# Extension-unit controls by name (older lumora versions skip these lines):\n";
    for (const NamedEntry& e : profile.named) {
      if (e.name.find('=') != std::string::npos) continue;  // not readable back
      out += std::string(kNamedMark) + " " + OneLine(e.name) + " = " + OneLine(e.value) + "\n";
    }
  }
  out += "end\n";
  return out;
}

bool IsAutoMode(int32_t property) { return catalogue::KindOf(property) == catalogue::Kind::kAuto; }

std::vector<ProfileEntry> LoadOrder(const std::vector<ProfileEntry>& entries) {
  std::vector<ProfileEntry> ordered;
  ordered.reserve(entries.size());
  for (int32_t mode : catalogue::kAutoSwitches) {
    for (const ProfileEntry& e : entries) {
      if (e.property == mode) ordered.push_back(e);
    }
  }
  for (const ProfileEntry& e : entries) {
    if (!IsAutoMode(e.property) && e.mode != EntryMode::kValue) ordered.push_back(e);
  }
  for (const ProfileEntry& e : entries) {
    if (!IsAutoMode(e.property) && e.mode == EntryMode::kValue) ordered.push_back(e);
  }
  return ordered;
}

std::string EntryValueText(const ProfileEntry& entry) {
  switch (entry.mode) {
    case EntryMode::kAuto: return "auto";
    case EntryMode::kManual: return "manual";
    case EntryMode::kValue: break;
  }
  return std::to_string(entry.value);
}

std::vector<std::string> IdentityDifferences(const Profile& profile, const CameraIdentity& camera) {
  struct Field {
    const char* label;
    bool present;
    const std::string& fromProfile;
    const std::string& fromCamera;
  };
  const Field fields[] = {
      {"camera", profile.hasName, profile.identity.name, camera.name},
      {"VID/PID", profile.hasVidPid, profile.identity.vidPid, camera.vidPid},
      {"serial", profile.hasSerial, profile.identity.serial, camera.serial},
      {"device path", profile.hasDevicePath, profile.identity.devicePath, camera.devicePath},
      {"chipset", profile.hasChipset, profile.identity.chipset, camera.chipset},
  };
  std::vector<std::string> differences;
  for (const Field& f : fields) {
    if (f.present && !EqualNoCase(f.fromProfile, f.fromCamera)) {
      differences.push_back(std::string(f.label) + ": profile " + Quoted(f.fromProfile) +
                            ", camera " + Quoted(f.fromCamera));
    }
  }
  return differences;
}

}  // namespace lumora::cli
