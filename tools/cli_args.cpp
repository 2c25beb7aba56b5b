// Command line of the lumora tool.
#include "tools/cli_args.h"

#include <cctype>

#include "lumora_version.h"
#include "property/catalogue.h"

namespace lumora::cli {

namespace {

struct CommandInfo {
  Command command;
  const char* name;
  int operands;  // number of arguments after the command (-1: any, the command's own)
  bool json;     // accepts --json
  const char* usage;
  const char* text;
};

constexpr CommandInfo kCommands[] = {
    {Command::kList, "list", 0, true, "lumora list [--json]",
     "Lists the video capture devices: index, name, serial, VID/PID, chipset\n"
     "and device path of each. The index, the serial or the device path names\n"
     "a camera in the other commands.\n"},
    {Command::kReport, "report", 1, true, "lumora report CAM [--json]",
     "Prints support, range and current value of every catalogue property of\n"
     "the camera, with its chipset; the default and the mode (auto or manual)\n"
     "where the camera reports them; the standard exposure control also in\n"
     "seconds (its value v means 2^v s). Then the camera's named\n"
     "extension-unit controls (see xu).\n"},
    {Command::kGet, "get", 2, true, "lumora get CAM PROP [--json]",
     "Prints the current value of one property.\n"},
    {Command::kSet, "set", 3, false, "lumora set CAM PROP VALUE",
     "Sets one property to a whole number within its range and prints the\n"
     "value read back; auto or manual switches the control's mode instead.\n"
     "A named extension-unit control takes a menu label, on or off, or a\n"
     "whole number within its range.\n"},
    {Command::kReset, "reset", -1, false, "lumora reset CAM [PROP...]",
     "Puts the camera's properties (all it can set, or the ones named) back\n"
     "to automatic where the control offers it, else to the camera's default\n"
     "value. A named property the camera cannot reset is an error, and then\n"
     "nothing is written.\n"},
    {Command::kSave, "save", 2, false, "lumora save CAM FILE",
     "Writes the camera's identity and every property it can both read and\n"
     "set to a text profile (\"Property = value\" lines, '#' comments), and\n"
     "its named extension-unit controls as \"#xu: Name = value\" lines.\n"},
    {Command::kLoad, "load", 2, true, "lumora load CAM FILE [--json]",
     "Restores a profile: checks the whole file first and changes nothing if\n"
     "any line is wrong; then switches the automatic modes before it writes\n"
     "the manual values, reads every property back and prints one line each:\n"
     "applied, changed (the camera clamped or rounded it: the value it holds),\n"
     "or refused (what the camera cannot set, values outside its range: why).\n"
     "A profile of another camera is loaded with a warning.\n"},
    {Command::kWatch, "watch", -1, false, "lumora watch PROFILE... [--guard] [--interval MS]",
     "Keeps each profile applied to its camera until stopped: at start and\n"
     "whenever the camera appears (plugged in, moved, after sleep) the profile\n"
     "is loaded as by \"load\", with one line per camera. A profile belongs\n"
     "to the camera with its Serial and VidPid, else its DevicePath, else its\n"
     "Camera name; a profile that matches several cameras applies to none.\n"
     "  --guard        put back values another program changes (at most once\n"
     "                 per interval per property)\n"
     "  --interval MS  how often to look for cameras (default 2000)\n"
     "lumora watch --stop             ends the running watch of this user\n"
     "lumora watch --install PROFILE... [--guard] [--interval MS]\n"
     "                                starts the watch at logon (current user)\n"
     "lumora watch --uninstall        removes that start-up entry\n"},
    {Command::kCheck, "check", 1, true, "lumora check CAM [--json]",
     "Tests every property the camera claims against the camera's own answers:\n"
     "support, range, current value, minimum, maximum and default written and\n"
     "read back, a value outside the range (refused or clamped), the automatic\n"
     "and manual modes, and the settings block; then invalid property numbers,\n"
     "a second control object on the same camera and the named extension-unit\n"
     "controls. One line per property (OK, not supported, skipped, WARN or\n"
     "FAIL with the reasons, each with the id of its check in brackets) and a\n"
     "summary; every changed value is restored at the end. Triggers are never\n"
     "touched. WARN: what real drivers commonly get wrong (values or defaults\n"
     "off the step, a default that does not read back, a range wider than the\n"
     "values kept); FAIL: a lie. Exit status 0 when nothing failed (warnings\n"
     "pass), 1 otherwise.\n"},
    {Command::kUndo, "undo", -1, false, "lumora undo CAM [--list]",
     "Puts back the values the last change of the camera overwrote: set, load,\n"
     "reset and undo each record them first (the last 20 changes per camera,\n"
     "kept in the user's local application data). An undo is a change itself,\n"
     "so a second undo takes it back. Values outside the camera's range today\n"
     "are refused, one by one, as by load.\n"
     "  --list  shows the history, newest first: when, which command, the\n"
     "          values it overwrote\n"},
    {Command::kXu, "xu", -1, true, "lumora xu CAM [get GUID SELECTOR | set GUID SELECTOR HEX] [--json]",
     "Lists the camera's extension units (vendor controls named by a GUID)\n"
     "and their controls: selector, length, access, minimum, maximum,\n"
     "resolution, default and current value as hex, and the named controls\n"
     "that definitions give inside them with their values. get prints one\n"
     "control's bytes; set writes them: HEX is the whole control, two hex\n"
     "digits per byte (0001000a00), and is refused before anything is written\n"
     "when its length is not the control's or the control is read only.\n"
     "GUID       XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX, braces optional.\n"
     "SELECTOR   the control's number, 1 to 31.\n"},
};

constexpr const char* kCamHelp =
    "CAM   the index shown by \"lumora list\", a serial or a device path;\n"
    "      index:N, serial:S or path:P choose the kind explicitly.\n";
constexpr const char* kPropHelp =
    "PROP  a property name (Brightness, WhiteBalRed, ... any case, VCP_\n"
    "      optional) or its number 0..31.\n";
constexpr const char* kNamedHelp =
    "      Also the name of an extension-unit control the camera has\n"
    "      (\"LED Mode\"; see \"lumora xu CAM\").\n";

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

const CommandInfo* FindCommand(Command command) {
  for (const CommandInfo& c : kCommands) {
    if (c.command == command) return &c;
  }
  return nullptr;
}

bool IsHelpOption(const std::string& arg) { return arg == "--help" || arg == "-h"; }

constexpr const char* kJsonHelp =
    "--json  one JSON document on stdout instead of text (docs/json.md);\n"
    "        a failure is {\"error\": MESSAGE} with the same exit status.\n";

bool IsDecimal(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
  std::string p(prefix);
  if (text.size() < p.size() || !EqualNoCase(text.substr(0, p.size()), p)) return false;
  *rest = text.substr(p.size());
  return true;
}

// "2, 3": the indexes of the cameras at these positions.
std::string IndexList(const std::vector<size_t>& hits) {
  std::string list;
  for (size_t i = 0; i < hits.size(); ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(hits[i] + 1);
  }
  return list;
}

}  // namespace

std::string VersionText() { return std::string("lumora ") + LUMORA_VERSION_TEXT + "\n"; }

std::string HelpText(Command command) {
  const CommandInfo* info = FindCommand(command);
  if (info == nullptr) {
    std::string text =
        "usage: lumora COMMAND [ARGS...]\n"
        "Controls the properties of video capture devices through Lumora.\n\n"
        "Commands:\n";
    for (const CommandInfo& c : kCommands) text += std::string("  ") + c.usage + "\n";
    text += "\n";
    text += kCamHelp;
    text += kPropHelp;
    text += kJsonHelp;
    text +=
        "\n\"lumora COMMAND --help\" describes a command; \"lumora --version\" prints\n"
        "the version. Exit status: 0 success, 1 failure, 2 wrong command line.\n";
    return text;
  }
  std::string text = std::string("usage: ") + info->usage + "\n" + info->text;
  if (info->operands >= 1 || command == Command::kReset || command == Command::kUndo ||
      command == Command::kXu) {
    text += std::string("\n") + kCamHelp;
  }
  if (command == Command::kGet || command == Command::kSet || command == Command::kReset) {
    text += kPropHelp;
  }
  if (command == Command::kGet || command == Command::kSet) text += kNamedHelp;
  if (command == Command::kSet) text += "VALUE a decimal whole number, auto or manual.\n";
  if (command == Command::kSave || command == Command::kLoad) {
    text += "FILE  path of the profile.\n";
  }
  if (info->json) text += kJsonHelp;
  return text;
}

bool ParseArguments(const std::vector<std::string>& args, Invocation* invocation,
                    std::string* error) {
  Invocation parsed;
  if (args.empty()) {
    *error = "no command given (try \"lumora --help\")";
    return false;
  }
  if (args[0] == "--version") {
    if (args.size() > 1) {
      *error = "--version takes no arguments";
      return false;
    }
    parsed.version = true;
    *invocation = parsed;
    return true;
  }
  if (IsHelpOption(args[0]) || args[0] == "help") {
    if (args.size() > 2) {
      *error = "too many arguments for help";
      return false;
    }
    parsed.help = true;
    if (args.size() == 2) {
      const CommandInfo* info = FindCommand(args[1]);
      if (info == nullptr) {
        *error = "unknown command " + Quoted(args[1]) + " (try \"lumora --help\")";
        return false;
      }
      parsed.command = info->command;
    }
    *invocation = parsed;
    return true;
  }
  const CommandInfo* info = FindCommand(args[0]);
  if (info == nullptr) {
    *error = "unknown command " + Quoted(args[0]) + " (try \"lumora --help\")";
    return false;
  }
  parsed.command = info->command;
  std::vector<std::string> operands;
  for (size_t i = 1; i < args.size(); ++i) {
    if (IsHelpOption(args[i])) {
      parsed.help = true;
      *invocation = parsed;
      return true;
    }
    if (args[i] == "--json") {
      if (!info->json) {
        *error = std::string("'") + info->name + "' has no --json; usage: " + info->usage;
        return false;
      }
      parsed.json = true;
      continue;
    }
    operands.push_back(args[i]);
  }
  if (info->operands < 0) {
    parsed.rest = operands;
    *invocation = parsed;
    return true;
  }
  if (static_cast<int>(operands.size()) != info->operands) {
    *error = std::string(operands.size() < static_cast<size_t>(info->operands) ? "missing"
                                                                               : "too many") +
             " arguments; usage: " + info->usage;
    return false;
  }
  if (info->operands >= 1) parsed.cam = operands[0];
  switch (info->command) {
    case Command::kGet: parsed.property = operands[1]; break;
    case Command::kSet:
      parsed.property = operands[1];
      parsed.value = operands[2];
      break;
    case Command::kSave:
    case Command::kLoad: parsed.file = operands[1]; break;
    default: break;
  }
  *invocation = parsed;
  return true;
}

bool ParseXuArguments(const std::vector<std::string>& args, XuArguments* parsed,
                      std::string* error) {
  XuArguments a;
  const std::string usage = "; usage: lumora xu CAM [get GUID SELECTOR | set GUID SELECTOR HEX]";
  if (args.empty()) {
    *error = "missing arguments" + usage;
    return false;
  }
  a.cam = args[0];
  if (args.size() > 1) {
    if (args[1] == "get") {
      a.action = XuArguments::kGet;
    } else if (args[1] == "set") {
      a.action = XuArguments::kSet;
    } else {
      *error = "unknown xu action " + Quoted(args[1]) + usage;
      return false;
    }
  }
  const size_t wanted = a.action == XuArguments::kList ? 1 : a.action == XuArguments::kGet ? 4 : 5;
  if (args.size() != wanted) {
    *error = std::string(args.size() < wanted ? "missing" : "too many") + " arguments" + usage;
    return false;
  }
  if (wanted >= 4) {
    a.guid = args[2];
    a.selector = args[3];
  }
  if (wanted == 5) a.hex = args[4];
  *parsed = a;
  return true;
}

bool WantsJson(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--json") return true;
  }
  return false;
}

