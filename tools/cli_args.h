// Command line of the lumora tool: the commands and their arguments, the
// help texts, and the choice of a camera from a CAM argument (portable; no
// camera access).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/profile.h"

namespace lumora::cli {

enum class Command {
  kNone,
  kList,
  kReport,
  kGet,
  kSet,
  kSave,
  kLoad,
  kWatch,
  kCheck,
  kReset,
  kUndo,
  kXu
};

struct Invocation {
  Command command = Command::kNone;
  bool help = false;     // print the help of `command` (kNone: the general help)
  bool version = false;  // --version: print VersionText()
  std::string cam;
  std::string property;
  std::string value;
  std::string file;
  std::vector<std::string> rest;  // kWatch, kReset, kUndo, kXu: their arguments, parsed by the command
  bool json = false;              // --json: one JSON document on stdout
};

// Parses the arguments after the program name. "--help", "-h" or "help"
// alone ask for the general help; "help COMMAND" or "COMMAND --help" for a
// command's; "--version" alone for the version. On a wrong command line answers false with one line
// in *error.
bool ParseArguments(const std::vector<std::string>& args, Invocation* invocation,
                    std::string* error);

// True when the arguments ask for JSON output ("--json" among them), so that
// even a wrong command line can answer with a JSON error document.
bool WantsJson(const std::vector<std::string>& args);

// The line "lumora VERSION" (the project version) with its line end.
std::string VersionText();

// Help text of a command (kNone: the general help listing every command).
std::string HelpText(Command command);

// Catalogue value of a PROP argument: a catalogue name (any case, VCP_
// optional) or a decimal number 0..31; -1 otherwise.
int32_t ParsePropertyArgument(const std::string& text);

// The arguments of "xu" after the word "xu": CAM alone lists, "CAM get GUID
// SELECTOR" reads, "CAM set GUID SELECTOR HEX" writes (the texts are checked
// by the command). One line in *error for another shape.
struct XuArguments {
  enum Action { kList, kGet, kSet } action = kList;
  std::string cam, guid, selector, hex;
};
bool ParseXuArguments(const std::vector<std::string>& args, XuArguments* parsed,
                      std::string* error);

// Chooses the camera that a CAM argument names among the listed cameras,
// whose indexes are their positions plus 1 (as "lumora list" shows them):
//   index:N, serial:S, path:P   that kind only;
//   otherwise                   a device path (exact, any case) first, then
//                               a decimal index within the list, then a
//                               serial (any case).
// A serial that several cameras share is ambiguous. Answers the position in
// *position, or false with one line in *error.
bool MatchCamera(const std::string& cam, const std::vector<CameraIdentity>& cameras,
                 size_t* position, std::string* error);

}  // namespace lumora::cli
