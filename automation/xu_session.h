// The extension units of one attached capture filter for the automation
// classes: what IDVidCapCtrl3 answers. Discovery runs on first use and is
// kept with the filter; a driver failure (an unplugged camera among them)
// drops it, so the next call asks the camera again. Definitions are loaded
// once per session from the folder shipped beside the library
// ("xu-definitions") and then the user's "%APPDATA%\Lumora\xu" (later files
// override earlier ones, control by control).
//
// Every failure is reported with a one-line text (com::ReportError) naming
// what was not found or refused, or the driver's code and its meaning.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xu/definitions.h"
#include "xu/discovery.h"
#include "xu/named.h"

namespace lumora {

struct Platform;

class XuSession {
 public:
  // Borrows the platform and the filter (which the owner keeps). `log`
  // receives each definition file's problem, once (one line each).
  XuSession(const Platform& platform, IUnknown* filter,
            std::function<void(const std::string&)> log) noexcept;

  enum class Fact { kMinimum, kMaximum, kResolution, kDefault };

  HRESULT Units(VARIANT* out) noexcept;
  HRESULT UnnamedNodes(VARIANT* out) noexcept;
  // The definitions' name of a unit (selector 0) or of a control; "" for
  // none.
  HRESULT DefinedName(BSTR unit, LONG selector, BSTR* out) noexcept;
  HRESULT Controls(BSTR unit, VARIANT* out) noexcept;
  HRESULT Length(BSTR unit, LONG selector, LONG* out) noexcept;
  HRESULT Access(BSTR unit, LONG selector, LONG* out) noexcept;
  HRESULT FactOf(BSTR unit, LONG selector, Fact fact, VARIANT* out) noexcept;
  HRESULT GetValue(BSTR unit, LONG selector, VARIANT* out) noexcept;
  HRESULT PutValue(BSTR unit, LONG selector, const VARIANT& value) noexcept;
  HRESULT Names(VARIANT* out) noexcept;
  HRESULT NamedInfo(BSTR name, VARIANT* out) noexcept;
  HRESULT GetNamed(BSTR name, VARIANT* out) noexcept;
  HRESULT PutNamed(BSTR name, const VARIANT& value) noexcept;

 private:
  HRESULT Ready();
  HRESULT Find(BSTR unitText, LONG selector, const xu::UnitFacts** unit,
               const xu::ControlFacts** control);
  // Finds the control (and, with `withLength`, its length) and runs
  // body(unit, control, length) on it, guarded.
  template <class Body>
  HRESULT OnControl(BSTR unit, LONG selector, bool withLength, Body body) noexcept;
  HRESULT FindNamed(BSTR name, xu::NamedField* found);
  HRESULT Failed(const xu::Status& status);
  // The control's length: the one discovery read, or else asked now (a
  // failure then reports the driver's code).
  HRESULT LengthOf(const xu::UnitFacts& unit, const xu::ControlFacts& control, uint32_t* length);
  HRESULT Read(const xu::UnitFacts& unit, const xu::ControlFacts& control, xu::Bytes* value);
  HRESULT Write(const xu::UnitFacts& unit, const xu::ControlFacts& control, const xu::Bytes& value);

  const Platform& platform_;
  IUnknown* filter_;  // borrowed from the owner
  std::function<void(const std::string&)> log_;
  std::unique_ptr<xu::XuTransport> transport_;
  bool loaded_ = false;
  xu::Definitions definitions_;
  bool discovered_ = false;
  std::vector<xu::UnitFacts> units_;
  // Names found before, as callers wrote them (they point into units_ and
  // definitions_, and go whenever units_ changes).
  std::vector<std::pair<std::string, xu::NamedField>> named_;
};

}  // namespace lumora
