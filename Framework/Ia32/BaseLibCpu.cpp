/** @file
  The processor part of BaseLib for IA32: PAUSE, the interrupt flag and the
  dead loop.
**/
extern "C" {
#include <Base.h>
#include <Library/BaseLib.h>
}

namespace {

// The interrupt-enable flag, bit 9 of EFLAGS.
constexpr UINT32  EFLAGS_IF = 0x00000200;

}  // namespace

extern "C" VOID
EFIAPI
CpuPause (
  VOID
  )
{
  __asm__ __volatile__ ("pause" : : : "memory");
}

extern "C" VOID
EFIAPI
CpuDeadLoop (
  VOID
  )
{
  //
  // A volatile local rather than for(;;): a debugger can clear it to step
  // out of the loop, and the compiler may not assume the loop never ends.
  //
  volatile UINTN  Spin = 0;

  while (Spin == 0) {
  }
}

extern "C" VOID
EFIAPI
EnableInterrupts (
  VOID
  )
{
  __asm__ __volatile__ ("sti" : : : "memory");
}

extern "C" VOID
EFIAPI
DisableInterrupts (
  VOID
  )
{
  __asm__ __volatile__ ("cli" : : : "memory");
}

extern "C" BOOLEAN
EFIAPI
GetInterruptState (
  VOID
  )
{
  UINT32  Eflags;

  __asm__ __volatile__ ("pushfl\n\tpopl %0" : "=r" (Eflags) : : "memory");
  return ((Eflags & EFLAGS_IF) != 0) ? TRUE : FALSE;
}

extern "C" BOOLEAN
EFIAPI
SaveAndDisableInterrupts (
  VOID
  )
{
  BOOLEAN  InterruptState = GetInterruptState ();

  DisableInterrupts ();
  return InterruptState;
}

extern "C" BOOLEAN
EFIAPI
SetInterruptState (
  IN BOOLEAN  InterruptState
  )
{
  if (InterruptState) {
    EnableInterrupts ();
  } else {
    DisableInterrupts ();
  }

  return InterruptState;
}
