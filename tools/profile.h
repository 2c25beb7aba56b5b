// Camera profiles of the lumora command-line tool: a small text file with the
// camera's identity and one "Property = value" line per setting, as written
// by "lumora save" and read by "lumora load" (portable; no camera access).
//
// File format (lines end in LF, CR LF or CR; a UTF-8 byte-order mark at the
// start and a last line without a line break are accepted, so a file edited
// on any system loads the same):
//
//   # comment lines start with '#' (after optional blanks)
//   lumora-profile 1                       first non-comment line, required
//   Camera = Philips ToUcam Pro Camera     identity lines (each optional,
//   VidPid = VID_0471&PID_0311             at most once; the value is the
//   Serial = 2a4c6e8                       rest of the line, trimmed)
//   DevicePath = @device:pnp:\\?\usb#...
//   Chipset = SAA8116
//   Brightness = 128                       catalogue name, with or without
//   WhiteBalanceMode = 0                   VCP_, any case; a decimal value,
//   Exposure = auto                        or "auto" / "manual" for the
//   ...                                    control's mode; a '#' after the
//   end                                    value starts a comment; "end"
//                                          closes the file
//
// Named extension-unit controls (the fields of extension-unit definitions
// the camera answers) are lines "#xu: LED Mode = off" before "end": the name
// as the library spells it (any case), '=', the value as "lumora get" shows
// it (a number, on / off, a menu label, hex digits). A reader older than
// these lines takes them for comments and loads the rest as before.
//
// A file is accepted only as a whole: an unknown key or property, a value
// that is not a 32-bit decimal number, a property given twice (aliases
// count as the same property), a missing first line or a missing "end"
// (a truncated file) reject it with the line number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"

namespace lumora::cli {

// What tells one camera from another, as the library lists it.
struct CameraIdentity {
  std::string name;        // FName
  std::string vidPid;      // DeviceVidPid, e.g. "VID_0471&PID_0311"
  std::string serial;      // DevSerial
  std::string devicePath;  // DeviceName (moniker display name)
  std::string chipset;     // chipset name, e.g. "SAA8116"
};

// What an entry asks of its property: a manual value, or a switch of the
// control's mode ("auto", or "manual" at the value it has).
enum class EntryMode { kValue, kAuto, kManual };

struct ProfileEntry {
  int32_t property = 0;  // catalogue value 0..31
  int32_t value = 0;     // kValue only
  int line = 0;          // line number in the file (0: not from a file)
  EntryMode mode = EntryMode::kValue;
};

// A named extension-unit control's line.
struct NamedEntry {
  std::string name;
  std::string value;
  int line = 0;  // 0: not from a file
};

struct Profile {
  CameraIdentity identity;
  // Which identity lines the file had (an absent one is not compared).
  bool hasName = false, hasVidPid = false, hasSerial = false, hasDevicePath = false,
       hasChipset = false;
  std::vector<ProfileEntry> entries;  // in file order
  std::vector<NamedEntry> named;      // in file order
};

// Parses a profile. On failure answers false, sets *error to one line
// ("line 7: unknown property 'Brightnes'") and leaves *profile unchanged.
bool ParseProfile(const std::string& text, Profile* profile, std::string* error);

// Writes a profile with an explanatory comment block, the identity and the
// entries in the given order, closed by "end". Line breaks inside identity
// texts become blanks so the file stays parseable.
std::string FormatProfile(const Profile& profile);

// True for the properties that switch an automatic mode (AutoAll,
// WhiteBalanceMode, AutoExposure).
bool IsAutoMode(int32_t property);

// The order in which "load" writes: the automatic-mode properties first
// (AutoAll, then WhiteBalanceMode, then AutoExposure), then the mode
// switches ("auto" / "manual" entries) in file order, then every value in
// file order, so that a manual value is not overridden by a mode switched
// on after it.
std::vector<ProfileEntry> LoadOrder(const std::vector<ProfileEntry>& entries);

// One line per identity field that the profile names and that differs from
// the camera ("serial: profile 2a4c6e8, camera 3b5d7f9"); empty when they
// agree. Texts are compared without regard to case.
std::vector<std::string> IdentityDifferences(const Profile& profile, const CameraIdentity& camera);

// Reads an entry's value text: a decimal 32-bit number (kValue), "auto" or
// "manual" (any case); false for anything else.
bool ParseEntryValue(const std::string& text, ProfileEntry* entry);

// The text of an entry's value: the number, "auto" or "manual".
std::string EntryValueText(const ProfileEntry& entry);

// A decimal 32-bit integer with optional sign and nothing else; false for
// empty text, other characters or overflow (base/text.h).
using lumora::ParseInt32;

// Text without leading and trailing blanks (space, tab, CR).
std::string Trim(const std::string& text);

// User text made fit for a one-line message: control characters (and the
// Unicode line breaks NEL, LS and PS) become escapes such as \n, \t or \x1B;
// everything else is kept.
std::string Printable(const std::string& text);

// Printable(text) in single quotes, for echoing user text in a message.
std::string Quoted(const std::string& text);

// ASCII case-insensitive equality (base/text.h).
using lumora::EqualNoCase;

}  // namespace lumora::cli
