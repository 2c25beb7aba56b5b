// The lumora tool's extension-unit controls through IDVidCapCtrl3.
#include "tools/lumora/xu_win.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "com/text.h"
#include "tools/json_output.h"
#include "tools/lumora/json_commands.h"

namespace lumora::tool {

namespace {

using xutool::Bytes;

int Finish(const xutool::Answer& a) {
  if (a.ok()) return kExitOk;
  Fail("%s", a.message.c_str());
  return a.kind == xutool::Answer::kUsage ? kExitUsage : kExitFailed;
}

// Opens CAM with its extension-unit calls; an exit status.
int OpenWithXu(const std::string& cam, Camera* camera, ComPtr<IDVidCapCtrl>* ctrl,
               std::unique_ptr<xutool::XuSource>* xu) {
  if (int rc = OpenCamera(cam, camera, ctrl)) return rc;
  *xu = OpenXu(ctrl->Get());
  if (!*xu) {
    Fail("this Lumora.dll has no extension-unit interface (IDVidCapCtrl3)");
    return kExitFailed;
  }
  return kExitOk;
}

void Print(const std::string& text) { std::fputs(text.c_str(), stdout); }

}  // namespace

int RunXu(const cli::Invocation& inv) {
  cli::XuArguments args;
  std::string error;
  if (!cli::ParseXuArguments(inv.rest, &args, &error)) {
    Fail("%s", error.c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  std::unique_ptr<xutool::XuSource> xu;
  if (int rc = OpenWithXu(args.cam, &camera, &ctrl, &xu)) return rc;
  if (args.action == cli::XuArguments::kList) {
    xutool::Inventory inventory = xutool::Collect(*xu);
    if (inv.json) {
      Print(json::XuDocument(Listed(camera), inventory));
    } else {
      Print(xutool::InventoryText(inventory));
    }
    return inventory.problem.empty() ? kExitOk : kExitFailed;
  }
  if (args.action == cli::XuArguments::kGet) {
    Bytes value;
    xutool::Answer a = xutool::RawGet(*xu, args.guid, args.selector, &value);
    if (!a.ok()) return Finish(a);
    if (inv.json) {
      Print(json::XuGetDocument(Listed(camera), args.guid, std::stoul(args.selector), value));
    } else {
      Print(xu::HexText(value) + "\n");
    }
    return kExitOk;
  }
  std::optional<Bytes> back;
  xutool::Answer a = xutool::RawSet(*xu, args.guid, args.selector, args.hex, &back);
  if (!a.ok()) return Finish(a);
  if (inv.json) {
    Print(json::XuGetDocument(Listed(camera), args.guid, std::stoul(args.selector),
                              back.value_or(Bytes())));
  } else if (back) {
    Print(args.guid + " " + args.selector + " = " + xu::HexText(*back) + "\n");
  } else {
    Print(args.guid + " " + args.selector + " set\n");
  }
  return kExitOk;
}

namespace {

// The named control `name` of CAM; an exit status, with the unknown-property
// error when the camera has none of that name.
int OpenNamed(const cli::Invocation& inv, Camera* camera, ComPtr<IDVidCapCtrl>* ctrl,
              std::unique_ptr<xutool::XuSource>* xu, std::string* name) {
  if (int rc = OpenCamera(inv.cam, camera, ctrl)) return rc;
  *xu = OpenXu(ctrl->Get());
  if (!*xu || xutool::FindNamed(**xu, inv.property, name) != hr::Ok) {
    const std::string why = *xu ? xutool::WhyNotNamed(**xu, inv.property) : std::string();
    if (!why.empty()) {
      Fail("%s", why.c_str());
      return kExitFailed;
    }
    Fail("unknown property %s (see \"lumora --help\")", cli::Quoted(inv.property).c_str());
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace

int GetNamed(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  std::unique_ptr<xutool::XuSource> xu;
  std::string name;
  if (int rc = OpenNamed(inv, &camera, &ctrl, &xu, &name)) return rc;
  xutool::NamedListing n;
  n.name = name;
  xutool::Answer a = xutool::NamedGet(*xu, name, &n.value);
  if (!a.ok()) return Finish(a);
  n.valueOk = true;
  if (inv.json) {
    xu->Info(name, &n.info);
    Print(json::NamedGetDocument(Listed(camera), n));
  } else {
    Print(n.value + "\n");
  }
  return kExitOk;
}

int SetNamed(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  std::unique_ptr<xutool::XuSource> xu;
  std::string name;
  if (int rc = OpenNamed(inv, &camera, &ctrl, &xu, &name)) return rc;
  std::string back;
  xutool::Answer a = xutool::NamedSet(*xu, name, inv.value, &back);
  if (!a.ok()) return Finish(a);
  if (back.empty()) {
    Print(name + " set to " + inv.value + "\n");
  } else {
    Print(name + " = " + back + "\n");
  }
  return kExitOk;
}

}  // namespace lumora::tool
