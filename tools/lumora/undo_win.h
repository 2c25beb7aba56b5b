// The undo history on Windows: where each camera's history lives (the
// user's local application data), recording before a change, and
// "lumora undo".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lumora/win_camera.h"

namespace lumora::tool {

// Records the values of these properties before a command changes them
// (command: "set", "load" or "reset"). A history that cannot be written
// is a warning on stderr (none when quiet: a --json answer); the change
// goes ahead.
void RecordChange(Camera& camera, IDVidCapCtrl* ctrl, const char* command,
                  const std::vector<int32_t>& properties, bool quiet = false);

// Runs "lumora undo" with the arguments after "undo"; answers the exit
// status. COM must be initialised on this thread.
int RunUndo(const std::vector<std::string>& args);

}  // namespace lumora::tool
