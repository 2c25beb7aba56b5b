// The exported simple camera API: the class CLumoraAPIclass and the plain
// functions, which act on one library-wide instance of the class.
#include "lumora.h"

#include <atomic>
#include <cstring>
#include <new>

#include "simpleapi/camera_manager.h"

using lumora::simpleapi::CameraManager;

namespace {

// Objects constructed minus objects destroyed (copies are not counted on
// construction; see the copy constructor). Objects live on any thread.
std::atomic<long> g_users{0};

// Returned as the table of an object whose manager could not be allocated.
char* g_noCameras[LUMORA_MAX_CAMS] = {};

static_assert(CameraManager::kCapacity == LUMORA_MAX_CAMS, "table size of lumora.h");

}  // namespace

// One manager shared by an object and its copies; the last owner deletes it.
struct CLumoraAPIclass::Shared {
  explicit Shared(CameraManager::ComSetup setup) noexcept : manager(setup) {}
  CameraManager manager;
  std::atomic<long> owners{1};  // copies live on any thread

  // Drops one owner; the last one clears the selection (which releases the
  // current control) and deletes the manager.
  static void Release(Shared* shared) noexcept {
    if (!shared || --shared->owners > 0) return;
    shared->manager.SetCam(-1);
    delete shared;
  }
};

CLumoraAPIclass::CLumoraAPIclass()
    : m_shared(new (std::nothrow) Shared(CameraManager::ComSetup::kAtConstruction)) {
  std::memset(m_errString, 0, sizeof m_errString);
  ++g_users;
}

CLumoraAPIclass::CLumoraAPIclass(LibraryInstanceTag)
    : m_shared(new (std::nothrow) Shared(CameraManager::ComSetup::kOnFirstUse)) {
  std::memset(m_errString, 0, sizeof m_errString);
  ++g_users;
}

CLumoraAPIclass::CLumoraAPIclass(const CLumoraAPIclass& other) : m_shared(other.m_shared) {
  std::memcpy(m_errString, other.m_errString, sizeof m_errString);
  if (m_shared) ++m_shared->owners;
}

CLumoraAPIclass& CLumoraAPIclass::operator=(const CLumoraAPIclass& other) {
  if (this == &other) return *this;
  std::memcpy(m_errString, other.m_errString, sizeof m_errString);
  if (other.m_shared) ++other.m_shared->owners;
  Shared::Release(m_shared);
  m_shared = other.m_shared;
  return *this;
}

CLumoraAPIclass::~CLumoraAPIclass() {
  Shared::Release(m_shared);
  --g_users;
}

char* CLumoraAPIclass::ErrString() { return m_errString; }

long CLumoraAPIclass::DllUsers() { return g_users.load(); }

bool CLumoraAPIclass::EnumCams() { return m_shared && m_shared->manager.EnumCams(); }

void CLumoraAPIclass::GetCamStrings(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count) {
  if (count) *count = m_shared ? static_cast<unsigned long>(m_shared->manager.Count()) : 0;
  if (table) *table = m_shared ? &m_shared->manager.CamNameTable() : &g_noCameras;
}

void CLumoraAPIclass::GetCamSerials(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count) {
  if (count) *count = m_shared ? static_cast<unsigned long>(m_shared->manager.Count()) : 0;
  if (table) *table = m_shared ? &m_shared->manager.CamSerialTable() : &g_noCameras;
}

void CLumoraAPIclass::GetDevStrings(char* (** const table)[LUMORA_MAX_CAMS], unsigned long* count) {
  if (count) *count = m_shared ? static_cast<unsigned long>(m_shared->manager.Count()) : 0;
  if (table) *table = m_shared ? &m_shared->manager.DevNameTable() : &g_noCameras;
}

bool CLumoraAPIclass::SetCam(long index) {
  if (!m_shared || index >= m_shared->manager.Count()) return false;
  return m_shared->manager.SetCam(index);
}

