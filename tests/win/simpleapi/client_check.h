/* The check of the client programs (C or C++): a check that does not hold
 * is counted in `failures` and named under the program's name, CLIENT_NAME,
 * which the program defines before it includes this file. */
#pragma once

#include <stdio.h>

static int failures = 0;

static void check(int condition, const char* what) {
  if (!condition) {
    printf("%s: FAILED: %s\n", CLIENT_NAME, what);
    ++failures;
  }
}
