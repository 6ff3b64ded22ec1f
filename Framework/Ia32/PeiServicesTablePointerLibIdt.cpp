/** @file
  PeiServicesTablePointerLib for IA32: the PEI Foundation keeps the pointer
  to the PEI services table in the pointer-sized slot just below the base of
  the interrupt descriptor table. A PEIM that executes in place from flash
  has no writable global to keep it in; the IDT lives in writable memory
  (cache-as-RAM before memory is up) and SIDT finds it from any module.
**/
extern "C" {
#include <PiPei.h>
#include <Library/PeiServicesTablePointerLib.h>
}

namespace {

//
// The operand of SIDT: a 16-bit limit followed by the 32-bit linear base.
//
struct __attribute__ ((packed)) IDTR32 {
  UINT16    Limit;
  UINT32    Base;
};

STATIC_ASSERT (sizeof (IDTR32) == 6, "IDTR is 6 bytes on IA32");

CONST EFI_PEI_SERVICES ***
ServicesSlot (
  VOID
  )
{
  IDTR32  Idtr;

  __asm__ __volatile__ ("sidt %0" : "=m" (Idtr) : : "memory");
  return (CONST EFI_PEI_SERVICES ***)(UINTN)(Idtr.Base - sizeof (UINTN));
}

}  // namespace

extern "C" CONST EFI_PEI_SERVICES **
EFIAPI
GetPeiServicesTablePointer (
  VOID
  )
{
  return *ServicesSlot ();
}

extern "C" VOID
EFIAPI
SetPeiServicesTablePointer (
  IN CONST EFI_PEI_SERVICES  **PeiServicesTablePointer
  )
{
  *ServicesSlot () = PeiServicesTablePointer;
}
