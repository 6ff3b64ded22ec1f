// Must not compile: the check stops it in FormatWantsA32BitInteger.
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
}

void f() {
  UINT64 v = 1;
  DEBUG((DEBUG_INFO, "%x\n", v));
}
