// Every conversion with the argument type it wants compiles.
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
}

void f(UINT8 a, UINT16 b, UINT32 c, INT32 d, UINT64 e, INT64 g, const CHAR8* s, const CHAR16* w, const GUID* guid,
       void* p, EFI_STATUS st) {
  DEBUG((DEBUG_INFO, "%u %x %X %d %c\n", a, b, c, d, 'x'));
  DEBUG((DEBUG_INFO, "%lx %lu %ld %016lx\n", e, e, g, e));
  DEBUG((DEBUG_INFO, "%a %s %g %p %r %a\n", s, w, guid, p, st, "literal"));
  DEBUG((DEBUG_INFO, "%*u %% no arguments\n", c, c));
}
