#include "enumeration/device_category.h"

namespace lumora {
namespace {

// Indexed by KnownDeviceCategory.
constexpr Guid kCategories[kKnownDeviceCategoryCount] = {
    Guid::Parse("860BB310-5D01-11D0-BD3B-00A0C911CE86"),  // CLSID_VideoInputDeviceCategory
    Guid::Parse("33D9A760-90C8-11D0-BD43-00A0C911CE86"),  // CLSID_VideoCompressorCategory
    Guid::Parse("33D9A761-90C8-11D0-BD43-00A0C911CE86"),  // CLSID_AudioCompressorCategory
    Guid::Parse("33D9A762-90C8-11D0-BD43-00A0C911CE86"),  // CLSID_AudioInputDeviceCategory
    Guid::Parse("E0F158E1-CB04-11D0-BD4E-00A0C911CE86"),  // CLSID_AudioRendererCategory
    Guid::Parse("083863F1-70DE-11D0-BD40-00A0C911CE86"),  // CLSID_LegacyAmFilterCategory
    Guid::Parse("4EFE2452-168A-11D1-BC76-00C04FB9453B"),  // CLSID_MidiRendererCategory
    Guid::Parse("CC7BFB41-F175-11D1-A392-00E0291F3959"),  // CLSID_TransmitCategory
    Guid::Parse("CC7BFB46-F175-11D1-A392-00E0291F3959"),  // CLSID_DeviceControlCategory
    Guid::Parse("DA4E3DA0-D07D-11D0-BD50-00A0C911CE86"),  // CLSID_ActiveMovieCategories
    Guid::Parse("2721AE20-7E70-11D0-A5D6-28DB04C10000"),  // CLSID_DVDHWDecodersCategory
};

}  // namespace

std::optional<Guid> KnownDeviceCategoryClsid(int32_t value) {
  // Compared unsigned, so that negative values are out of range too.
  if (static_cast<uint32_t>(value) >= static_cast<uint32_t>(kKnownDeviceCategoryCount)) {
    return std::nullopt;
  }
  return kCategories[value];
}

std::optional<std::string> KnownDeviceCategoryText(int32_t value) {
  std::optional<Guid> clsid = KnownDeviceCategoryClsid(value);
  if (!clsid) return std::nullopt;
  return "{" + clsid->ToString() + "}";
}

}  // namespace lumora
