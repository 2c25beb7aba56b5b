// DVidCapCtrl: property control of one attached capture filter.
//
// A client hands the object a capture filter once, in one of three forms
// (CaptureFilter: a VCapFilter descriptor; BaseFilter: the filter itself;
// FilterInfo: a DirectShow FilterInfo object). BaseFilter runs the
// attachment of property/detection.h, which picks the chipset family and
// installs one PropertyHandler; every property member then forwards to that
// handler. What attachment found is reported through the DebugLog event, the
// progress of block reads and writes through the Progress event.
//
// The object lives in a single-threaded apartment and takes no locks. Events
// are delivered synchronously from inside the member that fires them, so a
// sink may call back: during attachment the filter is already attached (the
// entries answer E_ABORT) and, until the handler is installed, the property
// members answer E_NOINTERFACE.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>

#include "automation/xu_session.h"

#include "com/com_object.h"
#include "lumora_idl.h"
#include "com/raii.h"
#include "property/detection.h"
#include "com/connection_point.h"

namespace lumora {

struct Platform;

// The instance creator of DVidCapCtrl (a row of the server's object table):
// the filter is reached through the platform the server passes.
HRESULT CreateDVidCapCtrl(const Platform& platform, IUnknown* outer, REFIID riid, void** ppv);

// DISPIDs of _IDVidCapCtrlEvents.
constexpr DISPID kDispidDebugLog = 1;
constexpr DISPID kDispidProgress = 2;

// One IDispatch serves IDVidCapCtrl and its extensions IDVidCapCtrl2 and
// IDVidCapCtrl3 (from the type information of the most derived interface).
class DVidCapCtrl : public com::Dispatch<IDVidCapCtrl3>, public IConnectionPointContainer {
 public:
  explicit DVidCapCtrl(const Platform& platform) noexcept;
  ~DVidCapCtrl();
  DVidCapCtrl(const DVidCapCtrl&) = delete;
  DVidCapCtrl& operator=(const DVidCapCtrl&) = delete;

  IUnknown* Interface(REFIID riid);

  // IDVidCapCtrl
  IFACEMETHODIMP put_CaptureFilter(IDispatch* descriptor) override;
  IFACEMETHODIMP put_BaseFilter(IUnknown* filter) override;
  IFACEMETHODIMP put_FilterInfo(IDispatch* info) override;
  IFACEMETHODIMP Has(::VidCapProperty property, ::VidCapPropertySupport* support) override;
  IFACEMETHODIMP GetRange(::VidCapProperty property, LONG* min, LONG* max, LONG* steppingDelta,
                          LONG* defaultValue, LONG* capsFlags) override;
  IFACEMETHODIMP get_Prop(::VidCapProperty property, LONG* value) override;
  IFACEMETHODIMP put_Prop(::VidCapProperty property, LONG value) override;
  IFACEMETHODIMP get_Chipset(::KnownChipsetCat* chipset) override;
  IFACEMETHODIMP GetSetting(SAFEARRAY** setting) override;
  IFACEMETHODIMP SetSetting(SAFEARRAY** setting) override;
  IFACEMETHODIMP GetLagtime(LONG property, LONG* minLag, LONG* maxLag, LONG* meanLag,
                            LONG* lagCount) override;

  // IDVidCapCtrl2: automatic and manual modes and defaults (see
  // TablePropertyHandler). Outputs are written only on success.
  IFACEMETHODIMP ModeSupport(::VidCapProperty property, LONG* modes) override;
  IFACEMETHODIMP get_Mode(::VidCapProperty property, ::VidCapPropertyMode* mode) override;
  IFACEMETHODIMP put_Mode(::VidCapProperty property, ::VidCapPropertyMode mode) override;
  IFACEMETHODIMP get_DefaultValue(::VidCapProperty property, LONG* value) override;
  // The range (minimum, maximum, stepping delta and, where the property
  // reports one, the default) and the lag statistics as arrays of VARIANTs,
  // for script clients; failures are those of GetRange and GetLagtime.
  IFACEMETHODIMP get_RangeList(::VidCapProperty property, VARIANT* list) override;
  IFACEMETHODIMP get_LagtimeList(LONG property, VARIANT* list) override;

  // IDVidCapCtrl3: the attached camera's extension units (XuSession). Before
  // attachment every member answers E_NOINTERFACE.
  IFACEMETHODIMP get_XuUnits(VARIANT* pVal) override;
  IFACEMETHODIMP get_XuUnnamedNodes(VARIANT* pVal) override;
  IFACEMETHODIMP get_XuUnitName(BSTR unit, BSTR* pVal) override;
  IFACEMETHODIMP get_XuControlName(BSTR unit, LONG selector, BSTR* pVal) override;
  IFACEMETHODIMP get_XuControls(BSTR unit, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuLength(BSTR unit, LONG selector, LONG* pVal) override;
  IFACEMETHODIMP get_XuAccess(BSTR unit, LONG selector, LONG* pVal) override;
  IFACEMETHODIMP get_XuMinimum(BSTR unit, LONG selector, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuMaximum(BSTR unit, LONG selector, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuResolution(BSTR unit, LONG selector, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuDefault(BSTR unit, LONG selector, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuValue(BSTR unit, LONG selector, VARIANT* pVal) override;
  IFACEMETHODIMP put_XuValue(BSTR unit, LONG selector, VARIANT newVal) override;
  IFACEMETHODIMP get_XuNames(VARIANT* pVal) override;
  IFACEMETHODIMP get_XuNamedInfo(BSTR name, VARIANT* pVal) override;
  IFACEMETHODIMP get_XuNamedValue(BSTR name, VARIANT* pVal) override;
  IFACEMETHODIMP put_XuNamedValue(BSTR name, VARIANT newVal) override;

  // IConnectionPointContainer
  IFACEMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  IFACEMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

 private:
  class AttachmentCallbacks;
  class BlockAccess;
  enum class Block { Read, Write };

  // The interface a client holds: members calling their own object go
  // through it, exactly as a client would.
  IDVidCapCtrl3* Self() noexcept { return static_cast<IDVidCapCtrl3*>(this); }
  // The session of the attached filter (made on first use), or null with
  // the failure in *hr.
  XuSession* Xu(HRESULT* hr) noexcept;

  HRESULT Attach(Microsoft::WRL::ComPtr<IUnknown> filter, std::unique_ptr<CaptureFilter> capture);
  HRESULT RunBlock(SAFEARRAY** setting, Block block) noexcept;
  void FireDebugLog(const char* text) noexcept;
  void FireProgress(float percent) noexcept;

  const Platform& platform_;
  com::ConnectionPoint events_;
  Microsoft::WRL::ComPtr<IVCapFilter> vcapFilter_;
  Microsoft::WRL::ComPtr<IUnknown> filterInfo_;  // the FilterInfo object
  Microsoft::WRL::ComPtr<IUnknown> baseFilter_;  // the filter; non-null: attached
  // ksPropertySet, privateSet, chipset and handler, as attachment left them.
  AttachmentState attachment_;
  com::Bstr filterName_;
  com::Bstr deviceVidPid_;
  std::unique_ptr<XuSession> xu_;
};

}  // namespace lumora