bool CLumoraAPIclass::CamProperty_Support(EVidCapProperty property,
                                          EVidCapPropertySupport* support) {
  long value = 0;
  if (!m_shared || !support || !m_shared->manager.CamProperty_Support(property, &value)) {
    return false;
  }
  *support = static_cast<EVidCapPropertySupport>(value);
  return true;
}

bool CLumoraAPIclass::CamProperty_Range(EVidCapProperty property, long* minimum, long* maximum,
                                        long* delta) {
  return m_shared && m_shared->manager.CamProperty_Range(property, minimum, maximum, delta);
}

bool CLumoraAPIclass::CamProperty_Set(EVidCapProperty property, long value) {
  return m_shared && m_shared->manager.CamProperty_Set(property, value);
}

bool CLumoraAPIclass::CamProperty_Get(EVidCapProperty property, long* value) {
  return m_shared && m_shared->manager.CamProperty_Get(property, value);
}

bool CLumoraAPIclass::CamChipset(EKnownChipsetCat* chipset) {
  long value = 0;
  if (!m_shared || !chipset || !m_shared->manager.CamChipset(&value)) return false;
  *chipset = static_cast<EKnownChipsetCat>(value);
  return true;
}

// The instance behind the plain functions: constructed when the library is
// loaded (so DllUsers counts it from the start), in storage the runtime never
// destroys by itself. Its manager initialises COM only on the thread of the
// first plain-function call that needs it, never from the load or unload
// notification.
//
// Unload: once a plain function has reached for COM (EnumCams, SetCam), the
// library keeps itself loaded until the process ends, because the instance
// then holds COM objects (cameras, filters, the driver's interfaces) that
// must not be released under the loader lock. So FreeLibrary with a camera
// selected changes nothing, and at process exit the instance is left as it
// is: no call into COM or a driver, the system reclaims everything. Only a
// library whose plain functions never used COM ends its instance, on
// FreeLibrary (ReleaseLibraryInstance), when there is nothing to release.
class LumoraLibraryInstance {
 public:
  static CLumoraAPIclass& Get() noexcept { return *instance; }
  // Friend access for lumora::simpleapi::ManagerOf.
  static CameraManager* Manager(CLumoraAPIclass& api) noexcept {
    return api.m_shared ? &api.m_shared->manager : nullptr;
  }
  static void Destroy() noexcept {
    if (!instance) return;
    instance->~CLumoraAPIclass();
    instance = nullptr;
  }

 private:
  alignas(CLumoraAPIclass) static unsigned char storage[sizeof(CLumoraAPIclass)];
  static CLumoraAPIclass* instance;
};

alignas(CLumoraAPIclass) unsigned char LumoraLibraryInstance::storage[sizeof(CLumoraAPIclass)];
CLumoraAPIclass* LumoraLibraryInstance::instance =
    new (LumoraLibraryInstance::storage) CLumoraAPIclass(CLumoraAPIclass::kLibraryInstance);

void lumora::simpleapi::ReleaseLibraryInstance() noexcept { LumoraLibraryInstance::Destroy(); }

CameraManager* lumora::simpleapi::ManagerOf(CLumoraAPIclass& api) noexcept {
  return LumoraLibraryInstance::Manager(api);
}

namespace {

int Result(bool ok) noexcept { return ok ? 0 : -1; }

CLumoraAPIclass& Library() noexcept { return LumoraLibraryInstance::Get(); }

// Pins the library in the process the first time a plain function is about
// to use COM (see LumoraLibraryInstance). Tried again if pinning failed.
void KeepLibraryLoaded() noexcept {
  static std::atomic<bool> pinned{false};
  if (pinned.load()) return;
  HMODULE self = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&KeepLibraryLoaded), &self)) {
    pinned.store(true);
  }
}

// The plain functions hand out the table as char**.
void Table(char* (*table)[LUMORA_MAX_CAMS], char*** out) noexcept {
  if (out) *out = *table;
}

}  // namespace

