// LumoraProbe: one window ("Form1") that lists the cameras through the
// LumoraCOM automation object, lets the user choose one, shows and sets three
// common properties and writes a report of every property.
//
// The library is reached only through ILumoraCOM, created by class
// identifier, so Lumora.dll must be registered. A failed library call that a
// handler does not expect ends that handler with a message box naming the
// HRESULT and its system text; the program then goes on.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "com/raii.h"
#include "lumora_idl.h"
#include "probe/probe_ids.h"
#include "tools/report.h"

namespace {

using Microsoft::WRL::ComPtr;

// --- failures and small owners ---------------------------------------------

// A failed library or system call inside a handler; caught where the
// window procedure dispatches the handler.
struct CallFailure {
  HRESULT hr;
};

void Check(HRESULT hr) {
  if (FAILED(hr)) throw CallFailure{hr};
}

using Font = lumora::com::GdiObject<HFONT>;

// Bounds of a one-dimensional array of strings; anything else is a type
// mismatch.
void StringArrayBounds(SAFEARRAY* array, LONG* lower, LONG* upper) {
  if (array == nullptr || SafeArrayGetDim(array) != 1) throw CallFailure{DISP_E_TYPEMISMATCH};
  VARTYPE type = VT_EMPTY;
  Check(SafeArrayGetVartype(array, &type));
  if (type != VT_BSTR) throw CallFailure{DISP_E_TYPEMISMATCH};
  Check(SafeArrayGetLBound(array, 1, lower));
  Check(SafeArrayGetUBound(array, 1, upper));
}

std::wstring StringElement(SAFEARRAY* array, LONG index) {
  lumora::com::Bstr element;
  Check(SafeArrayGetElement(array, &index, element.Receive()));
  return element.Get() ? std::wstring(element.Get(), element.Length()) : std::wstring();
}

std::wstring Widen(const std::string& text) {
  // The report and the numbers are plain ASCII.
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out += (c > 0 && c < 128) ? static_cast<char>(c) : '?';
  return out;
}

std::wstring SystemText(HRESULT hr) {
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  for (DWORD code : {static_cast<DWORD>(hr), HRESULT_FACILITY(hr) == FACILITY_WIN32
                                                 ? static_cast<DWORD>(HRESULT_CODE(hr))
                                                 : static_cast<DWORD>(hr)}) {
    lumora::com::LocalMem<wchar_t> text;
    if (FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0,
                       nullptr) != 0 &&
        text.Get() != nullptr) {
      std::wstring message = text.Get();
      while (!message.empty() &&
             (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
      }
      if (!message.empty()) return message;
    }
  }
  return L"Unknown error";
}

// --- the window ------------------------------------------------------------

// Rows of the lower block and their properties: VCP_Brightness, VCP_Gamma,
// VCP_Exposure.
constexpr int kRowProperty[3] = {0, 5, 15};

enum class Kind { kButton, kLabel, kList, kEntry, kReport };

struct ControlDef {
  int id;
  Kind kind;
  const wchar_t* text;
  int left, top, width, height;  // twips
};

// Every control, in tab order.
const ControlDef kControls[] = {
    {IDC_COMMAND1, Kind::kButton, L"Get the known cams", 150, 300, 2340, 390},
    {IDC_LIST1, Kind::kList, L"", 150, 825, 7815, 1425},
    {IDC_LABEL1, Kind::kLabel, L"Selected Cam:", 150, 2400, 1290, 240},
    {IDC_LABEL2, Kind::kLabel, L"...", 1650, 2400, 6315, 240},
    {IDC_COMMAND2, Kind::kButton, L"Get some properties", 150, 6975, 2265, 390},
    {IDC_LABEL3_0 + 0, Kind::kLabel, L"Brightness", 225, 7500, 1065, 240},
    {IDC_LABEL3_0 + 1, Kind::kLabel, L"Gamma", 225, 7800, 1065, 240},
    {IDC_LABEL3_0 + 2, Kind::kLabel, L"Exposure", 225, 8100, 1065, 240},
    {IDC_TEXT1_0 + 0, Kind::kEntry, L"0", 3525, 7500, 915, 285},
    {IDC_LABEL4_0 + 0, Kind::kLabel, L"...", 1350, 7500, 2040, 240},
    {IDC_LABEL4_0 + 1, Kind::kLabel, L"...", 1350, 7800, 2040, 240},
    {IDC_LABEL4_0 + 2, Kind::kLabel, L"...", 1350, 8100, 2040, 240},
    {IDC_TEXT1_0 + 1, Kind::kEntry, L"0", 3525, 7800, 915, 285},
    {IDC_TEXT1_0 + 2, Kind::kEntry, L"0", 3525, 8100, 915, 285},
    {IDC_COMMAND3_0 + 0, Kind::kButton, L"Set", 4575, 7500, 990, 315},
    {IDC_COMMAND3_0 + 1, Kind::kButton, L"Set", 4575, 7800, 990, 315},
    {IDC_COMMAND3_0 + 2, Kind::kButton, L"Set", 4575, 8100, 990, 315},
    {IDC_TEXT3, Kind::kReport, L"Text1", 150, 2775, 7890, 3690},
    {IDC_COMMAND4, Kind::kButton, L"Try all Properties", 6075, 6600, 1965, 315},
    {IDC_LABEL5_0 + 0, Kind::kLabel, L"Click an entry to choose a camera", 4275, 525, 3540, 240},
    {IDC_LABEL5_0 + 1, Kind::kLabel, L"* indicates an non standard property of SAA chips", 150,
     6525, 5190, 240},
};

constexpr int kClientWidthTwips = 8265;
constexpr int kClientHeightTwips = 8595;

// The report's calls on ILumoraCOM; a failure is noted, not raised.
class ComReportSource : public lumora::ReportSource {
 public:
  explicit ComReportSource(ILumoraCOM* cam) : cam_(cam) {}  // borrowed
  bool Support(int32_t property, int32_t* support) override {
    VidCapPropertySupport s = VCS_no;
    if (FAILED(cam_->CamProperty_Support(static_cast<VidCapProperty>(property), &s))) return false;
    *support = static_cast<int32_t>(s);
    return true;
  }
  bool Range(int32_t property, int32_t* min, int32_t* max) override {
    LONG lo = 0, hi = 0, delta = 0;
    if (FAILED(cam_->CamProperty_Range(static_cast<VidCapProperty>(property), &lo, &hi, &delta))) {
      return false;
    }
    *min = lo;
    *max = hi;
    return true;
  }
  bool Value(int32_t property, int32_t* value) override {
    LONG v = 0;
    if (FAILED(cam_->get_CamProperty(static_cast<VidCapProperty>(property), &v))) return false;
    *value = v;
    return true;
  }

