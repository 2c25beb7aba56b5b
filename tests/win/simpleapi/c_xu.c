/* A C program against the import library: raw extension-unit controls
 * through CamXu_Get and CamXu_Set on the rig's cameras with extension units
 * (LUMORA_SIM_DEVICES=xu). The length query, a read into a buffer, a write
 * read back, and the refusals (too small a buffer, a wrong length, a
 * read-only control, an unknown unit). Prints "c_xu: ok" and exits 0 when
 * every step answered as documented. */
#include <stdio.h>
#include <string.h>

#include "lumora.h"

#define CLIENT_NAME "c_xu"
#include "tests/win/simpleapi/client_check.h"

static long Find(const char* name) {
  unsigned long count = 0, i;
  char** names = NULL;
  GetCamStrings(&names, &count);
  for (i = 0; i < count; ++i) {
    if (strcmp(names[i], name) == 0) return (long)i;
  }
  return -1;
}

int main(void) {
  const char* led = "{63610682-5070-49AB-B8CC-B3855E8D221F}";
  const char* unknown = "a7c3e1f0-5b2d-4e8a-9f61-3d0c2b4a5e97";
  unsigned char buffer[64], small[2];
  unsigned char value[3] = {1, 0, 33};
  unsigned long length = 4711;

  check(CamXu_Get(led, 1, NULL, 0, &length) == -1, "no control without a camera");
  check(EnumCams() == 0, "EnumCams");
  check(SetCam(Find("Logitech BRIO")) == 0, "the rig lists Logitech BRIO");

  check(CamXu_Get(led, 1, NULL, 0, &length) == 0 && length == 3, "the length query: 3 bytes");
  length = 0;
  check(CamXu_Get(led, 1, small, sizeof small, &length) == -1, "a buffer too small fails");
  check(length == 3, "and still tells the length");
  check(CamXu_Get(led, 1, buffer, sizeof buffer, &length) == 0 && length == 3, "a read");
  check(buffer[0] == 3 && buffer[2] == 10, "LED1: mode auto, frequency 10");

  check(CamXu_Set(led, 1, value, sizeof value) == 0, "a write");
  memset(buffer, 0, sizeof buffer);
  check(CamXu_Get(led, 1, buffer, sizeof buffer, &length) == 0 && memcmp(buffer, value, 3) == 0,
        "the write reads back");
  check(CamXu_Set(led, 1, value, 2) == -1, "a wrong length is refused");
  check(CamXu_Get(led, 1, buffer, sizeof buffer, &length) == 0 && memcmp(buffer, value, 3) == 0,
        "and changes nothing");
  check(CamXu_Get("12345678-1234-1234-1234-123456789abc", 1, buffer, sizeof buffer, &length) == -1,
        "an unknown unit");
  check(CamXu_Get("not a guid", 1, buffer, sizeof buffer, &length) == -1, "a text that is no GUID");
  check(CamXu_Get(led, 0, buffer, sizeof buffer, &length) == -1, "selector 0");

  /* The camera with a unit no definition names: its 46-byte control, and
   * its read-only control. */
  check(SetCam(Find("USB Camera")) == 0, "the rig lists USB Camera");
  check(CamXu_Get(unknown, 2, buffer, sizeof buffer, &length) == 0 && length == 46,
        "the 46-byte control");
  check(buffer[45] == 45, "its last byte");
  check(CamXu_Get(unknown, 3, buffer, sizeof buffer, &length) == -1, "the gap at selector 3");
  check(CamXu_Get(unknown, 4, buffer, sizeof buffer, &length) == 0 && length == 4,
        "the control after the gap");
  check(CamXu_Set(unknown, 4, buffer, 4) == -1, "a read-only control refuses a write");

  if (failures == 0) printf("c_xu: ok\n");
  return failures == 0 ? 0 : 1;
}