int32_t ParsePropertyArgument(const std::string& text) {
  if (IsDecimal(text)) {
    int32_t number = 0;
    if (ParseInt32(text, &number) && number >= VCP_FirstElement && number <= VCP_LastElement) {
      return number;
    }
    return -1;
  }
  return PropertyFromName(text.c_str());
}

bool MatchCamera(const std::string& cam, const std::vector<CameraIdentity>& cameras,
                 size_t* position, std::string* error) {
  enum Kind { kAny, kIndex, kSerial, kPath };
  Kind kind = kAny;
  std::string key = cam;
  std::string rest;
  if (StartsWith(cam, "index:", &rest)) {
    kind = kIndex;
    key = rest;
  } else if (StartsWith(cam, "serial:", &rest)) {
    kind = kSerial;
    key = rest;
  } else if (StartsWith(cam, "path:", &rest)) {
    kind = kPath;
    key = rest;
  }
  if (key.empty()) {
    *error = "empty camera name";
    return false;
  }
  if (cameras.empty()) {
    *error = "no camera found";
    return false;
  }

  std::vector<size_t> hits;
  if (kind == kAny || kind == kPath) {
    for (size_t i = 0; i < cameras.size(); ++i) {
      if (EqualNoCase(cameras[i].devicePath, key)) hits.push_back(i);
    }
    if (hits.size() > 1) {
      *error = "camera " + Quoted(cam) + " is ambiguous: cameras " + IndexList(hits) +
               " have this device path";
      return false;
    }
    if (hits.size() == 1) {
      *position = hits[0];
      return true;
    }
  }
  if (kind == kAny || kind == kIndex) {
    int32_t index = 0;
    if (IsDecimal(key) && ParseInt32(key, &index) && index >= 1 &&
        static_cast<size_t>(index) <= cameras.size()) {
      *position = static_cast<size_t>(index) - 1;
      return true;
    }
    if (kind == kIndex) {
      *error = "no camera with index " + Printable(key) + " (there are " +
               std::to_string(cameras.size()) + ", numbered from 1)";
      return false;
    }
  }
  if (kind == kAny || kind == kSerial) {
    for (size_t i = 0; i < cameras.size(); ++i) {
      if (!cameras[i].serial.empty() && EqualNoCase(cameras[i].serial, key)) hits.push_back(i);
    }
    if (hits.size() > 1) {
      *error = "camera " + Quoted(cam) + " is ambiguous: cameras " + IndexList(hits) +
               " have this serial; name one by index or device path";
      return false;
    }
    if (hits.size() == 1) {
      *position = hits[0];
      return true;
    }
  }
  *error = "no camera matches " + Quoted(cam) + " (see \"lumora list\")";
  return false;
}

}  // namespace lumora::cli
