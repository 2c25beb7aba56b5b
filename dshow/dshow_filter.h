// The DirectShow / kernel-streaming realisation of the capture platform: a
// CaptureFilter over the COM interfaces of a real capture filter.
//
// Every Query* asks the filter for one interface and wraps the reference it
// gets in a small object that owns it; destroying the object releases it.
// Results are the HRESULTs of the COM calls, unchanged. Out parameters follow
// the library's one rule (com/out_param.h): a null one answers E_POINTER
// before the filter is called, and they are written only on success.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <wrl/client.h>

#include <memory>

#include "property/capture_platform.h"

namespace lumora {

class DShowFilter : public CaptureFilter {
 public:
  // Takes its own reference on the filter (not null).
  explicit DShowFilter(IBaseFilter* filter);

  HResult QueryVideoControl(std::unique_ptr<VideoControl>* out) override;
  HResult QueryVideoProcAmp(std::unique_ptr<VideoProcAmp>* out) override;
  HResult QueryCameraControl(std::unique_ptr<CameraControl>* out) override;
  HResult QueryKsControl(std::unique_ptr<KsControl>* out) override;
  HResult QueryKsPropertySet(std::unique_ptr<KsPropertySet>* out) override;
  HResult EnumPins(std::unique_ptr<PinEnumerator>* out) override;

  // Borrowed; valid while this object lives.
  IBaseFilter* filter() const { return filter_.Get(); }

 private:
  Microsoft::WRL::ComPtr<IBaseFilter> filter_;
};

// The IPin behind a pin handed out by a DShowFilter's pin enumeration, or
// null for any other pin (borrowed; valid while the pin lives).
IPin* DShowPinInterface(Pin* pin);

// A capture filter over a DirectShow filter; takes its own reference. Null
// when the filter is null or memory runs out.
std::unique_ptr<CaptureFilter> MakeDShowFilter(IBaseFilter* filter);

}  // namespace lumora
