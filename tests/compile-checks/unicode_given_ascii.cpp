// Must not compile: the check stops it in FormatWantsAUnicodeString.
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
}

void f() {
  const CHAR8* v = "";
  DEBUG((DEBUG_INFO, "%s\n", v));
}
