/* lumora.h: the simple camera API of Lumora.dll, for C and C++ programs.
 *
 * The library numbers the machine's video-capture devices from 0 (at most
 * 10) and keeps one current camera. Call EnumCams once, show the cameras
 * with GetCamStrings, choose one with SetCam, then read and write its
 * properties by number.
 *
 * Two forms:
 *   - ten plain functions that act on one instance shared by the whole
 *     process; they answer 0 for success and -1 for failure;
 *   - the class CLumoraAPIclass (C++ only): every object keeps its own camera
 *     list and current camera; its methods answer true or false.
 *
 * The plain functions use the __stdcall calling convention and are exported
 * under their undecorated names (EnumCams, not _EnumCams@0), as language
 * runtimes that declare DLL functions by name expect. Link with
 * libLumora.dll.a (mingw) or declare them from your language.
 *
 * Strings are narrow, in the system ANSI code page. The string tables belong
 * to the library: do not free or change them, and do not use them after the
 * next EnumCams on the same object (or instance), or after its destruction.
 *
 * Out parameters are written only on success. Call from one thread: the
 * thread that first calls a plain function has COM initialised for it as a
 * single-threaded apartment if it had not initialised COM itself; an object
 * of the class initialises COM on the thread that constructs it.
 */
#ifndef LUMORA_H
#define LUMORA_H

#ifdef LUMORA_BUILDING_DLL
#define LUMORA_API
#else
#define LUMORA_API __declspec(dllimport)
#endif

/* Room in the string tables, and the most cameras listed. */
#define LUMORA_MAX_CAMS 10

#ifndef __cplusplus
/* The property catalogue. Support can be asked for every property; range,
 * value and setting only for 0 to 25 (VCP_SWTrigger). */
typedef enum EVidCapProperty {
  VCP_Brightness = 0,
  VCP_FirstElement = 0,
  VCP_Contrast = 1,
  VCP_Hue = 2,
  VCP_Saturation = 3,
  VCP_Sharpness = 4,
  VCP_Gamma = 5,
  VCP_ColorEnable = 6,
  VCP_WhiteBalance = 7,
  VCP_BacklightCompensation = 8,
  VCP_WhiteBalanceMode = 9,
  VCP_WhiteBalRed = 10,
  VCP_WhiteBalBlue = 11,
  VCP_FlickerFree = 12,
  VCP_Flicker50_60 = 13,
  VCP_FPS = 14,
  VCP_Exposure = 15,
  VCP_Gain = 16,
  VCP_FlipHorizontal = 17,
  VCP_FlipVertical = 18,
  VCP_AutoExposure = 19,
  VCP_AutoAll = 20,
  VCP_LastSetting = 20,
  VCP_ActualFrameRate = 21,
  VCP_LED = 22,
  VCP_Setting = 23,
  VCP_ExtTrigger = 24,
  VCP_SWTrigger = 25,
  VCP_Pan = 26,
  VCP_Tilt = 27,
  VCP_Roll = 28,
  VCP_Zoom = 29,
  VCP_Iris = 30,
  VCP_CamExposure = 30,
  VCP_Focus = 31,
  VCP_LastElement = 31
} EVidCapProperty;

typedef enum EVidCapPropertySupport {
  VCS_no = 0,
  VCS_get = 1,
  VCS_set = 2,
  VCS_both = 3
} EVidCapPropertySupport;

typedef enum EKnownChipsetCat {
  CSX_Unknown = 0,
  CSX_SAA8112 = 1,
  CSX_SAA8116 = 3,
  CSX_CREALIVEULTRA = 4,
  CSX_LOGIFUSION = 5
} EKnownChipsetCat;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Lists the video-capture devices; 0, or -1 when they cannot be listed. */
LUMORA_API int __stdcall EnumCams(void);
/* The filter names, device serials and device names of the listed cameras:
 * *table receives a table of LUMORA_MAX_CAMS string pointers (entries
 * *count and above are null), *count the number of listed cameras. */
LUMORA_API void __stdcall GetCamStrings(char*** table, unsigned long* count);
LUMORA_API void __stdcall GetCamSerials(char*** table, unsigned long* count);
LUMORA_API void __stdcall GetDevStrings(char*** table, unsigned long* count);
/* Makes camera index current (below the number listed); -1 clears the
 * selection. */
LUMORA_API int __stdcall SetCam(long index);
/* Property access on the current camera; property is an EVidCapProperty. */
LUMORA_API int __stdcall CamProperty_Support(long property, long* support);
LUMORA_API int __stdcall CamProperty_Range(long property, long* minimum, long* maximum,
                                           long* delta);
LUMORA_API int __stdcall CamProperty_Set(long property, long value);
LUMORA_API int __stdcall CamProperty_Get(long property, long* value);
/* The current camera's chipset, an EKnownChipsetCat. */
LUMORA_API int __stdcall CamChipset(long* chipset);

