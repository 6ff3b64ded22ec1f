/** @file
  TimerLib for IA32 on the time-stamp counter.

  The counter's rate is a property of the platform's processor, fixed when
  the platform's firmware is built: TSC_FREQUENCY_HZ, set by the firmware
  build (make firmware TSC_FREQUENCY_HZ=...), plays the part of a
  fixed-at-build PCD of the platform. A fixed rate needs no writable state,
  no HOB and no calibration traffic on other timers, which suits modules that
  execute in place before memory is up; the delays are as exact as the value
  the platform gives. An integrator building the modules in a framework
  workspace picks the platform's own TimerLib instead.
**/
extern "C" {
#include <Base.h>
#include <Library/BaseLib.h>
#include <Library/TimerLib.h>
}

#ifndef TSC_FREQUENCY_HZ
  #error "TSC_FREQUENCY_HZ: the platform's time-stamp counter rate in Hz is set by the firmware build"
#endif

namespace {

constexpr UINT64  TscHz = TSC_FREQUENCY_HZ;

STATIC_ASSERT (TscHz >= 1000000, "the time-stamp counter runs at 1 MHz or more");

UINT64
ReadTsc (
  VOID
  )
{
  UINT64  Value;

  __asm__ __volatile__ ("rdtsc" : "=A" (Value));
  return Value;
}

//
// Ticks of the counter in Count units of 1/PerSecond second. The rate's
// whole and fractional parts per unit are folded at compile time, so only
// a 64x32 multiplication and, for a rate that is not a whole number of
// ticks per unit, one BaseLib division remain at run time.
//
template <UINT32 PerSecond>
UINT64
TicksFor (
  UINTN  Count
  )
{
  constexpr UINT64  Whole = TscHz / PerSecond;
  constexpr UINT32  Part  = (UINT32)(TscHz % PerSecond);
  UINT64            Ticks = MultU64x32 (Whole, (UINT32)Count);

  if constexpr (Part != 0) {
    Ticks += DivU64x32 (MultU64x32 (Part, (UINT32)Count), PerSecond);
  }

  return Ticks;
}

VOID
WaitTicks (
  UINT64  Ticks
  )
{
  UINT64  Start = ReadTsc ();

  //
  // The difference is unsigned, so a counter that wraps still measures
  // the elapsed ticks.
  //
  while (ReadTsc () - Start < Ticks) {
    CpuPause ();
  }
}

}  // namespace

extern "C" UINTN
EFIAPI
MicroSecondDelay (
  IN UINTN  MicroSeconds
  )
{
  WaitTicks (TicksFor<1000000>(MicroSeconds));
  return MicroSeconds;
}

extern "C" UINTN
EFIAPI
NanoSecondDelay (
  IN UINTN  NanoSeconds
  )
{
  WaitTicks (TicksFor<1000000000>(NanoSeconds));
  return NanoSeconds;
}

extern "C" UINT64
EFIAPI
GetPerformanceCounter (
  VOID
  )
{
  return ReadTsc ();
}

extern "C" UINT64
EFIAPI
GetPerformanceCounterProperties (
  OUT UINT64  *StartValue OPTIONAL,
  OUT UINT64  *EndValue OPTIONAL
  )
{
  if (StartValue != NULL) {
    *StartValue = 0;
  }

  if (EndValue != NULL) {
    *EndValue = MAX_UINT64;
  }

  return TscHz;
}
