// LumoraSettings.exe: a window where a person sets up a camera. It reaches
// Lumora only through its public COM classes (the lumora tool's camera
// access, tools/lumora/win_camera.h), decides what the tool decides through
// the same portable policy (reset, save, the verified load, the watch), and
// keeps a camera's settings by asking lumora.exe beside it to watch them.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dshow.h>
#include <olectl.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "com/com_object.h"
#include "settings/settings_ids.h"
#include "tools/command_policy.h"
#include "tools/lumora/win_camera.h"
#include "tools/profile_load.h"
#include "tools/settings_page.h"

namespace lumora::settings {
namespace {

using tool::Camera;
using tool::ComPtr;
using Font = com::GdiObject<HFONT>;

constexpr const wchar_t* kSettingsKey = L"Software\\Lumora\\Settings";
constexpr const wchar_t* kCameraValue = L"Camera";
constexpr const wchar_t* kPanelClass = L"LumoraSettingsPanel";
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 1000;

// Layout in pixels at 96 DPI (scaled to the window's DPI).
constexpr int kMargin = 12;
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 660;
constexpr int kTopHeight = 26;
constexpr int kCaptionHeight = 26;
constexpr int kRowHeight = 30;
constexpr int kNameX = 12, kNameWidth = 170;
constexpr int kSliderX = 184, kSliderWidth = 190;
constexpr int kNumberX = 380, kNumberWidth = 64;
constexpr int kAutoX = 452, kAutoWidth = 56;
constexpr int kResetX = 512, kResetWidth = 68;
constexpr int kButtonHeight = 26;
constexpr int kStatusHeight = 36;
constexpr int kOutcomeHeight = 84;

std::wstring Wide(const std::string& text) { return com::WidenUtf8(text); }
std::string Narrow(const std::wstring& text) { return com::NarrowToUtf8(text); }

std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(std::max(n, 0)) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, &text[0], n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

// GetDpiForWindow where the system has it (Windows 10 1607 and later).
UINT DpiOf(HWND hwnd) {
  using GetDpi = UINT(WINAPI*)(HWND);
  static const auto get = reinterpret_cast<GetDpi>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = get != nullptr && hwnd != nullptr ? get(hwnd) : 0;
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi != 0 ? dpi : 96;
}

// One control of the page. A catalogue property is reached through the
// tool's ControlTarget, a named extension-unit control through the control
// object's fourth interface.
struct Row {
  int32_t property = -1;  // catalogue value, or -1 for a named control
  std::wstring xuName;    // the named control
  std::string name;
  Group group = Group::kImage;
  RowStyle style = RowStyle::kSlider;
  SliderScale scale{0, 0, 1};
  bool hasDefault = false;
  int32_t defaultValue = 0;
  bool hasModes = false;
  std::vector<std::wstring> menu;  // kMenu: the labels
  HWND label = nullptr, slider = nullptr, number = nullptr, autoBox = nullptr, reset = nullptr,
       toggle = nullptr, choice = nullptr;
  int32_t value = 0;
  bool automatic = false;
  bool known = false;  // value read at least once
};

// --- named extension-unit controls (IDVidCapCtrl3) ---------------------------

// The elements of a one-dimensional array VARIANT, each as a VARIANT.
std::vector<com::Variant> Elements(const VARIANT& array) {
  std::vector<com::Variant> items;
  if ((V_VT(&array) & VT_ARRAY) == 0 || V_ARRAY(&array) == nullptr) return items;
  SAFEARRAY* sa = V_ARRAY(&array);
  if (SafeArrayGetDim(sa) != 1) return items;
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(sa, 1, &lo);
  SafeArrayGetUBound(sa, 1, &hi);
  const VARTYPE type = static_cast<VARTYPE>(V_VT(&array) & VT_TYPEMASK);
  for (LONG i = lo; i <= hi; ++i) {
    com::Variant item;
    if (type == VT_VARIANT) {
      if (FAILED(SafeArrayGetElement(sa, &i, item.Get()))) break;
    } else if (type == VT_BSTR) {
      BSTR text = nullptr;
      if (FAILED(SafeArrayGetElement(sa, &i, &text))) break;
      V_VT(item.Get()) = VT_BSTR;
      V_BSTR(item.Get()) = text;
    } else if (type == VT_I4 || type == VT_UI1 || type == VT_I2) {
      LONG number = 0;
      unsigned char byte = 0;
      short word = 0;
      void* target = type == VT_I4 ? static_cast<void*>(&number)
                                   : type == VT_UI1 ? static_cast<void*>(&byte) : &word;
      if (FAILED(SafeArrayGetElement(sa, &i, target))) break;
      V_VT(item.Get()) = VT_I4;
      V_I4(item.Get()) = type == VT_I4 ? number : type == VT_UI1 ? byte : word;
    } else {
      break;
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool AsNumber(const VARIANT* v, int32_t* number) {
  if (V_VT(v) == VT_BOOL) {  // VARIANT_TRUE converts to -1
    *number = V_BOOL(v) != VARIANT_FALSE ? 1 : 0;
    return true;
  }
  com::Variant copy;
  if (FAILED(VariantChangeType(copy.Get(), const_cast<VARIANT*>(v), 0, VT_I4))) return false;
  *number = V_I4(copy.Get());
  return true;
}

std::wstring AsText(const VARIANT* v) {
  com::Variant copy;
  if (FAILED(VariantChangeType(copy.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR))) return L"";
  return std::wstring(V_BSTR(copy.Get()), SysStringLen(V_BSTR(copy.Get())));
}

// The rows of the camera's named extension-unit controls: integers as
// sliders, booleans as switches, menus as drop-downs (raw byte controls are
// left to "lumora xu"). The facts: type, minimum, maximum, default, units,
// menu labels, unit, selector, access.
std::vector<Row> ExtensionRows(IDVidCapCtrl3* xu) {
  std::vector<Row> rows;
  com::Variant names;
  if (FAILED(xu->get_XuNames(names.Receive()))) return rows;
  for (com::Variant& n : Elements(*names.Get())) {
    Row row;
    row.xuName = AsText(n.Get());
    if (row.xuName.empty()) continue;
    com::Bstr name(row.xuName.c_str());
    com::Variant info;
    if (FAILED(xu->get_XuNamedInfo(name.Get(), info.Receive()))) continue;
    std::vector<com::Variant> facts = Elements(*info.Get());
    if (facts.size() < 9) continue;
    int32_t access = 0;
    if (!AsNumber(facts[8].Get(), &access) || (access & 3) != 3) continue;
    std::wstring type = AsText(facts[0].Get());
    CharLowerW(&type[0]);
    int32_t min = 0, max = 0;
    const bool ranged = AsNumber(facts[1].Get(), &min) && AsNumber(facts[2].Get(), &max);
    if (type.find(L"bool") != std::wstring::npos) {
      row.style = RowStyle::kSwitch;
      min = 0;
      max = 1;
    } else if (type.find(L"menu") != std::wstring::npos) {
      row.style = RowStyle::kMenu;
      for (com::Variant& label : Elements(*facts[5].Get())) row.menu.push_back(AsText(label.Get()));
      if (row.menu.empty()) continue;
      min = 0;
      max = static_cast<int32_t>(row.menu.size()) - 1;
    } else if (type.find(L"int") != std::wstring::npos && ranged) {
      row.style = StyleOf(min, max);
    } else {
      continue;
    }
    row.name = Narrow(row.xuName);
    row.group = Group::kExtension;
    row.scale = SliderScale(min, max, 1);
    row.hasDefault = AsNumber(facts[3].Get(), &row.defaultValue) && row.style != RowStyle::kMenu;
    if (row.style == RowStyle::kMenu) {
      const std::wstring label = AsText(facts[3].Get());
      for (size_t i = 0; i < row.menu.size(); ++i) {
        if (row.menu[i] == label) {
          row.hasDefault = true;
          row.defaultValue = static_cast<int32_t>(i);
        }
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

HRESULT ReadNamed(IDVidCapCtrl3* xu, const Row& row, int32_t* value) {
  com::Bstr name(row.xuName.c_str());
  com::Variant v;
  HRESULT hr = xu->get_XuNamedValue(name.Get(), v.Receive());
  if (FAILED(hr)) return hr;
  if (row.style == RowStyle::kMenu) {
    const std::wstring label = AsText(v.Get());
    for (size_t i = 0; i < row.menu.size(); ++i) {
      if (row.menu[i] == label) {
        *value = static_cast<int32_t>(i);
        return S_OK;
      }
    }
    return E_UNEXPECTED;
  }
  if (V_VT(v.Get()) == VT_BOOL) {
    *value = V_BOOL(v.Get()) != VARIANT_FALSE ? 1 : 0;
    return S_OK;
  }
  return AsNumber(v.Get(), value) ? S_OK : E_UNEXPECTED;
}

HRESULT WriteNamed(IDVidCapCtrl3* xu, const Row& row, int32_t value) {
  com::Bstr name(row.xuName.c_str());
  com::Variant v;
  if (row.style == RowStyle::kMenu) {
    if (value < 0 || static_cast<size_t>(value) >= row.menu.size()) return E_INVALIDARG;
    V_VT(v.Get()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(row.menu[static_cast<size_t>(value)].c_str());
    if (V_BSTR(v.Get()) == nullptr) return E_OUTOFMEMORY;
  } else if (row.style == RowStyle::kSwitch) {
    V_VT(v.Get()) = VT_BOOL;
    V_BOOL(v.Get()) = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
  }
  return xu->put_XuNamedValue(name.Get(), *v.Get());
}

// --- the driver's own property pages -------------------------------------------

// The capture filter of a camera, bound from the system's list of video
// capture devices by its moniker's display name.
HRESULT BindFilter(const std::string& devicePath, ComPtr<IBaseFilter>* filter) {
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, &devices);
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  if (hr != S_OK) return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const std::wstring wanted = Wide(devicePath);
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, &moniker, nullptr) != S_OK) break;
    com::CoTaskMem<wchar_t> name;
    if (FAILED(moniker->GetDisplayName(nullptr, nullptr, name.Receive())) || !name.Get()) continue;
    if (lstrcmpiW(name.Get(), wanted.c_str()) != 0) continue;
    return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, &*filter);
  }
  return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

// The property pages the filter offers (none: false).
bool OffersPages(IBaseFilter* filter) {
  ComPtr<ISpecifyPropertyPages> pages;
  if (filter == nullptr || FAILED(filter->QueryInterface(IID_ISpecifyPropertyPages, &pages))) {
    return false;
  }
  CAUUID ids = {};
  if (FAILED(pages->GetPages(&ids))) return false;
  const bool any = ids.cElems > 0;
  CoTaskMemFree(ids.pElems);
  return any;
}

// --- the window ---------------------------------------------------------------

class SettingsWindow {
 public:
  bool Create(HINSTANCE instance, int show);
  HWND Hwnd() const { return hwnd_; }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandlePanel(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
  // Enter in a number box commits it (the dialog manager would press the
  // default button).
  bool CommitNumberOnEnter(const MSG& msg);

 private:
  int Px(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }
  void MakeFonts();
  HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id,
             DWORD exStyle = 0);
  void Layout();
  void LayoutRows();
  void ScrollPanelTo(int pos);
  void EnsureVisible(HWND control);

  void ListCameras();
  void ChooseCamera(int index);
  void ClearRows();
  void BuildRows();
  void CreateRowControls(Row& row, size_t index);
  void ShowRow(Row& row);
  bool ReadRow(Row& row, HRESULT* failure);
  HRESULT WriteRow(Row& row, int32_t value);
  HRESULT SetAutomatic(Row& row, bool automatic);
  HRESULT ResetRow(Row& row);
  void RowCommand(size_t index, int part, int code);
  void RowScroll(HWND slider);
  void CommitNumber(size_t index);
  void Poll();
  void EnableRows(bool enable);
  void Failed(const Row& row, const std::string& action, HRESULT hr);
  // Reads a row (every row) again and shows what the camera holds.
  void Reread(Row& row);
  void RereadAll();
  // After a write to the row: the failure, or `done`, in the status line;
  // the kept profile follows; the row shows what the camera holds.
  void Written(Row& row, const std::string& action, HRESULT hr, const std::string& done);
  bool StillPresent();
  void MarkGone();
  void TryReturn();
  void Status(const std::string& text);

  void ResetAll();
  cli::Profile CurrentProfile();
  void SaveProfile();
  void OpenProfile();
  void ShowOutcome(const std::vector<std::string>& lines);
  void Keep(bool keep);
  std::wstring KeptFolder() const;
  std::wstring KeptFile() const;
  std::vector<std::string> KeptProfiles() const;
  void UpdateKeptProfile();
  DWORD RunTool(const std::vector<std::string>& args, bool wait);
  void DriverSettings();
  void SetPolling(bool on);

  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr, panel_ = nullptr;
  UINT dpi_ = 96;
  Font font_, boldFont_;
  std::vector<HWND> captions_;

  std::vector<Camera> cameras_;
  Camera camera_;
  ComPtr<IDVidCapCtrl> ctrl_;
  std::unique_ptr<tool::OwnedTarget> target_;
  ComPtr<IDVidCapCtrl3> xu_;
  int32_t chipset_ = 0;
  bool open_ = false;
  bool gone_ = false;
  bool kept_ = false;
  bool pausedWatch_ = false;
  std::vector<Row> rows_;
  int contentHeight_ = 0;
  int scroll_ = 0;
  bool polling_ = false;
  bool updating_ = false;  // the window itself is changing controls
};

SettingsWindow* theWindow = nullptr;

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (theWindow != nullptr && theWindow->Hwnd() == hwnd) {
    return theWindow->Handle(message, wParam, lParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (theWindow != nullptr) return theWindow->HandlePanel(hwnd, message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool SettingsWindow::Create(HINSTANCE instance, int show) {
  instance_ = instance;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = LUMORA_SETTINGS_WINDOW_CLASS;
  if (!RegisterClassExW(&wc)) return false;
  WNDCLASSEXW pc = wc;
  pc.lpfnWndProc = PanelProc;
  pc.hIcon = nullptr;
  pc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  pc.lpszClassName = kPanelClass;
  if (!RegisterClassExW(&pc)) return false;

  const DWORD style = WS_OVERLAPPEDWINDOW;
  hwnd_ = CreateWindowExW(0, LUMORA_SETTINGS_WINDOW_CLASS, LUMORA_SETTINGS_CAPTION, style,
                          CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance,
                          nullptr);
  if (hwnd_ == nullptr) return false;
  dpi_ = DpiOf(hwnd_);
  MakeFonts();
  RECT r = {0, 0, Px(kClientWidth), Px(kClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER);

  Child(hwnd_, L"STATIC", L"&Camera:", SS_LEFT | SS_CENTERIMAGE, IDC_CAMERA_LABEL);
  Child(hwnd_, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_CAMERA);
  Child(hwnd_, L"BUTTON", L"&Driver settings\u2026", BS_PUSHBUTTON | WS_TABSTOP, IDC_DRIVER);
  panel_ = Child(hwnd_, kPanelClass, L"", WS_VSCROLL, IDC_PANEL,
                 WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE);
  Child(hwnd_, L"BUTTON", L"Reset &all", BS_PUSHBUTTON | WS_TABSTOP, IDC_RESET_ALL);
  Child(hwnd_, L"BUTTON", L"&Save\u2026", BS_PUSHBUTTON | WS_TABSTOP, IDC_SAVE);
  Child(hwnd_, L"BUTTON", L"&Open\u2026", BS_PUSHBUTTON | WS_TABSTOP, IDC_OPEN);
  Child(hwnd_, L"BUTTON", L"&Keep these settings", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_KEEP);
  Child(hwnd_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IDC_STATUS);
  Child(hwnd_, WC_LISTBOXW, L"", LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_VSCROLL | WS_TABSTOP,
        IDC_OUTCOME, WS_EX_CLIENTEDGE);
  Layout();

  // While this window is open it is in charge of the kept cameras: a running
  // watch would put back what the person changes here. It starts again when
  // the window closes.
  if (!KeptProfiles().empty()) pausedWatch_ = RunTool({"watch", "--stop"}, true) == 0;

  ListCameras();
  ShowWindow(hwnd_, show);
  UpdateWindow(hwnd_);
  SetFocus(GetDlgItem(hwnd_, IDC_CAMERA));
  return true;
}

void SettingsWindow::MakeFonts() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW face = metrics.lfMessageFont;
  face.lfHeight = -MulDiv(9, static_cast<int>(dpi_), 72);
  face.lfWidth = 0;
  font_.Reset(CreateFontIndirectW(&face));
  face.lfWeight = FW_BOLD;
  boldFont_.Reset(CreateFontIndirectW(&face));
}

HWND SettingsWindow::Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style,
                           int id, DWORD exStyle) {
  HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                              nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  return hwnd;
}

void SettingsWindow::Layout() {
  RECT client = {};
  GetClientRect(hwnd_, &client);
  const int width = client.right, height = client.bottom;
  const int m = Px(kMargin);
  auto place = [&](int id, int x, int y, int w, int h) {
    SetWindowPos(GetDlgItem(hwnd_, id), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  const int driverWidth = Px(130);
  place(IDC_CAMERA_LABEL, m, m, Px(60), Px(kTopHeight));
  place(IDC_CAMERA, m + Px(64), m, width - 2 * m - Px(64) - driverWidth - Px(8), Px(300));
  place(IDC_DRIVER, width - m - driverWidth, m, driverWidth, Px(kTopHeight));
  const int bottom = Px(kButtonHeight) + Px(kStatusHeight) + Px(kOutcomeHeight) + 3 * m;
  const int panelTop = m + Px(kTopHeight) + Px(8);
  place(IDC_PANEL, m, panelTop, width - 2 * m, std::max(Px(60), height - panelTop - bottom));
  const int buttonsY = height - bottom + m;
  const int bw = Px(96);
  place(IDC_RESET_ALL, m, buttonsY, bw, Px(kButtonHeight));
  place(IDC_SAVE, m + bw + Px(8), buttonsY, bw, Px(kButtonHeight));
  place(IDC_OPEN, m + 2 * (bw + Px(8)), buttonsY, bw, Px(kButtonHeight));
  place(IDC_KEEP, width - m - Px(170), buttonsY, Px(170), Px(kButtonHeight));
  place(IDC_STATUS, m, buttonsY + Px(kButtonHeight) + Px(6), width - 2 * m, Px(kStatusHeight));
  place(IDC_OUTCOME, m, buttonsY + Px(kButtonHeight) + Px(6) + Px(kStatusHeight), width - 2 * m,
        Px(kOutcomeHeight));
  LayoutRows();
}

void SettingsWindow::LayoutRows() {
  int y = Px(6);
  Group group = Group::kImage;
  size_t caption = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    Row& row = rows_[i];
    if (i == 0 || row.group != group) {
      group = row.group;
      if (i != 0) y += Px(8);
      if (caption < captions_.size()) {
        SetWindowPos(captions_[caption++], nullptr, Px(kNameX), y - scroll_, Px(400),
                     Px(kCaptionHeight) - Px(6), SWP_NOZORDER | SWP_NOACTIVATE);
      }
      y += Px(kCaptionHeight);
    }
    const int top = y - scroll_;
    const int h = Px(24);
    const int mid = top + (Px(kRowHeight) - h) / 2;
    auto place = [&](HWND w, int x, int width) {
      if (w != nullptr) {
        SetWindowPos(w, nullptr, Px(x), mid, Px(width), h, SWP_NOZORDER | SWP_NOACTIVATE);
      }
    };
    place(row.label, kNameX + 8, kNameWidth - 8);
    place(row.slider, kSliderX, kSliderWidth);
    place(row.toggle, kSliderX, kSliderWidth);
    if (row.choice != nullptr) {
      SetWindowPos(row.choice, nullptr, Px(kSliderX), mid, Px(kSliderWidth), Px(200),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    place(row.number, kNumberX, kNumberWidth);
    place(row.autoBox, kAutoX, kAutoWidth);
    place(row.reset, kResetX, kResetWidth);
    y += Px(kRowHeight);
  }
  contentHeight_ = y + Px(6);
  RECT client = {};
  GetClientRect(panel_, &client);
  SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, contentHeight_ - 1,
                   static_cast<UINT>(client.bottom), scroll_, 0};
  SetScrollInfo(panel_, SB_VERT, &si, TRUE);
  InvalidateRect(panel_, nullptr, TRUE);
}

void SettingsWindow::ScrollPanelTo(int pos) {
  RECT client = {};
  GetClientRect(panel_, &client);
  pos = std::clamp(pos, 0, std::max(0, contentHeight_ - static_cast<int>(client.bottom)));
  if (pos == scroll_) return;
  ScrollWindowEx(panel_, 0, scroll_ - pos, nullptr, nullptr, nullptr, nullptr,
                 SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  scroll_ = pos;
  SetScrollPos(panel_, SB_VERT, scroll_, TRUE);
}

// Keeps the control with the keyboard focus in view inside the panel.
void SettingsWindow::EnsureVisible(HWND control) {
  if (control == nullptr || GetParent(control) != panel_) return;
  RECT r = {}, client = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, panel_, reinterpret_cast<POINT*>(&r), 2);
  GetClientRect(panel_, &client);
  const int pad = Px(6);
  if (r.top < pad) {
    ScrollPanelTo(scroll_ + r.top - pad - Px(kCaptionHeight));
  } else if (r.bottom > client.bottom - pad) {
    ScrollPanelTo(scroll_ + r.bottom - client.bottom + pad);
  }
}

void SettingsWindow::ListCameras() {
  HWND combo = GetDlgItem(hwnd_, IDC_CAMERA);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  cameras_.clear();
  HRESULT hr = tool::ListCameras(&cameras_);
  if (FAILED(hr)) {
    Status("Cannot list the cameras (" + tool::HrText(hr) + "); is Lumora.dll registered?");
    ChooseCamera(-1);
    return;
  }
  for (const Camera& c : cameras_) {
    std::string text = c.id.name.empty() ? "(unnamed camera)" : c.id.name;
    std::string details;
    if (!c.id.serial.empty()) details = "serial " + c.id.serial;
    if (!details.empty()) details += ", ";
    details += c.kind == 0 ? "device" : "software camera";
    text += "  (" + details + ")";
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  // The camera used last, else the first.
  int chosen = cameras_.empty() ? -1 : 0;
  wchar_t last[2048] = {};
  DWORD size = sizeof last - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kCameraValue, RRF_RT_REG_SZ, nullptr, last,
                   &size) == ERROR_SUCCESS) {
    for (size_t i = 0; i < cameras_.size(); ++i) {
      if (cli::EqualNoCase(cameras_[i].id.devicePath, Narrow(last))) chosen = static_cast<int>(i);
    }
  }
  if (cameras_.empty()) Status("No camera is connected.");
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  ChooseCamera(chosen);
}

void SettingsWindow::ClearRows() {
  for (Row& row : rows_) {
    for (HWND w : {row.label, row.slider, row.number, row.autoBox, row.reset, row.toggle,
                   row.choice}) {
      if (w != nullptr) DestroyWindow(w);
    }
  }
  for (HWND w : captions_) DestroyWindow(w);
  captions_.clear();
  rows_.clear();
  scroll_ = 0;
  SetScrollPos(panel_, SB_VERT, 0, TRUE);
}

void SettingsWindow::ChooseCamera(int index) {
  UpdateKeptProfile();
  ClearRows();
  target_.reset();
  xu_.Reset();
  ctrl_.Reset();
  open_ = gone_ = false;
  ShowOutcome({"Open\u2026 a profile: what the camera took of each setting shows here."});
  if (index < 0 || static_cast<size_t>(index) >= cameras_.size()) {
    EnableRows(false);
    LayoutRows();
    return;
  }
  camera_ = cameras_[static_cast<size_t>(index)];
  HRESULT hr = tool::OpenControl(&camera_, &ctrl_, &chipset_);
  if (FAILED(hr)) {
    Status("Cannot open " + camera_.id.name + " (" + tool::HrText(hr) + ").");
    EnableRows(false);
    LayoutRows();
    return;
  }
  open_ = true;
  target_ = std::make_unique<tool::OwnedTarget>(ctrl_, camera_.id.devicePath);
  if (FAILED(ctrl_.As(&xu_))) xu_.Reset();
  com::RegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.Receive(), nullptr) == ERROR_SUCCESS) {
    const std::wstring path = Wide(camera_.id.devicePath);
    RegSetValueExW(key.Get(), kCameraValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  }
  BuildRows();
  kept_ = GetFileAttributesW(KeptFile().c_str()) != INVALID_FILE_ATTRIBUTES;
  SendDlgItemMessageW(hwnd_, IDC_KEEP, BM_SETCHECK, kept_ ? BST_CHECKED : BST_UNCHECKED, 0);
  ComPtr<IBaseFilter> filter;
  EnableWindow(GetDlgItem(hwnd_, IDC_DRIVER),
               SUCCEEDED(BindFilter(camera_.id.devicePath, &filter)) && OffersPages(filter.Get()));
  EnableRows(true);
  Status(rows_.empty() ? camera_.id.name + " offers no control that can be set here."
                       : camera_.id.name + ": " + std::to_string(rows_.size()) + " controls.");
}

void SettingsWindow::BuildRows() {
  for (int32_t p = 0; p < kCatalogueSize; ++p) {
    if (lumora::PropertyName(p) == nullptr) continue;
    int32_t support = 0;
    if (FAILED(target_->Support(p, &support)) || !ShowsRow(p, support)) continue;
    int32_t min = 0, max = 0, step = 0, def = 0;
    if (FAILED(target_->Range(p, &min, &max, &step, &def))) continue;
    Row row;
    row.property = p;
    row.name = lumora::PropertyTitle(p);
    const catalogue::Group g = catalogue::GroupOf(chipset_, p);
    row.group = GroupOf(g);
    row.style = StyleOf(min, max);
    row.scale = SliderScale(min, max, step);
    int32_t d = 0;
    row.hasDefault = SUCCEEDED(target_->Default(p, &d));
    row.defaultValue = row.hasDefault ? d : 0;
    row.hasModes = (target_->ModeSupport(p) & VCM_Auto) != 0;
    rows_.push_back(std::move(row));
  }
  if (xu_) {
    for (Row& row : ExtensionRows(xu_.Get())) rows_.push_back(std::move(row));
  }
  std::stable_sort(rows_.begin(), rows_.end(),
                   [](const Row& a, const Row& b) { return a.group < b.group; });
  Group group = Group::kImage;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (i == 0 || rows_[i].group != group) {
      group = rows_[i].group;
      HWND caption = Child(panel_, L"STATIC", Wide(GroupCaption(group)).c_str(), SS_LEFT,
                           IDC_GROUP_CAPTION + static_cast<int>(captions_.size()));
      SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
      captions_.push_back(caption);
    }
    CreateRowControls(rows_[i], i);
  }
  RereadAll();
  LayoutRows();
}

void SettingsWindow::CreateRowControls(Row& row, size_t index) {
  const int i = static_cast<int>(index);
  row.label = Child(panel_, L"STATIC", Wide(row.name).c_str(), SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE,
                    IDC_ROW(i, ROW_NAME));
  switch (row.style) {
    case RowStyle::kSlider:
      row.slider = Child(panel_, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP,
                         IDC_ROW(i, ROW_SLIDER));
      SendMessageW(row.slider, TBM_SETRANGEMIN, FALSE, 0);
      SendMessageW(row.slider, TBM_SETRANGEMAX, FALSE, row.scale.Positions());
      SendMessageW(row.slider, TBM_SETLINESIZE, 0, 1);
      SendMessageW(row.slider, TBM_SETPAGESIZE, 0, std::max(1, row.scale.Positions() / 10));
      row.number = Child(panel_, WC_EDITW, L"", ES_RIGHT | ES_AUTOHSCROLL | WS_TABSTOP,
                         IDC_ROW(i, ROW_NUMBER), WS_EX_CLIENTEDGE);
      break;
    case RowStyle::kSwitch:
      row.toggle = Child(panel_, L"BUTTON", L"On", BS_AUTOCHECKBOX | WS_TABSTOP,
                         IDC_ROW(i, ROW_SWITCH));
      break;
    case RowStyle::kMenu:
      row.choice = Child(panel_, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                         IDC_ROW(i, ROW_MENU));
      for (const std::wstring& label : row.menu) {
        SendMessageW(row.choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
      }
      break;
  }
  if (row.hasModes) {
    row.autoBox = Child(panel_, L"BUTTON", L"Auto", BS_AUTOCHECKBOX | WS_TABSTOP,
                        IDC_ROW(i, ROW_AUTO));
  }
  row.reset = Child(panel_, L"BUTTON", L"Reset", BS_PUSHBUTTON | WS_TABSTOP, IDC_ROW(i, ROW_RESET));
}

// Puts the row's value and mode into its controls.
void SettingsWindow::ShowRow(Row& row) {
  updating_ = true;
  if (row.slider != nullptr) {
    SendMessageW(row.slider, TBM_SETPOS, TRUE, row.scale.PositionOf(row.value));
    if (GetFocus() != row.number) {
      SetWindowTextW(row.number, std::to_wstring(row.value).c_str());
    }
  }
  if (row.toggle != nullptr) {
    SendMessageW(row.toggle, BM_SETCHECK, row.value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (row.choice != nullptr) SendMessageW(row.choice, CB_SETCURSEL, row.value, 0);
  if (row.autoBox != nullptr) {
    SendMessageW(row.autoBox, BM_SETCHECK, row.automatic ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  const bool enabled = open_ && !gone_;
  for (HWND w : {row.slider, row.number, row.toggle, row.choice}) {
    if (w != nullptr) EnableWindow(w, enabled && !row.automatic);
  }
  updating_ = false;
}

// Reads the row from the camera and shows it; false (with the failure) when
// the read fails.
bool SettingsWindow::ReadRow(Row& row, HRESULT* failure) {
  int32_t value = 0;
  HRESULT hr = row.property >= 0 ? static_cast<HRESULT>(target_->Get(row.property, &value))
                                 : ReadNamed(xu_.Get(), row, &value);
  if (FAILED(hr)) {
    *failure = hr;
    return false;
  }
  bool automatic = false;
  if (row.hasModes) {
    int32_t mode = 0;
    if (SUCCEEDED(target_->GetMode(row.property, &mode))) automatic = mode == VCM_Auto;
  }
  if (!row.known || value != row.value || automatic != row.automatic) {
    row.value = value;
    row.automatic = automatic;
    row.known = true;
    ShowRow(row);
  }
  return true;
}

HRESULT SettingsWindow::WriteRow(Row& row, int32_t value) {
  if (row.property < 0) return WriteNamed(xu_.Get(), row, value);
  bool modes = false;
  return cli::WriteManual(*target_, row.property, value, &modes);
}

HRESULT SettingsWindow::SetAutomatic(Row& row, bool automatic) {
  return target_->SetMode(row.property, automatic ? VCM_Auto : VCM_Manual);
}

// The tool's reset of one control: automatic where it has modes, else its
// default.
HRESULT SettingsWindow::ResetRow(Row& row) {
  if (row.property < 0) {
    return row.hasDefault ? WriteNamed(xu_.Get(), row, row.defaultValue) : E_NOTIMPL;
  }
  std::vector<cli::ResetStep> steps;
  int32_t refused = 0;
  if (!cli::PlanReset(*target_, {row.property}, &steps, &refused) || steps.empty()) {
    return E_NOTIMPL;
  }
  const cli::ResetStep& step = steps.front();
  return step.automatic ? target_->SetMode(step.property, VCM_Auto)
                        : target_->Set(step.property, step.value);
}

void SettingsWindow::Reread(Row& row) {
  row.known = false;
  HRESULT failure = S_OK;
  ReadRow(row, &failure);
}

void SettingsWindow::RereadAll() {
  for (Row& row : rows_) Reread(row);
}

void SettingsWindow::Written(Row& row, const std::string& action, HRESULT hr,
                             const std::string& done) {
  if (FAILED(hr)) {
    Failed(row, action, hr);
  } else {
    Status(done);
    UpdateKeptProfile();
  }
  Reread(row);
}

void SettingsWindow::Failed(const Row& row, const std::string& action, HRESULT hr) {
  if (!StillPresent()) {
    MarkGone();
    return;
  }
  Status(FailureText(row.name, action, hr));
}

void SettingsWindow::RowCommand(size_t index, int part, int code) {
  if (updating_ || index >= rows_.size() || !open_ || gone_) return;
  Row& row = rows_[index];
  HRESULT hr = S_OK;
  std::string action;
  if (part == ROW_AUTO && code == BN_CLICKED) {
    const bool automatic = SendMessageW(row.autoBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    action = automatic ? "switch to automatic" : "switch to manual";
    hr = SetAutomatic(row, automatic);
  } else if (part == ROW_RESET && code == BN_CLICKED) {
    action = "reset";
    hr = ResetRow(row);
  } else if (part == ROW_SWITCH && code == BN_CLICKED) {
    const int32_t value = SendMessageW(row.toggle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    action = "set " + std::to_string(value);
    hr = WriteRow(row, value);
  } else if (part == ROW_MENU && code == CBN_SELCHANGE) {
    const auto choice = static_cast<int32_t>(SendMessageW(row.choice, CB_GETCURSEL, 0, 0));
    action = "choose " + (choice >= 0 && static_cast<size_t>(choice) < row.menu.size()
                              ? Narrow(row.menu[static_cast<size_t>(choice)])
                              : std::to_string(choice));
    hr = WriteRow(row, choice);
  } else if (part == ROW_NUMBER && code == EN_KILLFOCUS) {
    CommitNumber(index);
    return;
  } else {
    return;
  }
  Written(row, action, hr, row.name + ": " + action + " done.");
}

void SettingsWindow::RowScroll(HWND slider) {
  if (updating_ || !open_ || gone_) return;
  for (Row& row : rows_) {
    if (row.slider != slider) continue;
    const auto position = static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    const int32_t value = row.scale.ValueAt(position);
    if (row.known && value == row.value) return;
    Written(row, "set " + std::to_string(value), WriteRow(row, value),
            row.name + " = " + std::to_string(value));
    return;
  }
}

void SettingsWindow::CommitNumber(size_t index) {
  if (updating_ || index >= rows_.size() || !open_ || gone_) return;
  Row& row = rows_[index];
  if (row.number == nullptr || row.automatic) return;
  const std::string text = cli::Trim(Narrow(WindowText(row.number)));
  int32_t typed = 0;
  if (!cli::ParseInt32(text, &typed)) {
    Status(row.name + ": " + cli::Quoted(text) + " is not a whole number.");
    ShowRow(row);
    return;
  }
  const int32_t value = row.scale.Snap(typed);
  if (row.known && value == row.value) {
    ShowRow(row);
    return;
  }
  Written(row, "set " + std::to_string(value), WriteRow(row, value),
          row.name + " = " + std::to_string(value) +
              (value != typed ? " (the nearest value the camera takes)" : ""));
}

bool SettingsWindow::CommitNumberOnEnter(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].number != nullptr && rows_[i].number == msg.hwnd) {
      CommitNumber(i);
      SendMessageW(rows_[i].number, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return false;
}

// Once a second while the window is visible: the values the camera or
// another program changed, and an unplugged camera's return.
void SettingsWindow::Poll() {
  if (!open_ || IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) return;
  if (gone_) {
    TryReturn();
    return;
  }
  for (Row& row : rows_) {
    if (GetFocus() == row.number || GetCapture() == row.slider) continue;
    HRESULT failure = S_OK;
    if (!ReadRow(row, &failure)) {
      if (!StillPresent()) {
        MarkGone();
        return;
      }
    }
  }
}

bool SettingsWindow::StillPresent() { return target_ == nullptr || target_->Present(); }

void SettingsWindow::EnableRows(bool enable) {
  for (Row& row : rows_) {
    EnableWindow(row.label, enable);
    EnableWindow(row.reset, enable);
    if (row.autoBox != nullptr) EnableWindow(row.autoBox, enable);
    for (HWND w : {row.slider, row.number, row.toggle, row.choice}) {
      if (w != nullptr) EnableWindow(w, enable && !row.automatic);
    }
  }
  for (HWND w : captions_) EnableWindow(w, enable);
  for (int id : {IDC_RESET_ALL, IDC_SAVE, IDC_OPEN, IDC_KEEP}) {
    EnableWindow(GetDlgItem(hwnd_, id), enable && open_);
  }
}

void SettingsWindow::MarkGone() {
  if (gone_) return;
  gone_ = true;
  EnableRows(false);
  EnableWindow(GetDlgItem(hwnd_, IDC_DRIVER), FALSE);
  Status(UnpluggedText(camera_.id.name));
}

// The camera is listed again: a fresh control on it, its values read, and
// a kept profile put back (the watch rests while this window is open).
void SettingsWindow::TryReturn() {
  std::vector<Camera> cameras;
  if (FAILED(tool::ListCameras(&cameras))) return;
  for (Camera& c : cameras) {
    if (!cli::EqualNoCase(c.id.devicePath, camera_.id.devicePath)) continue;
    ComPtr<IDVidCapCtrl> ctrl;
    if (FAILED(tool::OpenControl(&c, &ctrl, &chipset_))) return;
    ctrl_ = ctrl;
    target_ = std::make_unique<tool::OwnedTarget>(ctrl_, camera_.id.devicePath);
    xu_.Reset();
    if (FAILED(ctrl_.As(&xu_))) xu_.Reset();
    gone_ = false;
    std::string said = ReturnedText(camera_.id.name);
    if (kept_) {
      cli::Profile profile;
      std::string error;
      if (tool::ReadProfile(Narrow(KeptFile()), &profile, &error)) {
        const cli::LoadOutcome outcome = cli::LoadProfile(*target_, profile);
        said += " Its kept settings: " + cli::OutcomeSummary(outcome) + ".";
      }
    }
    RereadAll();
    EnableRows(true);
    ComPtr<IBaseFilter> filter;
    EnableWindow(GetDlgItem(hwnd_, IDC_DRIVER),
                 SUCCEEDED(BindFilter(camera_.id.devicePath, &filter)) && OffersPages(filter.Get()));
    Status(said);
    return;
  }
}

void SettingsWindow::Status(const std::string& text) {
  SetDlgItemTextW(hwnd_, IDC_STATUS, Wide(text).c_str());
}

void SettingsWindow::ResetAll() {
  if (!open_ || gone_) return;
  std::vector<cli::ResetStep> steps;
  int32_t refused = 0;
  cli::PlanReset(*target_, {}, &steps, &refused);
  size_t done = 0;
  std::string firstFailure;
  for (const cli::ResetStep& step : steps) {
    HRESULT hr = step.automatic ? target_->SetMode(step.property, VCM_Auto)
                                : target_->Set(step.property, step.value);
    if (SUCCEEDED(hr)) {
      ++done;
    } else if (firstFailure.empty()) {
      firstFailure = FailureText(tool::Name(step.property), "reset", hr);
    }
  }
  for (Row& row : rows_) {
    if (row.property >= 0 || !row.hasDefault) continue;
    HRESULT hr = WriteNamed(xu_.Get(), row, row.defaultValue);
    if (SUCCEEDED(hr)) {
      ++done;
    } else if (firstFailure.empty()) {
      firstFailure = FailureText(row.name, "reset", hr);
    }
  }
  if (!firstFailure.empty() && !StillPresent()) {
    MarkGone();
    return;
  }
  RereadAll();
  UpdateKeptProfile();
  Status(firstFailure.empty() ? "Reset " + std::to_string(done) + " controls to their defaults."
                              : firstFailure);
}

// A file dialog's path (empty when the person cancels).
std::wstring AskPath(HWND owner, bool save) {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"Lumora profiles (*.profile)\0*.profile\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"profile";
  ofn.lpstrTitle = save ? LUMORA_SETTINGS_SAVE_TITLE : LUMORA_SETTINGS_OPEN_TITLE;
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  return ok ? std::wstring(path) : std::wstring();
}

// What a profile of the camera holds now: its properties and its named
// extension-unit controls, as "lumora save" writes them.
cli::Profile SettingsWindow::CurrentProfile() {
  cli::Profile profile;
  profile.identity = camera_.id;
  profile.entries = cli::SavedEntries(*target_);
  if (target_->Xu() != nullptr) profile.named = cli::SavedNamed(*target_->Xu());
  return profile;
}

void SettingsWindow::SaveProfile() {
  if (!open_ || gone_) return;
  const std::wstring path = AskPath(hwnd_, true);
  if (path.empty()) return;
  const cli::Profile profile = CurrentProfile();
  std::string error;
  if (!tool::WriteFile(Narrow(path), cli::FormatProfile(profile), &error)) {
    Status("Cannot save: " + error);
    return;
  }
  Status("Saved " + std::to_string(profile.entries.size() + profile.named.size()) +
         " settings of " + camera_.id.name +
         " to " + Narrow(path) + ".");
}

void SettingsWindow::ShowOutcome(const std::vector<std::string>& lines) {
  HWND list = GetDlgItem(hwnd_, IDC_OUTCOME);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : lines) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
  }
}

void SettingsWindow::OpenProfile() {
  if (!open_ || gone_) return;
  const std::wstring path = AskPath(hwnd_, false);
  if (path.empty()) return;
  cli::Profile profile;
  std::string error;
  if (!tool::ReadProfile(Narrow(path), &profile, &error)) {
    Status(error + "; nothing changed.");
    return;
  }
  std::vector<std::string> lines;
  for (const std::string& d : cli::IdentityDifferences(profile, camera_.id)) {
    lines.push_back("warning: the profile is of another camera: " + d);
  }
  const cli::LoadOutcome outcome = cli::LoadProfile(*target_, profile);
  for (const cli::PropertyOutcome& p : outcome.properties) lines.push_back(cli::OutcomeLine(p));
  for (const cli::NamedOutcome& p : outcome.named) lines.push_back(cli::OutcomeLine(p));
  ShowOutcome(lines);
  RereadAll();
  if (outcome.vanished) {
    MarkGone();
    return;
  }
  UpdateKeptProfile();
  Status("Loaded " + Narrow(path) + ": " + cli::OutcomeSummary(outcome) + ".");
}

std::wstring SettingsWindow::KeptFolder() const {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                              base))) {
    return L"";
  }
  return std::wstring(base) + L"\\Lumora\\Kept";
}

std::wstring SettingsWindow::KeptFile() const {
  const std::wstring folder = KeptFolder();
  return folder.empty() ? folder : folder + L"\\" + Wide(KeptProfileName(camera_.id));
}

std::vector<std::string> SettingsWindow::KeptProfiles() const {
  std::vector<std::string> files;
  const std::wstring folder = KeptFolder();
  if (folder.empty()) return files;
  WIN32_FIND_DATAW found = {};
  HANDLE find = FindFirstFileW((folder + L"\\*.profile").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    files.push_back(Narrow(folder + L"\\" + found.cFileName));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(files.begin(), files.end());
  return files;
}

// A kept camera's profile follows what is set in the window.
void SettingsWindow::UpdateKeptProfile() {
  if (!kept_ || !open_ || gone_ || target_ == nullptr) return;
  std::string error;
  if (!tool::WriteFile(Narrow(KeptFile()), cli::FormatProfile(CurrentProfile()), &error)) {
    Status("Cannot keep the settings: " + error);
  }
}

// Runs lumora.exe from this program's folder without a console window; its
// exit status, or a failure code when it cannot start or does not end.
DWORD SettingsWindow::RunTool(const std::vector<std::string>& args, bool wait) {
  std::wstring exe;
  if (FAILED(com::ModuleFileName(nullptr, &exe))) return ERROR_FILE_NOT_FOUND;
  exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"lumora.exe";
  std::wstring command;
  if (!tool::QuoteArgument(exe, &command)) return ERROR_BAD_PATHNAME;
  for (const std::string& a : args) {
    command += L" ";
    if (!tool::QuoteArgument(Wide(a), &command)) return ERROR_BAD_ARGUMENTS;
  }
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | (wait ? 0 : DETACHED_PROCESS), nullptr, nullptr, &si,
                      &pi)) {
    return GetLastError();
  }
  com::KernelHandle process(pi.hProcess);
  CloseHandle(pi.hThread);
  if (!wait) return 0;
  if (WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
  DWORD code = 1;
  GetExitCodeProcess(process.Get(), &code);
  return code;
}

// "Keep these settings": the camera's profile among the kept ones (or not),
// and the watch's start-up entry, with the guard, over all of them.
void SettingsWindow::Keep(bool keep) {
  if (!open_ || gone_) return;
  const std::wstring file = KeptFile();
  if (file.empty()) {
    Status("Cannot keep the settings: no folder for them.");
    return;
  }
  if (keep) {
    SHCreateDirectoryExW(nullptr, KeptFolder().c_str(), nullptr);
    kept_ = true;
    UpdateKeptProfile();
  } else {
    kept_ = false;
    DeleteFileW(file.c_str());
  }
  const std::vector<std::string> kept = KeptProfiles();
  const DWORD rc = RunTool(WatchInstallArguments(kept), true);
  if (rc != 0) {
    Status("Cannot change the start-up entry of the watch (lumora.exe ended with " +
           std::to_string(rc) + ").");
    return;
  }
  pausedWatch_ = !kept.empty();
  Status(keep ? camera_.id.name +
                    ": kept. Lumora puts these settings back after a replug, a sleep or "
                    "another program (from logon, and from when this window closes)."
              : camera_.id.name + ": no longer kept.");
}

void SettingsWindow::DriverSettings() {
  if (!open_ || gone_) return;
  ComPtr<IBaseFilter> filter;
  HRESULT hr = BindFilter(camera_.id.devicePath, &filter);
  ComPtr<ISpecifyPropertyPages> pages;
  if (SUCCEEDED(hr)) hr = filter.As(&pages);
  CAUUID ids = {};
  if (SUCCEEDED(hr)) hr = pages->GetPages(&ids);
  if (FAILED(hr)) {
    Status("The driver of " + camera_.id.name + " offers no settings pages (" +
           tool::HrText(hr) + ").");
    return;
  }
  com::CoTaskMem<GUID> owned(ids.pElems);
  ComPtr<IUnknown> object;
  filter.As(&object);
  IUnknown* objects[] = {object.Get()};
  const std::wstring caption = Wide(camera_.id.name);
  hr = OleCreatePropertyFrame(hwnd_, 0, 0, caption.c_str(), 1, objects, ids.cElems, ids.pElems, 0,
                              0, nullptr);
  if (FAILED(hr)) Status("Cannot show the driver's settings (" + tool::HrText(hr) + ").");
  RereadAll();
}

void SettingsWindow::SetPolling(bool on) {
  if (on == polling_) return;
  polling_ = on;
  if (on) {
    SetTimer(hwnd_, kPollTimer, kPollMs, nullptr);
  } else {
    KillTimer(hwnd_, kPollTimer);
  }
}

LRESULT SettingsWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == IDC_CAMERA && code == CBN_SELCHANGE) {
        ChooseCamera(static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_CAMERA, CB_GETCURSEL, 0, 0)));
      } else if (id == IDC_RESET_ALL && code == BN_CLICKED) {
        ResetAll();
      } else if (id == IDC_SAVE && code == BN_CLICKED) {
        SaveProfile();
      } else if (id == IDC_OPEN && code == BN_CLICKED) {
        OpenProfile();
      } else if (id == IDC_KEEP && code == BN_CLICKED) {
        Keep(SendDlgItemMessageW(hwnd_, IDC_KEEP, BM_GETCHECK, 0, 0) == BST_CHECKED);
      } else if (id == IDC_DRIVER && code == BN_CLICKED) {
        DriverSettings();
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == kPollTimer) Poll();
      return 0;
    case WM_APP:  // the keyboard focus moved (the message loop tells)
      EnsureVisible(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_SIZE:
      SetPolling(wParam != SIZE_MINIMIZED && IsWindowVisible(hwnd_));
      if (wParam != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_SHOWWINDOW:
      SetPolling(wParam != FALSE && !IsIconic(hwnd_));
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = Px(kClientWidth);
      info->ptMinTrackSize.y = Px(360);
      return 0;
    }
    case 0x02E0: {  // WM_DPICHANGED
      dpi_ = HIWORD(wParam);
      MakeFonts();
      EnumChildWindows(hwnd_, SetFontOf, reinterpret_cast<LPARAM>(font_.Get()));
      for (HWND caption : captions_) {
        SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
      }
      const RECT* r = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY: {
      SetPolling(false);
      UpdateKeptProfile();
      // The watch takes over the kept cameras again.
      const std::vector<std::string> kept = KeptProfiles();
      if (!kept.empty()) RunTool(WatchRunArguments(kept), false);
      PostQuitMessage(0);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT SettingsWindow::HandlePanel(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= IDC_ROW_BASE) {
        const int offset = id - IDC_ROW_BASE;
        RowCommand(static_cast<size_t>(offset / IDC_ROW_PARTS), offset % IDC_ROW_PARTS,
                   HIWORD(wParam));
      }
      return 0;
    }
    case WM_HSCROLL:
      if (lParam != 0) RowScroll(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_VSCROLL: {
      SCROLLINFO si = {};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(panel, SB_VERT, &si);
      int pos = scroll_;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: pos -= Px(kRowHeight); break;
        case SB_LINEDOWN: pos += Px(kRowHeight); break;
        case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = contentHeight_; break;
        default: break;
      }
      ScrollPanelTo(pos);
      return 0;
    }
    case WM_MOUSEWHEEL:
      ScrollPanelTo(scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) * Px(kRowHeight) * 3 / WHEEL_DELTA);
      return 0;
    case WM_SIZE:
      if (panel_ != nullptr) LayoutRows();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // Labels on the panel's window colour.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      SetTextColor(dc, GetSysColor(IsWindowEnabled(reinterpret_cast<HWND>(lParam))
                                       ? COLOR_WINDOWTEXT
                                       : COLOR_GRAYTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    default:
      break;
  }
  return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace

int Run(HINSTANCE instance, int show) {
  tool::Apartment apartment;
  if (FAILED(apartment.Result())) return 1;
  SettingsWindow window;
  theWindow = &window;
  if (!window.Create(instance, show)) return 1;
  MSG msg;
  HWND lastFocus = nullptr;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window.CommitNumberOnEnter(msg)) continue;
    if (!IsDialogMessageW(window.Hwnd(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    HWND focus = GetFocus();
    if (focus != lastFocus) {
      lastFocus = focus;
      SendMessageW(window.Hwnd(), WM_APP, 0, reinterpret_cast<LPARAM>(focus));
    }
  }
  theWindow = nullptr;
  return static_cast<int>(msg.wParam);
}

}  // namespace lumora::settings

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return lumora::settings::Run(instance, show);
}
