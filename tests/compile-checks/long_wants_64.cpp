// Must not compile: the check stops it in FormatWantsA64BitInteger.
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
}

void f() {
  UINT32 v = 1;
  DEBUG((DEBUG_INFO, "%lx\n", v));
}
