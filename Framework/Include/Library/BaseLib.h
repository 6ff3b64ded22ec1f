/** @file
  BaseLib: processor helpers and 64-bit arithmetic that needs no compiler
  runtime on IA32.
**/
#ifndef __BASE_LIB_H__
#define __BASE_LIB_H__

VOID
EFIAPI
CpuPause (
  VOID
  );

VOID
EFIAPI
CpuDeadLoop (
  VOID
  );

VOID
EFIAPI
EnableInterrupts (
  VOID
  );

VOID
EFIAPI
DisableInterrupts (
  VOID
  );

BOOLEAN
EFIAPI
SaveAndDisableInterrupts (
  VOID
  );

BOOLEAN
EFIAPI
SetInterruptState (
  IN BOOLEAN  InterruptState
  );

BOOLEAN
EFIAPI
GetInterruptState (
  VOID
  );

UINT64
EFIAPI
LShiftU64 (
  IN UINT64  Operand,
  IN UINTN   Count
  );

UINT64
EFIAPI
RShiftU64 (
  IN UINT64  Operand,
  IN UINTN   Count
  );

UINT64
EFIAPI
MultU64x32 (
  IN UINT64  Multiplicand,
  IN UINT32  Multiplier
  );

UINT64
EFIAPI
MultU64x64 (
  IN UINT64  Multiplicand,
  IN UINT64  Multiplier
  );

UINT64
EFIAPI
DivU64x32 (
  IN UINT64  Dividend,
  IN UINT32  Divisor
  );

UINT64
EFIAPI
DivU64x32Remainder (
  IN  UINT64  Dividend,
  IN  UINT32  Divisor,
  OUT UINT32  *Remainder OPTIONAL
  );

UINTN
EFIAPI
AsciiStrLen (
  IN CONST CHAR8  *String
  );

#endif
