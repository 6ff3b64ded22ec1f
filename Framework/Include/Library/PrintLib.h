/** @file
  PrintLib: formatted text into a buffer.

  Format: %[flags][width]type. Flags '-' (left-justify), '0' (zero pad),
  'l'/'L' (64-bit argument). Types d, i, u, x, X (32-bit, or 64-bit with l;
  hexadecimal digits are always upper case), c, a (CHAR8 string), s (CHAR16
  string), p (pointer), g (EFI_GUID pointer), r (EFI_STATUS), % (itself).
  A '\n' in the format is written as "\r\n". A null string prints
  "<null string>".
**/
#ifndef __PRINT_LIB_H__
#define __PRINT_LIB_H__

UINTN
EFIAPI
AsciiVSPrint (
  OUT CHAR8        *StartOfBuffer,
  IN  UINTN        BufferSize,
  IN  CONST CHAR8  *FormatString,
  IN  VA_LIST      Marker
  );

UINTN
EFIAPI
AsciiSPrint (
  OUT CHAR8        *StartOfBuffer,
  IN  UINTN        BufferSize,
  IN  CONST CHAR8  *FormatString,
  ...
  );

#endif
