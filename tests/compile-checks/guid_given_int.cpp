// Must not compile: the check stops it in FormatWantsAGuidPointer.
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
}

void f() {
  UINT32 v = 0;
  DEBUG((DEBUG_INFO, "%g\n", v));
}
