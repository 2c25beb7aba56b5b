// "lumora watch": keeps profiles applied to their cameras.
#include "tools/watch.h"

#include <functional>

#include "property/catalogue.h"

namespace lumora::cli {

namespace {

const char* Name(int32_t property) {
  const char* name = PropertyName(property);
  return name != nullptr ? name : "?";
}

// One identity line of a profile as a filter over cameras; null when the
// profile does not name it.
using Test = std::function<bool(const CameraIdentity&)>;

std::vector<Test> IdentityTests(const Profile& p) {
  std::vector<Test> tests;
  const CameraIdentity& id = p.identity;
  if (p.hasSerial && p.hasVidPid && !id.serial.empty() && !id.vidPid.empty()) {
    tests.push_back([&id](const CameraIdentity& c) {
      return EqualNoCase(c.serial, id.serial) && EqualNoCase(c.vidPid, id.vidPid);
    });
  }
  if (p.hasDevicePath && !id.devicePath.empty()) {
    tests.push_back(
        [&id](const CameraIdentity& c) { return EqualNoCase(c.devicePath, id.devicePath); });
  }
  if (p.hasName && !id.name.empty()) {
    tests.push_back([&id](const CameraIdentity& c) { return EqualNoCase(c.name, id.name); });
  }
  return tests;
}

// "a, b": the outcomes of one kind, for the one line a load gets.
std::string Listed(const LoadOutcome& o, LoadResult kind) {
  std::string text;
  auto add = [&](const std::string& line) {
    if (!text.empty()) text += ", ";
    text += line.substr(line.find_first_not_of(' ', 8));  // without the verdict word
  };
  for (const PropertyOutcome& p : o.properties) {
    if (p.result == kind) add(OutcomeLine(p));
  }
  for (const NamedOutcome& p : o.named) {
    if (p.result == kind) add(OutcomeLine(p));
  }
  return text;
}

}  // namespace

std::string CameraLabel(const CameraIdentity& camera) {
  std::string label = camera.name.empty() ? std::string("camera") : camera.name;
  if (!camera.serial.empty()) label += " (serial " + camera.serial + ")";
  return label;
}

ProfileMatch MatchProfile(const Profile& profile, const std::vector<CameraIdentity>& cameras) {
  ProfileMatch match;
  std::vector<Test> tests = IdentityTests(profile);
  if (tests.empty()) {
    match.kind = ProfileMatch::kNoIdentity;
    return match;
  }
  std::vector<size_t> hits;
  for (size_t i = 0; i < cameras.size(); ++i) {
    if (tests[0](cameras[i])) hits.push_back(i);
  }
  for (size_t t = 1; t < tests.size() && hits.size() > 1; ++t) {
    std::vector<size_t> narrower;
    for (size_t i : hits) {
      if (tests[t](cameras[i])) narrower.push_back(i);
    }
    if (!narrower.empty()) hits = narrower;
  }
  if (hits.empty()) {
    match.kind = ProfileMatch::kNone;
  } else if (hits.size() == 1) {
    match.kind = ProfileMatch::kOne;
    match.position = hits[0];
  } else {
    match.kind = ProfileMatch::kAmbiguous;
    match.positions = hits;
  }
  return match;
}

bool ParseWatchArguments(const std::vector<std::string>& args, WatchOptions* options,
                         std::string* error) {
  WatchOptions parsed;
  bool sawAction = false, sawInterval = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    WatchOptions::Action action = WatchOptions::kRun;
    if (a == "--stop") {
      action = WatchOptions::kStop;
    } else if (a == "--install") {
      action = WatchOptions::kInstall;
    } else if (a == "--uninstall") {
      action = WatchOptions::kUninstall;
    } else if (a == "--guard") {
      parsed.guard = true;
      continue;
    } else if (a == "--interval") {
      int32_t ms = 0;
      if (i + 1 >= args.size() || !ParseInt32(args[i + 1], &ms) || ms < 10 || ms > 3600000) {
        *error = "--interval needs a number of milliseconds from 10 to 3600000";
        return false;
      }
      parsed.intervalMs = ms;
      sawInterval = true;
      ++i;
      continue;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option '" + a + "' for watch";
      return false;
    } else {
      parsed.profiles.push_back(a);
      continue;
    }
    if (sawAction) {
      *error = "--stop, --install and --uninstall exclude each other";
      return false;
    }
    sawAction = true;
    parsed.action = action;
  }
  bool alone = parsed.action == WatchOptions::kStop || parsed.action == WatchOptions::kUninstall;
  if (alone && (!parsed.profiles.empty() || parsed.guard || sawInterval)) {
    *error = std::string(parsed.action == WatchOptions::kStop ? "--stop" : "--uninstall") +
             " takes no profile or option";
    return false;
  }
  if (!alone && parsed.profiles.empty()) {
    *error = "missing arguments; usage: lumora watch PROFILE... [--guard] [--interval MS]";
    return false;
  }
  *options = parsed;
  return true;
}

// --- the watcher -------------------------------------------------------------

