// Ties the C++ copy of the catalogue in the public header (the enums nested in
// CLumoraAPIclass) and the IDL's copy (the enums widl writes into
// lumora_idl.h) to the core's rows: a value changed in one place fails the
// build here. catalogue_check_c.c does the same for the header's C enums.
#include "lumora_idl.h"
#include "property/catalogue.h"
#include "simpleapi/lumora.h"

#define LUMORA_CHECK_ROW(prefix, name, value)                                                \
  static_assert(lumora::prefix##name == (value), "core catalogue: " #prefix #name);          \
  static_assert(CLumoraAPIclass::prefix##name == (value), "lumora.h (C++): " #prefix #name); \
  static_assert(::prefix##name == (value), "lumora.idl: " #prefix #name);
#define LUMORA_CHECK_PROPERTY(name, value) LUMORA_CHECK_ROW(VCP_, name, value)
#define LUMORA_CHECK_SUPPORT(name, value) LUMORA_CHECK_ROW(VCS_, name, value)
#define LUMORA_CHECK_CHIPSET(name, value) LUMORA_CHECK_ROW(CSX_, name, value)
// Modes are macros in the public header (LUMORA_MODE_AUTO, ...).
#define LUMORA_CHECK_MODE(name, header, value)                                      \
  static_assert(lumora::VCM_##name == (value), "core catalogue: VCM_" #name);       \
  static_assert(LUMORA_MODE_##header == (value), "lumora.h: LUMORA_MODE_" #header); \
  static_assert(::VCM_##name == (value), "lumora.idl: VCM_" #name);

LUMORA_VIDCAP_PROPERTIES(LUMORA_CHECK_PROPERTY)
LUMORA_VIDCAP_SUPPORT(LUMORA_CHECK_SUPPORT)
LUMORA_KNOWN_CHIPSETS(LUMORA_CHECK_CHIPSET)
LUMORA_VIDCAP_MODES(LUMORA_CHECK_MODE)
