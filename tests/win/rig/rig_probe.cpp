// Lists the video capture devices that the prefix's system device enumerator
// reports, and checks them against what the caller expects:
//   rig_probe rig   the simulated devices of LumoraSim.dll (default preset)
//   rig_probe real  Wine's own enumerator, which finds no camera
// Exit 0 when the expectation holds, 1 otherwise.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

struct Device {
  std::wstring displayName;
  std::wstring friendlyName;  // empty when the bag has none
};

HRESULT ListVideoDevices(std::vector<Device>* devices) {
  ComPtr<ICreateDevEnum> devEnum;
  HRESULT h = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&devEnum));
  if (FAILED(h)) {
    std::printf("CoCreateInstance(CLSID_SystemDeviceEnum) failed: 0x%08lx\n",
                static_cast<unsigned long>(h));
    return h;
  }
  ComPtr<IEnumMoniker> monikers;
  h = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  std::printf("CreateClassEnumerator: 0x%08lx\n", static_cast<unsigned long>(h));
  if (h != S_OK) return h;
  ComPtr<IMoniker> m;
  while (monikers->Next(1, &m, nullptr) == S_OK) {
    Device d;
    LPOLESTR name = nullptr;
    if (SUCCEEDED(m->GetDisplayName(nullptr, nullptr, &name))) {
      d.displayName = name;
      CoTaskMemFree(name);
    }
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(m->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
      VARIANT v;
      VariantInit(&v);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && V_VT(&v) == VT_BSTR) {
        d.friendlyName = V_BSTR(&v);
      }
      VariantClear(&v);
    }
    std::printf("  %ls | %ls\n", d.displayName.c_str(), d.friendlyName.c_str());
    devices->push_back(d);
  }
  return S_OK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || (std::strcmp(argv[1], "rig") != 0 && std::strcmp(argv[1], "real") != 0)) {
    std::printf("usage: rig_probe rig|real\n");
    return 2;
  }
  const bool wantRig = std::strcmp(argv[1], "rig") == 0;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  std::vector<Device> devices;
  HRESULT h = ListVideoDevices(&devices);
  const bool rigLoaded = GetModuleHandleW(L"LumoraSim.dll") != nullptr;
  CoUninitialize();
  std::printf("devices: %u, LumoraSim.dll loaded: %s\n", static_cast<unsigned>(devices.size()),
              rigLoaded ? "yes" : "no");

  bool ok;
  if (wantRig) {
    ok =
        h == S_OK && rigLoaded && devices.size() == 11 &&
        devices[3].displayName ==
            LR"(@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)" &&
        devices[3].friendlyName == L"Philips SPC 900NC PC Camera";
  } else {
    ok = h == S_FALSE && !rigLoaded && devices.empty();
  }
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
