/** @file
  Host instances of the target-specific library classes: IoLib, TimerLib,
  the processor part of BaseLib, PeiServicesTablePointerLib and
  SerialPortLib. Each forwards to the simulated platform, so module code runs
  unchanged on the host: register and port accesses reach the device models,
  delays advance virtual time, a dead loop halts the simulated machine.
**/
#include "Simulator/Platform.h"

extern "C" {
#include <PiPei.h>
#include <Library/BaseLib.h>
#include <Library/IoLib.h>
#include <Library/PeiServicesTablePointerLib.h>
#include <Library/SerialPortLib.h>
#include <Library/TimerLib.h>
}

using sim::Platform;

extern "C" {

UINT8 EFIAPI IoRead8 (UINTN Port)
{
  return Platform::current ().bus ().in8 (static_cast<uint16_t>(Port));
}

UINT8 EFIAPI IoWrite8 (UINTN Port, UINT8 Value)
{
  Platform::current ().bus ().out8 (static_cast<uint16_t>(Port), Value);
  return Value;
}

UINT32 EFIAPI MmioRead32 (UINTN Address)
{
  return Platform::current ().bus ().read32 (Address);
}

UINT32 EFIAPI MmioWrite32 (UINTN Address, UINT32 Value)
{
  Platform::current ().bus ().write32 (Address, Value);
  return Value;
}

UINTN EFIAPI MicroSecondDelay (UINTN MicroSeconds)
{
  Platform::current ().delay (MicroSeconds);
  return MicroSeconds;
}

UINTN EFIAPI NanoSecondDelay (UINTN NanoSeconds)
{
  Platform::current ().delay ((NanoSeconds + 999) / 1000);
  return NanoSeconds;
}

UINT64 EFIAPI GetPerformanceCounter (VOID)
{
  return Platform::current ().clock ().tsc ();
}

UINT64 EFIAPI GetPerformanceCounterProperties (UINT64 *StartValue, UINT64 *EndValue)
{
  if (StartValue != NULL) {
    *StartValue = 0;
  }

  if (EndValue != NULL) {
    *EndValue = MAX_UINT64;
  }

  return sim::Clock::kTscHz;
}

VOID EFIAPI CpuPause (VOID)
{
  Platform::current ().pause ();
}

VOID EFIAPI CpuDeadLoop (VOID)
{
  Platform::current ().deadLoop ();
}

VOID EFIAPI EnableInterrupts (VOID)
{
  Platform::current ().setInterrupts (true);
}

VOID EFIAPI DisableInterrupts (VOID)
{
  Platform::current ().setInterrupts (false);
}

BOOLEAN EFIAPI GetInterruptState (VOID)
{
  return Platform::current ().interrupts () ? TRUE : FALSE;
}

BOOLEAN EFIAPI SaveAndDisableInterrupts (VOID)
{
  BOOLEAN  InterruptState = GetInterruptState ();

  DisableInterrupts ();
  return InterruptState;
}

BOOLEAN EFIAPI SetInterruptState (BOOLEAN InterruptState)
{
  if (InterruptState) {
    EnableInterrupts ();
  } else {
    DisableInterrupts ();
  }

  return InterruptState;
}

CONST EFI_PEI_SERVICES ** EFIAPI GetPeiServicesTablePointer (VOID)
{
  return Platform::current ().pei ().services ();
}

VOID EFIAPI SetPeiServicesTablePointer (CONST EFI_PEI_SERVICES **PeiServicesTablePointer)
{
  //
  // The simulated foundation owns the one table; nothing to move.
  //
  (VOID)PeiServicesTablePointer;
}

RETURN_STATUS EFIAPI SerialPortInitialize (VOID)
{
  return RETURN_SUCCESS;
}

UINTN EFIAPI SerialPortWrite (UINT8 *Buffer, UINTN NumberOfBytes)
{
  Platform::current ().debugWrite (reinterpret_cast<const char *>(Buffer), NumberOfBytes);
  return NumberOfBytes;
}

}  // extern "C"
