// "lumora watch": keeps profiles applied to their cameras (portable part).
//
// A Watcher is given the profiles and is asked to Scan whenever the device
// list may have changed (at start, on a device notification, every interval).
// Each scan lists the cameras, finds each profile's camera and loads the
// profile onto a camera it has not yet been loaded onto (it arrived, came
// back, or the last load was cut short because it vanished). With guard on,
// a scan at least one interval after the last guard pass also reads back what
// was applied (named extension-unit controls included) and puts back what
// another program changed.
//
// When the system resumes from sleep, many cameras come back with their
// factory values without ever leaving the device list. Told of a resume
// (Resumed), the watcher lets the cameras settle for kResumeSettleMs, then
// applies every profile again to the camera it was applied to (the report
// line says "after resume"); the guard rests while the cameras settle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::cli {

// Which camera a profile belongs to. The most reliable identity the profile
// names decides: the serial together with the VID/PID, else the device path,
// else the camera's name. When that leaves several cameras, the profile's
// other identity lines (path, then name) narrow them down; several left
// after that is ambiguous.
struct ProfileMatch {
  enum Kind { kNoIdentity, kNone, kOne, kAmbiguous } kind = kNone;
  size_t position = 0;            // kOne
  std::vector<size_t> positions;  // kAmbiguous: the cameras it matches
};
ProfileMatch MatchProfile(const Profile& profile, const std::vector<CameraIdentity>& cameras);

// The command line of "lumora watch" after the word "watch".
struct WatchOptions {
  enum Action { kRun, kStop, kInstall, kUninstall } action = kRun;
  bool guard = false;
  int32_t intervalMs = 2000;
  std::vector<std::string> profiles;
};
// Accepts: PROFILE... [--guard] [--interval MS]; --install with the same;
// --stop and --uninstall alone. One line in *error otherwise.
bool ParseWatchArguments(const std::vector<std::string>& args, WatchOptions* options,
                         std::string* error);

// What a watcher needs of the system.
class WatchHost {
 public:
  virtual ~WatchHost() = default;
  // The cameras present now; false when they cannot be listed.
  virtual bool List(std::vector<CameraIdentity>* cameras) = 0;
  // The camera at a position of the last list, opened for loading; null
  // when it cannot be opened (*error says why).
  virtual std::unique_ptr<ProfileTarget> Open(size_t position, std::string* error) = 0;
  // One line of the watch's report (no line break).
  virtual void Say(const std::string& line) = 0;
};

struct WatchedProfile {
  std::string file;  // as the user named it
  Profile profile;
};

class Watcher {
 public:
  Watcher(std::vector<WatchedProfile> profiles, bool guard, uint32_t intervalMs, WatchHost& host);
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // One look at the cameras at time nowMs (a millisecond clock).
  void Scan(uint32_t nowMs);

  // The system resumed from sleep at nowMs: a Scan from kResumeSettleMs
  // later applies every profile again.
  void Resumed(uint32_t nowMs);
  // Milliseconds from nowMs until a Scan is due for a resume (0: now);
  // UINT32_MAX when no resume is pending.
  uint32_t MsUntilResumeDue(uint32_t nowMs) const;

 private:
  struct Guarded;
  struct State;
  void Apply(State& s, const CameraIdentity& camera, size_t position, const char* why = "");
  void GuardValues(State& s);
  bool GuardNamed(State& s, Guarded& g);
  void Departed(State& s, const char* how);

  std::vector<std::unique_ptr<State>> states_;
  bool guard_;
  uint32_t intervalMs_;
  bool guardedOnce_ = false;
  uint32_t lastGuardMs_ = 0;
  bool resumePending_ = false;
  uint32_t resumeDueMs_ = 0;
  WatchHost& host_;
};

// How long after a resume the profiles are applied again: cameras take a
// moment to come back to life.
constexpr uint32_t kResumeSettleMs = 1500;

// "Philips ToUcam Pro Camera (serial 2a4c6e8)": how the watch names a camera.
std::string CameraLabel(const CameraIdentity& camera);

}  // namespace lumora::cli
