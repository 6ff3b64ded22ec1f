/** @file
  DebugLib: debug text at a level, filtered by the print-level mask.

  In C++ the DEBUG macro checks every argument against its format at compile
  time (see DebugFormat below): a 32-bit value given to %lx, or a number given
  to %a, does not compile.
**/
#ifndef __DEBUG_LIB_H__
#define __DEBUG_LIB_H__

#define DEBUG_INIT      0x00000001ULL
#define DEBUG_WARN      0x00000002ULL
#define DEBUG_LOAD      0x00000004ULL
#define DEBUG_FS        0x00000008ULL
#define DEBUG_POOL      0x00000010ULL
#define DEBUG_PAGE      0x00000020ULL
#define DEBUG_INFO      0x00000040ULL
#define DEBUG_DISPATCH  0x00000080ULL
#define DEBUG_VARIABLE  0x00000100ULL
#define DEBUG_BM        0x00000400ULL
#define DEBUG_BLKIO     0x00001000ULL
#define DEBUG_NET       0x00004000ULL
#define DEBUG_UNDI      0x00010000ULL
#define DEBUG_LOADFILE  0x00020000ULL
#define DEBUG_EVENT     0x00080000ULL
#define DEBUG_GCD       0x00100000ULL
#define DEBUG_CACHE     0x00200000ULL
#define DEBUG_VERBOSE   0x00400000ULL
#define DEBUG_MANAGEABILITY  0x00800000ULL
#define DEBUG_ERROR     0x80000000ULL

#define EFI_D_INFO   DEBUG_INFO
#define EFI_D_WARN   DEBUG_WARN
#define EFI_D_ERROR  DEBUG_ERROR

/**
  Prints a formatted message when ErrorLevel lies in the platform's print-level
  mask. Format follows PrintLib's rules.
**/
VOID
EFIAPI
DebugPrint (
  IN  UINTN        ErrorLevel,
  IN  CONST CHAR8  *Format,
  ...
  );

VOID
EFIAPI
DebugVPrint (
  IN  UINTN        ErrorLevel,
  IN  CONST CHAR8  *Format,
  IN  VA_LIST      VaListMarker
  );

VOID
EFIAPI
DebugAssert (
  IN CONST CHAR8  *FileName,
  IN UINTN        LineNumber,
  IN CONST CHAR8  *Description
  );

BOOLEAN
EFIAPI
DebugPrintEnabled (
  VOID
  );

BOOLEAN
EFIAPI
DebugAssertEnabled (
  VOID
  );

BOOLEAN
EFIAPI
DebugPrintLevelEnabled (
  IN  CONST UINTN  ErrorLevel
  );

#ifdef __cplusplus
  #include <Library/DebugFormat.h>
  #define DEBUG_PRINT_CALL  DebugPrintChecked
#else
  #define DEBUG_PRINT_CALL  DebugPrint
#endif

#define DEBUG(Expression)           \
  do {                              \
    if (DebugPrintEnabled ()) {     \
      DEBUG_PRINT_CALL Expression;  \
    }                               \
  } while (FALSE)

#define ASSERT(Expression)                                  \
  do {                                                      \
    if (DebugAssertEnabled ()) {                            \
      if (!(Expression)) {                                  \
        DebugAssert (__FILE__, __LINE__, #Expression);      \
      }                                                     \
    }                                                       \
  } while (FALSE)

#endif
