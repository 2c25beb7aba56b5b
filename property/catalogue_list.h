/* The catalogue itself, as lists of (name, value) rows in published order,
 * aliases included (a later row with the value of an earlier one is an
 * alias). property/catalogue.h builds the enums and the name table from
 * these rows; simpleapi/catalogue_check* tie the public header's and the
 * IDL's copies to them. Plain C preprocessor, usable from C and C++. */
#ifndef LUMORA_PROPERTY_CATALOGUE_LIST_H
#define LUMORA_PROPERTY_CATALOGUE_LIST_H

/* VidCapProperty: X(name without VCP_, value). */
#define LUMORA_VIDCAP_PROPERTIES(X) \
  X(Brightness, 0)                  \
  X(FirstElement, 0)                \
  X(Contrast, 1)                    \
  X(Hue, 2)                         \
  X(Saturation, 3)                  \
  X(Sharpness, 4)                   \
  X(Gamma, 5)                       \
  X(ColorEnable, 6)                 \
  X(WhiteBalance, 7)                \
  X(BacklightCompensation, 8)       \
  X(WhiteBalanceMode, 9)            \
  X(WhiteBalRed, 10)                \
  X(WhiteBalBlue, 11)               \
  X(FlickerFree, 12)                \
  X(Flicker50_60, 13)               \
  X(FPS, 14)                        \
  X(Exposure, 15)                   \
  X(Gain, 16)                       \
  X(FlipHorizontal, 17)             \
  X(FlipVertical, 18)               \
  X(AutoExposure, 19)               \
  X(AutoAll, 20)                    \
  X(LastSetting, 20)                \
  X(ActualFrameRate, 21)            \
  X(LED, 22)                        \
  X(Setting, 23)                    \
  X(ExtTrigger, 24)                 \
  X(SWTrigger, 25)                  \
  X(Pan, 26)                        \
  X(Tilt, 27)                       \
  X(Roll, 28)                       \
  X(Zoom, 29)                       \
  X(Iris, 30)                       \
  X(CamExposure, 30)                \
  X(Focus, 31)                      \
  X(LastElement, 31)

/* VidCapPropertySupport: X(name without VCS_, value). */
#define LUMORA_VIDCAP_SUPPORT(X) \
  X(no, 0)                       \
  X(get, 1)                      \
  X(set, 2)                      \
  X(both, 3)

/* VidCapPropertyMode: X(name without VCM_, name in the public header's
 * LUMORA_MODE_ macros, value). The values are bits: a property's modes are
 * reported as their sum. */
#define LUMORA_VIDCAP_MODES(X) \
  X(Auto, AUTO, 1)             \
  X(Manual, MANUAL, 2)

/* KnownChipsetCat: X(name without CSX_, value). */
#define LUMORA_KNOWN_CHIPSETS(X) \
  X(Unknown, 0)                  \
  X(SAA8112, 1)                  \
  X(SAA8116, 3)                  \
  X(CREALIVEULTRA, 4)            \
  X(LOGIFUSION, 5)

#endif
