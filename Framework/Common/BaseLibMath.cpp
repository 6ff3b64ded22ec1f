/** @file
  BaseLib's 64-bit arithmetic and string length. Written with 32-bit halves
  where IA32 would otherwise call compiler runtime helpers.
**/
extern "C" {
#include <Base.h>
#include <Library/BaseLib.h>
}

extern "C" UINT64
EFIAPI
LShiftU64 (
  IN UINT64  Operand,
  IN UINTN   Count
  )
{
  return (Count >= 64) ? 0 : Operand << Count;
}

extern "C" UINT64
EFIAPI
RShiftU64 (
  IN UINT64  Operand,
  IN UINTN   Count
  )
{
  return (Count >= 64) ? 0 : Operand >> Count;
}

extern "C" UINT64
EFIAPI
MultU64x32 (
  IN UINT64  Multiplicand,
  IN UINT32  Multiplier
  )
{
  return Multiplicand * Multiplier;
}

extern "C" UINT64
EFIAPI
MultU64x64 (
  IN UINT64  Multiplicand,
  IN UINT64  Multiplier
  )
{
  return Multiplicand * Multiplier;
}

extern "C" UINT64
EFIAPI
DivU64x32Remainder (
  IN  UINT64  Dividend,
  IN  UINT32  Divisor,
  OUT UINT32  *Remainder OPTIONAL
  )
{
  //
  // Binary long division: IA32 has no 64-bit divide instruction, and the
  // compiler's helper routine is not linked into firmware images.
  //
  UINT64  Quotient = 0;
  UINT64  Rest     = 0;

  for (INTN Bit = 63; Bit >= 0; Bit--) {
    Rest = (Rest << 1) | ((Dividend >> Bit) & 1);
    if (Rest >= Divisor) {
      Rest     -= Divisor;
      Quotient |= (UINT64)1 << Bit;
    }
  }

  if (Remainder != NULL) {
    *Remainder = (UINT32)Rest;
  }

  return Quotient;
}

extern "C" UINT64
EFIAPI
DivU64x32 (
  IN UINT64  Dividend,
  IN UINT32  Divisor
  )
{
  return DivU64x32Remainder (Dividend, Divisor, NULL);
}

extern "C" UINTN
EFIAPI
AsciiStrLen (
  IN CONST CHAR8  *String
  )
{
  UINTN  Length = 0;

  while (String[Length] != '\0') {
    Length++;
  }

  return Length;
}
