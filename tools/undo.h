// The undo history of the lumora tool (portable; no file or camera access of
// its own): every command that changes a camera first records the values it
// is about to change, and "lumora undo" puts back the last change.
//
// One history per camera, at most kUndoDepth changes, oldest first. File
// format (lines end in LF; CR LF is accepted):
//
//   lumora-undo 1                          first line, required
//   Camera = VID_0471&PID_0311 2a4c6e8     the camera's key (UndoCameraKey)
//   change 2026-12-08 12:34:56 set         a change: local time, command
//   Brightness = 128                       the values before it, as in a
//   Exposure = auto                        profile (catalogue name = number,
//   change 2026-12-08 12:35:10 load        auto or manual)
//   ...
//   end                                    closes the file
//
// A file is accepted only as a whole: a missing first line or "end", an
// unknown line, a bad time or command, an unknown property, a property twice
// in one change, a change without values, more than kUndoDepth changes or
// more than kUndoFileLimit bytes reject it with the line number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::cli {

constexpr size_t kUndoDepth = 20;
constexpr size_t kUndoFileLimit = 64 * 1024;

struct UndoChange {
  std::string when;                   // "2026-12-08 12:34:56", local time
  std::string command;                // set, load, reset or undo
  std::vector<ProfileEntry> entries;  // the values before the change
};

struct UndoHistory {
  std::string camera;               // UndoCameraKey of its camera
  std::vector<UndoChange> changes;  // oldest first
};

bool ParseUndoHistory(const std::string& text, UndoHistory* history, std::string* error);
std::string FormatUndoHistory(const UndoHistory& history);

// What names the camera: "VIDPID SERIAL" where the camera has both, else
// its device path, else its name.
std::string UndoCameraKey(const CameraIdentity& camera);
// A file name for the camera's history: the key's letters, digits, '-' and
// '_' (others become '_', at most 64), '-' and eight hex digits of a hash
// of the key, ".txt". Two cameras never share a file unless the hashes meet.
std::string UndoFileName(const CameraIdentity& camera);

// "2026-12-08 12:34:56" as a change records it.
bool IsUndoTime(const std::string& text);

// The values a change of these properties overwrites, read from the
// target: "auto" for a control in automatic mode, else the value. What
// cannot be read, and the actions (not kept: putting one "back" would fire
// it or load stored settings), are left out; repeated properties count once.
UndoChange RecordBefore(ProfileTarget& target, const std::vector<int32_t>& properties,
                        const std::string& command, const std::string& when);

// Adds a change as the newest, dropping the oldest beyond kUndoDepth; a
// change without values is not added. False when it was not added.
bool AddChange(UndoHistory* history, UndoChange change);

struct UndoOutcome {
  bool undone = false;  // false: nothing to undo, or the camera vanished
  UndoChange change;    // the change put back
  LoadOutcome load;     // per value, as "load" tells it
};

// Puts back the last change: records what it is about to overwrite (a change
// "undo", so undo is itself undoable), switches a control now automatic to
// manual where a value goes to it, and loads the change's values as "load"
// does (a value outside today's range is refused, per entry). The history
// then loses the change and gains the record, unless the camera vanished
// (then it stays as it was).
UndoOutcome UndoLast(ProfileTarget& target, UndoHistory* history, const std::string& when);

// "Brightness = 128, Exposure = auto".
std::string ChangeSummary(const UndoChange& change);

// The history newest first, one line each: "1  2026-12-08 12:34:56  set
// Brightness = 128" (the number is how many undos reach it).
std::string UndoListText(const UndoHistory& history);

// The command line of "lumora undo" after the word "undo": CAM [--list].
bool ParseUndoArguments(const std::vector<std::string>& args, std::string* cam, bool* list,
                        std::string* error);

}  // namespace lumora::cli
