// The harness lives in harness.h; this file only gives it a place in the build.
#include "harness.h"
