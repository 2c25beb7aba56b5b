/* A C program against the import library: lists the cameras, selects the
 * first and reads its brightness through the plain exports. Prints
 * "c_client: ok" and exits 0 when every step answered as documented. */
#include <stdio.h>

#include "lumora.h"

#define CLIENT_NAME "c_client"
#include "tests/win/simpleapi/client_check.h"

int main(void) {
  char** names = NULL;
  char** serials = NULL;
  char** devices = NULL;
  unsigned long count = 99;
  unsigned long i;
  long value = 4711;
  long chipset = 4711;

  /* Before the first enumeration: nothing listed, ten empty slots. */
  GetCamStrings(&names, &count);
  check(count == 0, "no cameras before EnumCams");
  check(names != NULL, "a table before EnumCams");
  for (i = 0; names != NULL && i < LUMORA_MAX_CAMS; ++i) check(names[i] == NULL, "empty slot");
  check(CamProperty_Get(VCP_Brightness, &value) == -1, "no property without a camera");
  check(value == 4711, "value untouched on failure");

  check(EnumCams() == 0, "EnumCams");
  GetCamStrings(&names, &count);
  GetCamSerials(&serials, &count);
  GetDevStrings(&devices, &count);
  check(count > 0 && count <= LUMORA_MAX_CAMS, "cameras listed");
  for (i = 0; i < count; ++i) {
    check(names[i] != NULL && serials[i] != NULL && devices[i] != NULL, "three strings");
    printf("camera %lu: %s (serial \"%s\")\n", i, names[i], serials[i]);
  }

  check(SetCam((long)count) == -1, "SetCam beyond the list");
  check(SetCam(0) == 0, "SetCam(0)");
  check(CamProperty_Get(VCP_Brightness, &value) == 0, "CamProperty_Get(VCP_Brightness)");
  check(value != 4711, "brightness read");
  printf("brightness: %ld\n", value);
  check(CamChipset(&chipset) == 0, "CamChipset");
  printf("chipset: %ld\n", chipset);
  check(CamProperty_Get(VCP_Pan, &value) == -1, "no value of VCP_Pan");
  check(SetCam(-1) == 0, "SetCam(-1)");
  check(CamChipset(&chipset) == -1, "no chipset without a camera");

  if (failures) return 1;
  printf("c_client: ok\n");
  return 0;
}