struct Watcher::Guarded {
  ProfileEntry entry;
  bool isMode = false;
  int32_t expected = 0;  // the value or mode the camera held after the load
  bool isNamed = false;  // a named extension-unit control: `name`, `expectedText`
  std::string name;
  std::string expectedText;
  bool restoredLastPass = false;
  bool givenUp = false;
};

struct Watcher::State {
  WatchedProfile watched;
  bool ambiguousSaid = false;
  bool waitingSaid = false;
  // The camera the profile was last loaded onto (empty path: none).
  CameraIdentity camera;
  std::string appliedPath;
  std::unique_ptr<ProfileTarget> target;  // null when it could not be opened
  std::vector<Guarded> guarded;
};

Watcher::Watcher(std::vector<WatchedProfile> profiles, bool guard, uint32_t intervalMs,
                 WatchHost& host)
    : guard_(guard), intervalMs_(intervalMs), host_(host) {
  for (WatchedProfile& p : profiles) {
    auto s = std::make_unique<State>();
    s->watched = std::move(p);
    states_.push_back(std::move(s));
  }
}

Watcher::~Watcher() = default;

void Watcher::Resumed(uint32_t nowMs) {
  if (!resumePending_) {
    host_.Say("the system resumed; the profiles are applied again in " +
              std::to_string(kResumeSettleMs) + " ms");
  }
  resumePending_ = true;
  resumeDueMs_ = nowMs + kResumeSettleMs;
}

