// The undo history on Windows.
#include "tools/lumora/undo_win.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "com/text.h"
#include "tools/undo.h"

namespace lumora::tool {

namespace {

// "2026-12-08 12:34:56", local time.
std::string Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

// LOCALAPPDATA\Lumora\Undo\FILE of the camera; the folders are created.
bool HistoryPath(const cli::CameraIdentity& camera, std::string* path, std::string* error) {
  wchar_t base[MAX_PATH] = {};
  HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, base);
  if (FAILED(hr)) {
    *error = "cannot find the local application data folder (" + HrText(hr) + ")";
    return false;
  }
  std::wstring folder = std::wstring(base) + L"\\Lumora";
  for (int level = 0; level < 2; ++level) {
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      *error = "cannot create " + com::NarrowToUtf8(folder);
      return false;
    }
    if (level == 0) folder += L"\\Undo";
  }
  *path = com::NarrowToUtf8(folder) + "\\" + cli::UndoFileName(camera);
  return true;
}

// The camera's history; empty when there is none. A damaged file is
// reported and set aside (renamed to FILE.damaged) so that a new history
// can start.
cli::UndoHistory LoadHistory(const std::string& path, const cli::CameraIdentity& camera,
                             bool quiet = false) {
  cli::UndoHistory history;
  history.camera = cli::UndoCameraKey(camera);
  const std::wstring wide = com::WidenUtf8(path);
  if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return history;
  std::string text, error;
  if (ReadFile(path, &text, &error) && cli::ParseUndoHistory(text, &history, &error)) {
    return history;
  }
  const std::string aside = path + ".damaged";
  const bool moved =
      MoveFileExW(wide.c_str(), com::WidenUtf8(aside).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!quiet) {
    std::fprintf(stderr, "lumora: warning: the undo history %s is damaged (%s); %s\n", path.c_str(),
                 error.c_str(),
                 moved ? ("set aside as " + aside).c_str() : "it could not be set aside");
  }
  history = cli::UndoHistory();
  history.camera = cli::UndoCameraKey(camera);
  return history;
}

void SaveHistory(const std::string& path, const cli::UndoHistory& history, bool quiet = false) {
  std::string error;
  if (!WriteFile(path, cli::FormatUndoHistory(history), &error) && !quiet) {
    std::fprintf(stderr, "lumora: warning: the undo history is not kept (%s)\n", error.c_str());
  }
}

}  // namespace

void RecordChange(Camera& camera, IDVidCapCtrl* ctrl, const char* command,
                  const std::vector<int32_t>& properties, bool quiet) {
  std::string path, error;
  if (!HistoryPath(camera.id, &path, &error)) {
    if (!quiet) {
      std::fprintf(stderr, "lumora: warning: this change cannot be undone (%s)\n", error.c_str());
    }
    return;
  }
  cli::UndoHistory history = LoadHistory(path, camera.id, quiet);
  ControlTarget target(ctrl);
  if (cli::AddChange(&history, cli::RecordBefore(target, properties, command, Now()))) {
    SaveHistory(path, history, quiet);
  }
}

int RunUndo(const std::vector<std::string>& args) {
  std::string cam, error;
  bool list = false;
  if (!cli::ParseUndoArguments(args, &cam, &list, &error)) {
    Fail("%s", error.c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(cam, &camera, &ctrl)) return rc;
  std::string path;
  if (!HistoryPath(camera.id, &path, &error)) {
    Fail("%s", error.c_str());
    return kExitFailed;
  }
  cli::UndoHistory history = LoadHistory(path, camera.id);
  const std::string label = camera.id.name + " (serial " + camera.id.serial + ")";
  if (list) {
    std::printf("Changes of %s, newest first (%s):\n", label.c_str(), path.c_str());
    const std::string text = cli::UndoListText(history);
    std::fputs(text.empty() ? "none recorded\n" : text.c_str(), stdout);
    return kExitOk;
  }
  if (history.changes.empty()) {
    Fail("no change of %s to undo; nothing changed", label.c_str());
    return kExitFailed;
  }
  ControlTarget target(ctrl.Get());
  cli::UndoOutcome outcome = cli::UndoLast(target, &history, Now());
  for (const cli::PropertyOutcome& p : outcome.load.properties) {
    std::printf("%s\n", cli::OutcomeLine(p).c_str());
  }
  if (outcome.undone) SaveHistory(path, history);
  std::printf("Undid the %s of %s: %s\n", outcome.change.command.c_str(),
              outcome.change.when.c_str(), cli::OutcomeSummary(outcome.load).c_str());
  if (outcome.load.vanished) {
    Fail("the camera vanished during the undo (%s); the history is kept",
         HrText(outcome.load.vanishError).c_str());
  } else if (outcome.load.WriteFailures() > 0) {
    Fail("%zu properties could not be set", outcome.load.WriteFailures());
  }
  return outcome.load.Succeeded() ? kExitOk : kExitFailed;
}

}  // namespace lumora::tool
