// The eleven well-known DirectShow device categories a filter enumerator
// can be asked for by number (KnownDeviceCat in the type library).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/types.h"

namespace lumora {

enum class KnownDeviceCategory : int32_t {
  VideoCapture = 0,          // CGC_VideoCapture
  VideoCompressor = 1,       // CGC_VideoCompressor
  AudioCompressor = 2,       // CGC_AudioCompressor
  AudioCapture = 3,          // CGC_AudioCapture
  AudioRender = 4,           // CGC_AudioRender
  DirectShowFilters = 5,     // CGC_DirectShowFilters
  MidiRenderer = 6,          // CGC_MidiRenderer
  ExternalRenderers = 7,     // CGC_ExternalRenderers
  DeviceControlFilters = 8,  // CGC_DeviceControlFilters
  ActiveMovie = 9,           // CGC_ActiveMovie
  DvdHwDecoders = 10,        // CGC_DVDHWDecoders
};

constexpr int32_t kKnownDeviceCategoryCount = 11;

// The class identifier of category `value`; none outside 0 to 10 (negative
// values included).
std::optional<Guid> KnownDeviceCategoryClsid(int32_t value);

// The same identifier as lower-case text in braces, e.g.
// "{860bb310-5d01-11d0-bd3b-00a0c911ce86}" for VideoCapture.
std::optional<std::string> KnownDeviceCategoryText(int32_t value);

}  // namespace lumora
