/* Ties the C enums of the public header to the core's catalogue rows: a
 * value changed in lumora.h fails the build here. */
#include "property/catalogue_list.h"
#include "simpleapi/lumora.h"

#define LUMORA_CHECK_ROW(prefix, name, value) \
  _Static_assert(prefix##name == (value), "lumora.h (C): " #prefix #name);
#define LUMORA_CHECK_PROPERTY(name, value) LUMORA_CHECK_ROW(VCP_, name, value)
#define LUMORA_CHECK_SUPPORT(name, value) LUMORA_CHECK_ROW(VCS_, name, value)
#define LUMORA_CHECK_CHIPSET(name, value) LUMORA_CHECK_ROW(CSX_, name, value)
#define LUMORA_CHECK_MODE(name, header, value) \
  _Static_assert(LUMORA_MODE_##header == (value), "lumora.h (C): LUMORA_MODE_" #header);

LUMORA_VIDCAP_PROPERTIES(LUMORA_CHECK_PROPERTY)
LUMORA_VIDCAP_SUPPORT(LUMORA_CHECK_SUPPORT)
LUMORA_KNOWN_CHIPSETS(LUMORA_CHECK_CHIPSET)
LUMORA_VIDCAP_MODES(LUMORA_CHECK_MODE)