extern "C" {

int __stdcall EnumCams(void) {
  KeepLibraryLoaded();
  return Result(Library().EnumCams());
}

void __stdcall GetCamStrings(char*** table, unsigned long* count) {
  char*(*slots)[LUMORA_MAX_CAMS] = nullptr;
  Library().GetCamStrings(&slots, count);
  Table(slots, table);
}

void __stdcall GetCamSerials(char*** table, unsigned long* count) {
  char*(*slots)[LUMORA_MAX_CAMS] = nullptr;
  Library().GetCamSerials(&slots, count);
  Table(slots, table);
}

void __stdcall GetDevStrings(char*** table, unsigned long* count) {
  char*(*slots)[LUMORA_MAX_CAMS] = nullptr;
  Library().GetDevStrings(&slots, count);
  Table(slots, table);
}

int __stdcall SetCam(long index) {
  KeepLibraryLoaded();
  return Result(Library().SetCam(index));
}

int __stdcall CamProperty_Support(long property, long* support) {
  CLumoraAPIclass::EVidCapPropertySupport value = CLumoraAPIclass::VCS_no;
  if (!support || !Library().CamProperty_Support(
                      static_cast<CLumoraAPIclass::EVidCapProperty>(property), &value)) {
    return -1;
  }
  *support = value;
  return 0;
}

int __stdcall CamProperty_Range(long property, long* minimum, long* maximum, long* delta) {
  return Result(Library().CamProperty_Range(static_cast<CLumoraAPIclass::EVidCapProperty>(property),
                                            minimum, maximum, delta));
}

int __stdcall CamProperty_Set(long property, long value) {
  return Result(
      Library().CamProperty_Set(static_cast<CLumoraAPIclass::EVidCapProperty>(property), value));
}

int __stdcall CamProperty_Get(long property, long* value) {
  return Result(
      Library().CamProperty_Get(static_cast<CLumoraAPIclass::EVidCapProperty>(property), value));
}

int __stdcall CamChipset(long* chipset) {
  CLumoraAPIclass::EKnownChipsetCat value = CLumoraAPIclass::CSX_Unknown;
  if (!chipset || !Library().CamChipset(&value)) return -1;
  *chipset = value;
  return 0;
}

int __stdcall CamProperty_Modes(long property, long* supported, long* current) {
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  if (!manager || !supported || !current) return -1;
  LONG modes = 0, mode = 0;
  if (FAILED(manager->ModeSupport(property, &modes))) return -1;
  if (modes != 0 && FAILED(manager->GetMode(property, &mode))) return -1;
  *supported = modes;
  *current = mode;
  return 0;
}

int __stdcall CamProperty_SetMode(long property, long mode) {
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  return Result(manager && SUCCEEDED(manager->SetMode(property, mode)));
}

int __stdcall CamProperty_Default(long property, long* value) {
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  LONG read = 0;
  if (!manager || !value || FAILED(manager->Default(property, &read))) return -1;
  *value = read;
  return 0;
}

int __stdcall EnumAllCams(void) {
  KeepLibraryLoaded();
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  return Result(manager && manager->EnumAllCams());
}

int __stdcall CamXu_Get(const char* unit, long selector, unsigned char* buffer, unsigned long size,
                        unsigned long* length) {
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  if (!manager || !length) return -1;
  ULONG got = 0;
  HRESULT hr = manager->XuGet(unit, selector, buffer, size, &got);
  // A buffer too small still learns the control's length.
  if (SUCCEEDED(hr) || hr == HRESULT_FROM_WIN32(ERROR_MORE_DATA)) *length = got;
  return Result(SUCCEEDED(hr));
}

int __stdcall CamXu_Set(const char* unit, long selector, const unsigned char* data,
                        unsigned long length) {
  CameraManager* manager = lumora::simpleapi::ManagerOf(Library());
  return Result(manager && SUCCEEDED(manager->XuSet(unit, selector, data, length)));
}

}  // extern "C"