/* Automatic and manual modes and factory defaults of the current camera's
 * properties 0 to 31. Modes exist for the standard controls (exposure, white
 * balance, focus, ...); vendor-specific properties have none.
 * CamProperty_Modes: *supported receives the modes the property offers
 * (LUMORA_MODE_AUTO and LUMORA_MODE_MANUAL bits, 0 when it has none) and
 * *current its mode (0 when it has none). CamProperty_SetMode switches a
 * property to one of the modes it offers, keeping its value; to set a manual
 * value, switch to LUMORA_MODE_MANUAL first, then CamProperty_Set.
 * CamProperty_Default: the default value the camera reports (fails for a
 * property without one). */
#define LUMORA_MODE_AUTO 1
#define LUMORA_MODE_MANUAL 2
LUMORA_API int __stdcall CamProperty_Modes(long property, long* supported, long* current);
LUMORA_API int __stdcall CamProperty_SetMode(long property, long mode);
LUMORA_API int __stdcall CamProperty_Default(long property, long* value);

/* Lists every video-capture source: the devices EnumCams lists, in the same
 * order, then the other sources (capture filters of their own, software and
 * virtual cameras; their device name is the source's moniker display name).
 * The tables, SetCam and the property functions then work on this list;
 * EnumCams goes back to the devices alone. 0, or -1 when the sources cannot
 * be listed. */
LUMORA_API int __stdcall EnumAllCams(void);

#ifdef __cplusplus
}

class LUMORA_API CLumoraAPIclass {
 public:
  // Fixed underlying types: every 32-bit number is a valid value to pass
  // (the library checks the range).
  enum EVidCapProperty : long {
    VCP_Brightness = 0,
    VCP_FirstElement = 0,
    VCP_Contrast = 1,
    VCP_Hue = 2,
    VCP_Saturation = 3,
    VCP_Sharpness = 4,
    VCP_Gamma = 5,
    VCP_ColorEnable = 6,
    VCP_WhiteBalance = 7,
    VCP_BacklightCompensation = 8,
    VCP_WhiteBalanceMode = 9,
    VCP_WhiteBalRed = 10,
    VCP_WhiteBalBlue = 11,
    VCP_FlickerFree = 12,
    VCP_Flicker50_60 = 13,
    VCP_FPS = 14,
    VCP_Exposure = 15,
    VCP_Gain = 16,
    VCP_FlipHorizontal = 17,
    VCP_FlipVertical = 18,
    VCP_AutoExposure = 19,
    VCP_AutoAll = 20,
    VCP_LastSetting = 20,
    VCP_ActualFrameRate = 21,
    VCP_LED = 22,
    VCP_Setting = 23,
    VCP_ExtTrigger = 24,
    VCP_SWTrigger = 25,
    VCP_Pan = 26,
    VCP_Tilt = 27,
    VCP_Roll = 28,
    VCP_Zoom = 29,
    VCP_Iris = 30,
    VCP_CamExposure = 30,
    VCP_Focus = 31,
    VCP_LastElement = 31
  };
  enum EVidCapPropertySupport : long { VCS_no = 0, VCS_get = 1, VCS_set = 2, VCS_both = 3 };
  enum EKnownChipsetCat : long {
    CSX_Unknown = 0,
    CSX_SAA8112 = 1,
    CSX_SAA8116 = 3,
    CSX_CREALIVEULTRA = 4,
    CSX_LOGIFUSION = 5
  };

  // A new object with its own (empty) camera list. Counts in DllUsers.
  CLumoraAPIclass();
  // Copies share one camera list and current camera; the last copy to go
  // releases them. Copying does not count in DllUsers.
  CLumoraAPIclass(const CLumoraAPIclass& other);
  CLumoraAPIclass& operator=(const CLumoraAPIclass& other);
  virtual ~CLumoraAPIclass();

  // An empty text (kept for callers that show it).
  char* ErrString();
  // Objects constructed minus objects destroyed, the library's own shared
  // instance included (1 right after the library is loaded).
  long DllUsers();

  bool EnumCams();
  // *table receives the address of the object's table of LUMORA_MAX_CAMS
  // string pointers, *count the number of listed cameras.
  void GetCamStrings(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count);
  void GetCamSerials(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count);
  void GetDevStrings(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count);
  // false when index is not below the number of listed cameras; a negative
  // index clears the selection.
  bool SetCam(long index);
  bool CamProperty_Support(EVidCapProperty property, EVidCapPropertySupport* support);
  bool CamProperty_Range(EVidCapProperty property, long* minimum, long* maximum, long* delta);
  bool CamProperty_Set(EVidCapProperty property, long value);
  bool CamProperty_Get(EVidCapProperty property, long* value);
  bool CamChipset(EKnownChipsetCat* chipset);

 private:
  struct Shared;  // the camera manager and the number of objects sharing it
  enum LibraryInstanceTag { kLibraryInstance };
  explicit CLumoraAPIclass(LibraryInstanceTag);
  friend class LumoraLibraryInstance;

  char m_errString[512];
  Shared* m_shared;
};
#endif /* __cplusplus */

#endif /* LUMORA_H */