 private:
  ILumoraCOM* cam_;
};

class ProbeWindow {
 public:
  static bool RegisterClass(HINSTANCE instance);
  HWND Create(HINSTANCE instance);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void OnLoad();
  void OnCommand(int id, int code);
  void OnUnload();

  void Command1Click();
  void List1Click();
  void Command2Click();
  void Command3Click(int row);
  void Command4Click();

  ILumoraCOM* Cam();
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void SetText(int id, const std::wstring& text) const { SetWindowTextW(Item(id), text.c_str()); }
  std::wstring Text(int id) const;
  void ShowFailure(HRESULT hr) const;

  HWND hwnd_ = nullptr;
  ComPtr<ILumoraCOM> cam_;
  LONG selectedCam_ = -1;
  Font uiFont_;
  Font reportFont_;
};

bool ProbeWindow::RegisterClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = LUMORA_PROBE_WINDOW_CLASS;
  return RegisterClassExW(&wc) != 0;
}

HWND ProbeWindow::Create(HINSTANCE instance) {
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT frame = {0, 0, MulDiv(kClientWidthTwips, dpiX, 1440),
                MulDiv(kClientHeightTwips, dpiY, 1440)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND hwnd = CreateWindowExW(0, LUMORA_PROBE_WINDOW_CLASS, LUMORA_PROBE_CAPTION, style,
                              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (hwnd == nullptr) return nullptr;
  // The version is told by "About Lumora Probe" in the window menu.
  HMENU systemMenu = GetSystemMenu(hwnd, FALSE);
  if (systemMenu != nullptr) {
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_PROBE_ABOUT, L"About Lumora Probe...");
  }

  uiFont_.Reset(CreateFontW(-MulDiv(8, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
  // 8.25 pt
  reportFont_.Reset(CreateFontW(-static_cast<int>(std::lround(8.25 * dpiY / 72.0)), 0, 0, 0,
                                FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                                L"Courier New"));
  // Created in tab order: the dialog manager tabs through child windows in
  // creation order.
  for (const ControlDef& c : kControls) {
    const wchar_t* windowClass = L"STATIC";
    DWORD controlStyle = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (c.kind) {
      case Kind::kButton:
        windowClass = L"BUTTON";
        controlStyle |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case Kind::kLabel: controlStyle |= SS_LEFT | SS_NOPREFIX; break;
      case Kind::kList:
        windowClass = L"LISTBOX";
        controlStyle |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::kEntry:
        windowClass = L"EDIT";
        controlStyle |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::kReport:
        windowClass = L"EDIT";
        controlStyle |=
            WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    }
    HWND control = CreateWindowExW(
        exStyle, windowClass, c.text, controlStyle, MulDiv(c.left, dpiX, 1440),
        MulDiv(c.top, dpiY, 1440), MulDiv(c.width, dpiX, 1440), MulDiv(c.height, dpiY, 1440), hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (control == nullptr) {
      DestroyWindow(hwnd);
      return nullptr;
    }
    HFONT font = c.kind == Kind::kReport ? reportFont_.Get() : uiFont_.Get();
    if (font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return hwnd;
}

LRESULT CALLBACK ProbeWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<ProbeWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT ProbeWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: OnLoad(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wparam), HIWORD(wparam)); return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == IDM_PROBE_ABOUT) {
        MessageBoxW(hwnd_, LUMORA_PROBE_ABOUT_TEXT, L"About Lumora Probe",
                    MB_OK | MB_ICONINFORMATION);
        return 0;
      }
      return DefWindowProcW(hwnd_, message, wparam, lparam);
    case WM_DESTROY: OnUnload(); return 0;
    default: return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void ProbeWindow::OnLoad() {
  // The property names come from the shared report table (tools/report.h).
  selectedCam_ = -1;
}

void ProbeWindow::OnCommand(int id, int code) {
  try {
    if (id == IDC_COMMAND1 && code == BN_CLICKED) {
      Command1Click();
    } else if (id == IDC_LIST1 && code == LBN_SELCHANGE) {
      List1Click();
    } else if (id == IDC_COMMAND2 && code == BN_CLICKED) {
      Command2Click();
    } else if (id >= IDC_COMMAND3_0 && id < IDC_COMMAND3_0 + 3 && code == BN_CLICKED) {
      Command3Click(id - IDC_COMMAND3_0);
    } else if (id == IDC_COMMAND4 && code == BN_CLICKED) {
      Command4Click();
    }
  } catch (const CallFailure& failure) {
    ShowFailure(failure.hr);
  } catch (const std::bad_alloc&) {
    ShowFailure(E_OUTOFMEMORY);
  } catch (...) {
    ShowFailure(E_UNEXPECTED);
  }
}

void ProbeWindow::OnUnload() {
  cam_.Reset();
  PostQuitMessage(0);
}

ILumoraCOM* ProbeWindow::Cam() {
  if (!cam_) {
    Check(CoCreateInstance(CLSID_LumoraCOM, nullptr, CLSCTX_INPROC_SERVER, IID_ILumoraCOM,
                           reinterpret_cast<void**>(cam_.ReleaseAndGetAddressOf())));
  }
  return cam_.Get();
}

std::wstring ProbeWindow::Text(int id) const {
  HWND control = Item(id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
  return text;
}

void ProbeWindow::ShowFailure(HRESULT hr) const {
  wchar_t code[16];
  wsprintfW(code, L"0x%08lX", static_cast<unsigned long>(hr));
  const std::wstring message =
      std::wstring(L"Run-time error ") + code + L":\r\n\r\n" + SystemText(hr);
  MessageBoxW(hwnd_, message.c_str(), LUMORA_PROBE_ERROR_TITLE, MB_OK | MB_ICONEXCLAMATION);
}

// Lists the cameras. The list is not cleared: a second press appends them
// once more.
void ProbeWindow::Command1Click() {
  ILumoraCOM* cam = Cam();
  Check(cam->EnumCams());
  lumora::com::SafeArray names, serials;
  Check(cam->GetCamStrings(names.Receive()));
  Check(cam->GetCamSerials(serials.Receive()));
  LONG lower = 0, upper = -1, serialLower = 0, serialUpper = -1;
  StringArrayBounds(names.Get(), &lower, &upper);
  StringArrayBounds(serials.Get(), &serialLower, &serialUpper);
  HWND list = Item(IDC_LIST1);
  for (LONG i = lower; i <= upper; ++i) {
    const std::wstring item =
        StringElement(names.Get(), i) + L"-" + StringElement(serials.Get(), i);
    const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) throw CallFailure{E_OUTOFMEMORY};
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
  }
}

void ProbeWindow::List1Click() {
  HWND list = Item(IDC_LIST1);
  const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (at == LB_ERR) return;
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0);
  if (length == LB_ERR) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
  SetText(IDC_LABEL2, text);
  // Stored before SetCam: a camera that cannot be opened stays selected.
  selectedCam_ = static_cast<LONG>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(at), 0));
  Check(Cam()->SetCam(selectedCam_));
}

void ProbeWindow::Command2Click() {
  if (selectedCam_ == -1) return;
  ILumoraCOM* cam = Cam();
  for (int row = 0; row < 3; ++row) {
    const auto property = static_cast<VidCapProperty>(kRowProperty[row]);
    VidCapPropertySupport support = VCS_no;
    Check(cam->CamProperty_Support(property, &support));
    if (support == VCS_no) {
      SetText(IDC_LABEL4_0 + row, L"not supported");
      continue;
    }
    LONG min = 0, max = 0, delta = 0;
    Check(cam->CamProperty_Range(property, &min, &max, &delta));
    SetText(IDC_LABEL4_0 + row, std::to_wstring(min) + L" .. " + std::to_wstring(max) + L" / " +
                                    std::to_wstring(delta));
    Check(cam->CamProperty_Support(property, &support));
    LONG value = 0;
    Check(cam->get_CamProperty(property, &value));
    SetText(IDC_TEXT1_0 + row, (support & VCS_get) != 0 ? std::to_wstring(value) : L"...");
  }
}

void ProbeWindow::Command3Click(int row) {
  if (selectedCam_ == -1 || row < 0 || row > 2) return;
  ILumoraCOM* cam = Cam();
  const auto property = static_cast<VidCapProperty>(kRowProperty[row]);
  VidCapPropertySupport support = VCS_no;
  Check(cam->CamProperty_Support(property, &support));
  if ((support & VCS_set) == 0) return;
  int32_t value = 0;
  if (lumora::SetTextValue(Narrow(Text(IDC_TEXT1_0 + row)), &value) != lumora::SetTextResult::kOk) {
    throw CallFailure{DISP_E_OVERFLOW};
  }
  Check(cam->put_CamProperty(property, value));
}

void ProbeWindow::Command4Click() {
  if (selectedCam_ == -1) {
    SetText(IDC_TEXT3, L"No cam available or selected !!");
    return;
  }
  ILumoraCOM* cam = Cam();
  SetText(IDC_TEXT3, L"");
  KnownChipsetCat chipset = CSX_Unknown;
  Check(cam->get_CamChipset(&chipset));
  std::string report = lumora::ReportHeader(static_cast<int32_t>(chipset));
  SetText(IDC_TEXT3, Widen(report));
  // From here on a failed call is noted in the report and the report goes on.
  ComReportSource source(cam);
  report += lumora::ReportBody(source);
  SetText(IDC_TEXT3, Widen(report));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  const HRESULT init = CoInitialize(nullptr);
  if (FAILED(init)) {
    MessageBoxW(nullptr, (L"COM could not start: " + SystemText(init)).c_str(),
                LUMORA_PROBE_ERROR_TITLE, MB_OK | MB_ICONSTOP);
    return 1;
  }
  int exitCode = 1;
  {
    ProbeWindow window;
    HWND hwnd = nullptr;
    if (ProbeWindow::RegisterClass(instance)) hwnd = window.Create(instance);
    if (hwnd != nullptr) {
      ShowWindow(hwnd, show);
      UpdateWindow(hwnd);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      }
      exitCode = static_cast<int>(msg.wParam);
    }
  }
  CoUninitialize();
  return exitCode;
}
