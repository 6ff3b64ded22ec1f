/** @file
  TimerLib: delays and the performance counter.
**/
#ifndef __TIMER_LIB_H__
#define __TIMER_LIB_H__

UINTN
EFIAPI
MicroSecondDelay (
  IN UINTN  MicroSeconds
  );

UINTN
EFIAPI
NanoSecondDelay (
  IN UINTN  NanoSeconds
  );

UINT64
EFIAPI
GetPerformanceCounter (
  VOID
  );

UINT64
EFIAPI
GetPerformanceCounterProperties (
  OUT UINT64  *StartValue OPTIONAL,
  OUT UINT64  *EndValue OPTIONAL
  );

#endif
