/* A C program against the import library: automatic and manual modes and
 * defaults through the plain exports. Exposure of a simulated camera goes to
 * manual at a value and reads back, then to automatic, where the camera moves
 * the value by itself; bad input fails and writes nothing. Prints
 * "c_modes: ok" and exits 0 when every step answered as documented. */
#include <stdio.h>

#include "lumora.h"

#define CLIENT_NAME "c_modes"
#include "tests/win/simpleapi/client_check.h"

int main(void) {
  long supported = 4711, current = 4711, value = 4711, first = 0, def = 0;
  long minimum = 0, maximum = 0, delta = 0, target = 0;
  long camera = -1, i;
  unsigned long count = 0;
  char** names = NULL;

  check(CamProperty_Modes(VCP_Exposure, &supported, &current) == -1, "no modes without a camera");
  check(supported == 4711 && current == 4711, "outputs untouched on failure");
  check(EnumCams() == 0, "EnumCams");
  GetCamStrings(&names, &count);

  /* The first camera whose exposure offers both modes. */
  for (i = 0; i < (long)count && camera < 0; ++i) {
    if (SetCam(i) == 0 && CamProperty_Modes(VCP_Exposure, &supported, &current) == 0 &&
        supported == (LUMORA_MODE_AUTO | LUMORA_MODE_MANUAL)) {
      camera = i;
    }
  }
  check(camera >= 0, "a camera whose exposure offers automatic and manual mode");
  if (camera < 0) return 1;
  printf("camera %ld: %s\n", camera, names[camera]);

  check(CamProperty_Range(VCP_Exposure, &minimum, &maximum, &delta) == 0, "range");
  check(CamProperty_Default(VCP_Exposure, &def) == 0, "default");
  check(def >= minimum && def <= maximum, "the default lies in the range");

  /* Manual at a value: the mode first, then the value. */
  check(CamProperty_Get(VCP_Exposure, &value) == 0, "read");
  target = value == minimum ? maximum : minimum;
  check(CamProperty_SetMode(VCP_Exposure, LUMORA_MODE_MANUAL) == 0, "switch to manual");
  check(CamProperty_Set(VCP_Exposure, target) == 0, "write the manual value");
  check(CamProperty_Modes(VCP_Exposure, &supported, &current) == 0, "modes");
  check(current == LUMORA_MODE_MANUAL, "the mode reads back as manual");
  check(CamProperty_Get(VCP_Exposure, &value) == 0 && value == target, "the value reads back");
  check(CamProperty_Get(VCP_Exposure, &value) == 0 && value == target, "and stays");

  /* Automatic: the camera moves the value by itself. */
  check(CamProperty_SetMode(VCP_Exposure, LUMORA_MODE_AUTO) == 0, "switch to automatic");
  check(CamProperty_Modes(VCP_Exposure, &supported, &current) == 0 && current == LUMORA_MODE_AUTO,
        "the mode reads back as automatic");
  check(CamProperty_Get(VCP_Exposure, &first) == 0, "read in automatic mode");
  check(CamProperty_Get(VCP_Exposure, &value) == 0, "read again");
  check(value != first, "in automatic mode the value changes by itself");
  printf("automatic: %ld then %ld\n", first, value);

  /* Bad input: a failure, and nothing written. */
  check(CamProperty_SetMode(VCP_Exposure, 3) == -1, "mode 3 is refused");
  check(CamProperty_SetMode(VCP_Exposure, 0) == -1, "mode 0 is refused");
  check(CamProperty_Modes(VCP_Exposure, &supported, &current) == 0 && current == LUMORA_MODE_AUTO,
        "a refused mode changes nothing");
  check(CamProperty_Modes(VCP_WhiteBalanceMode, &supported, &current) == 0 && supported == 0 &&
            current == 0,
        "white balance mode has no modes");
  check(CamProperty_SetMode(VCP_WhiteBalanceMode, LUMORA_MODE_MANUAL) == -1,
        "no mode switch for a property without modes");
  value = 4711;
  check(CamProperty_Default(VCP_WhiteBalanceMode, &value) == -1 && value == 4711,
        "no default of an unsupported property");
  check(CamProperty_Modes(32, &supported, &current) == -1, "property 32 is out of range");
  check(CamProperty_Modes(VCP_Exposure, NULL, &current) == -1, "a null output is refused");

  if (failures) return 1;
  printf("c_modes: ok\n");
  return 0;
}