uint32_t Watcher::MsUntilResumeDue(uint32_t nowMs) const {
  if (!resumePending_) return UINT32_MAX;
  const int32_t left = static_cast<int32_t>(resumeDueMs_ - nowMs);
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

void Watcher::Scan(uint32_t nowMs) {
  const bool resume = resumePending_ && MsUntilResumeDue(nowMs) == 0;
  std::vector<CameraIdentity> cameras;
  if (!host_.List(&cameras)) return;
  if (resume) resumePending_ = false;
  // While cameras settle after a resume their values are expected to move.
  bool guardNow = guard_ && !resumePending_ && !resume &&
                  (!guardedOnce_ || nowMs - lastGuardMs_ >= intervalMs_);
  const char* why = resume ? " after resume" : "";
  for (auto& state : states_) {
    State& s = *state;
    ProfileMatch m = MatchProfile(s.watched.profile, cameras);
    if (m.kind == ProfileMatch::kAmbiguous) {
      if (!s.ambiguousSaid) {
        std::string list;
        for (size_t i : m.positions) list += (list.empty() ? "" : ", ") + CameraLabel(cameras[i]);
        host_.Say(s.watched.file + " matches " + std::to_string(m.positions.size()) + " cameras (" +
                  list + "); it is applied to none of them");
        s.ambiguousSaid = true;
      }
      s.appliedPath.clear();
      s.target.reset();
      s.guarded.clear();
      continue;
    }
    s.ambiguousSaid = false;
    if (m.kind != ProfileMatch::kOne) {
      if (!s.appliedPath.empty()) {
        Departed(s, "disconnected");
      } else if (!s.waitingSaid) {
        host_.Say(s.watched.file + ": waiting for its camera");
        s.waitingSaid = true;
      }
      continue;
    }
    const CameraIdentity& camera = cameras[m.position];
    if (!s.appliedPath.empty() && EqualNoCase(camera.devicePath, s.appliedPath)) {
      if (!s.target) continue;  // could not be opened: wait for it to come back
      // A camera unplugged and plugged again between two looks keeps its
      // path, but the control opened before answers as a removed device.
      int32_t value = 0;
      std::string text;
      const std::vector<ProfileEntry>& entries = s.watched.profile.entries;
      const std::vector<NamedEntry>& named = s.watched.profile.named;
      HResult probe = hr::Ok;
      if (!entries.empty()) {
        probe = s.target->Get(entries[0].property, &value);
      } else if (!named.empty() && s.target->Xu() != nullptr) {
        probe = s.target->Xu()->GetNamed(named[0].name, &text);
        if (!IsXuDeviceGone(probe)) probe = hr::Ok;
      }
      if (IsDeviceGone(probe)) {
        Departed(s, "was unplugged");
      } else if (!resume) {
        if (guardNow) GuardValues(s);
        continue;
      }
    } else if (!s.appliedPath.empty()) {
      Departed(s, "disconnected");
    }
    Apply(s, camera, m.position, why);
  }
  if (guardNow) {
    guardedOnce_ = true;
    lastGuardMs_ = nowMs;
  }
}

void Watcher::Apply(State& s, const CameraIdentity& camera, size_t position, const char* why) {
  s.waitingSaid = false;
  s.camera = camera;
  s.appliedPath = camera.devicePath;
  s.guarded.clear();
  std::string error;
  s.target = host_.Open(position, &error);
  if (!s.target) {
    host_.Say(CameraLabel(camera) + ": cannot be opened (" + error + "); " + s.watched.file +
              " is not applied");
    return;
  }
  LoadOutcome o = LoadProfile(*s.target, s.watched.profile);
  if (o.vanished) {
    host_.Say(CameraLabel(camera) + ": vanished while " + s.watched.file +
              " was being applied; it is applied again when the camera is back");
    s.appliedPath.clear();
    s.target.reset();
    return;
  }
  std::string line = CameraLabel(camera) + ": " + s.watched.file + why + ": " + OutcomeSummary(o);
  std::string changed = Listed(o, LoadResult::kChanged);
  std::string refused = Listed(o, LoadResult::kRefused);
  if (!changed.empty()) line += "; changed: " + changed;
  if (!refused.empty()) line += "; refused: " + refused;
  host_.Say(line);
  for (const PropertyOutcome& p : o.properties) {
    if (p.result != LoadResult::kApplied && p.result != LoadResult::kChanged) continue;
    Guarded g;
    g.entry = p.entry;
    g.isMode = p.entry.mode != EntryMode::kValue;
    if (g.isMode ? p.actualMode == 0 : !p.verified) continue;  // nothing to compare with
    g.expected = g.isMode ? p.actualMode : p.actual;
    s.guarded.push_back(g);
  }
  for (const NamedOutcome& p : o.named) {
    if ((p.result != LoadResult::kApplied && p.result != LoadResult::kChanged) || !p.verified) {
      continue;
    }
    Guarded g;
    g.isNamed = true;
    g.name = p.entry.name;
    g.expectedText = p.actual;
    s.guarded.push_back(g);
  }
}

// A named control's guard pass: false when the camera is gone.
bool Watcher::GuardNamed(State& s, Guarded& g) {
  xutool::XuSource* xu = s.target->Xu();
  const std::string label = CameraLabel(s.camera);
  std::string now;
  HResult h = xu != nullptr ? xu->GetNamed(g.name, &now) : hr::NotImpl;
  if (IsXuDeviceGone(h)) return false;
  if (hr::Failed(h)) return true;
  if (now == g.expectedText) {
    g.restoredLastPass = false;
    return true;
  }
  if (g.restoredLastPass) {
    host_.Say(label + ": " + g.name + " changed again to " + now +
              " right after it was put back; no longer guarded");
    g.givenUp = true;
    return true;
  }
  xutool::NamedInfo info;
  h = xu->Info(g.name, &info);
  if (hr::Succeeded(h)) h = xu->SetNamed(g.name, info, g.expectedText);
  if (IsXuDeviceGone(h)) return false;
  std::string back;
  if (hr::Succeeded(h)) h = xu->GetNamed(g.name, &back);
  if (IsXuDeviceGone(h)) return false;
  if (hr::Succeeded(h) && back == g.expectedText) {
    host_.Say(label + ": put back " + g.name + " = " + g.expectedText + " (it had become " + now +
              ")");
    g.restoredLastPass = true;
  } else {
    host_.Say(label + ": cannot put back " + g.name + " = " + g.expectedText +
              "; no longer guarded");
    g.givenUp = true;
  }
  return true;
}

void Watcher::GuardValues(State& s) {
  ProfileTarget& t = *s.target;
  const std::string label = CameraLabel(s.camera);
  for (Guarded& g : s.guarded) {
    if (g.givenUp) continue;
    if (g.isNamed) {
      if (!GuardNamed(s, g)) return Departed(s, "disconnected");
      continue;
    }
    const int32_t p = g.entry.property;
    int32_t now = 0;
    HResult h = g.isMode ? t.GetMode(p, &now) : t.Get(p, &now);
    if (IsXuDeviceGone(h)) return Departed(s, "disconnected");
    if (hr::Failed(h)) continue;
    if (now == g.expected) {
      g.restoredLastPass = false;
      continue;
    }
    auto text = [&](int32_t v) {
      return g.isMode ? std::string(v == VCM_Auto ? "auto" : "manual") : std::to_string(v);
    };
    if (g.restoredLastPass) {
      host_.Say(label + ": " + Name(p) + " changed again to " + text(now) +
                " right after it was put back; no longer guarded");
      g.givenUp = true;
      continue;
    }
    h = g.isMode ? t.SetMode(p, g.expected) : t.Set(p, g.expected);
    if (IsXuDeviceGone(h)) return Departed(s, "disconnected");
    int32_t back = 0;
    if (hr::Succeeded(h)) h = g.isMode ? t.GetMode(p, &back) : t.Get(p, &back);
    if (IsXuDeviceGone(h)) return Departed(s, "disconnected");
    if (hr::Succeeded(h) && back == g.expected) {
      host_.Say(label + ": put back " + Name(p) + " = " + text(g.expected) + " (it had become " +
                text(now) + ")");
      g.restoredLastPass = true;
    } else {
      host_.Say(label + ": cannot put back " + Name(p) + " = " + text(g.expected) +
                "; no longer guarded");
      g.givenUp = true;
    }
  }
}

void Watcher::Departed(State& s, const char* how) {
  host_.Say(CameraLabel(s.camera) + ": " + how + "; " + s.watched.file +
            " is applied again when it is back");
  s.appliedPath.clear();
  s.target.reset();
  s.guarded.clear();
}

}  // namespace lumora::cli
