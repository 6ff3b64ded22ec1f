/** @file
  DebugLib: formats a message with PrintLib and writes it to the debug port
  (SerialPortLib) when its level lies in the print-level mask 0x8800004F.
  Platform code can silence all debug text with a GUID HOB
  {31271B47-5E95-437C-A500-48232F260E88} whose first data byte is 0.
**/
extern "C" {
#include <PiPei.h>
#include <Library/BaseLib.h>
#include <Library/DebugLib.h>
#include <Library/HobLib.h>
#include <Library/PrintLib.h>
#include <Library/SerialPortLib.h>
}

namespace {

constexpr UINTN  DEBUG_PRINT_ERROR_LEVEL  = 0x8800004F;
constexpr UINTN  MAX_DEBUG_MESSAGE_LENGTH = 0x100;

constexpr EFI_GUID  DebugDisableHobGuid = {
  0x31271B47, 0x5E95, 0x437C, { 0xA5, 0x00, 0x48, 0x23, 0x2F, 0x26, 0x0E, 0x88 }
};

BOOLEAN
DebugDisabledByHob (
  VOID
  )
{
  CONST UINT8  *Hob = (CONST UINT8 *)GetFirstGuidHob (&DebugDisableHobGuid);

  if ((Hob == NULL) || (GET_GUID_HOB_DATA_SIZE (Hob) == 0)) {
    return FALSE;
  }

  return (*(CONST UINT8 *)GET_GUID_HOB_DATA (Hob) == 0) ? TRUE : FALSE;
}

}  // namespace

extern "C" BOOLEAN
EFIAPI
DebugPrintLevelEnabled (
  IN  CONST UINTN  ErrorLevel
  )
{
  return ((ErrorLevel & DEBUG_PRINT_ERROR_LEVEL) != 0) ? TRUE : FALSE;
}

extern "C" BOOLEAN
EFIAPI
DebugPrintEnabled (
  VOID
  )
{
  return TRUE;
}

extern "C" BOOLEAN
EFIAPI
DebugAssertEnabled (
  VOID
  )
{
  return TRUE;
}

extern "C" VOID
EFIAPI
DebugVPrint (
  IN  UINTN        ErrorLevel,
  IN  CONST CHAR8  *Format,
  IN  VA_LIST      VaListMarker
  )
{
  CHAR8  Buffer[MAX_DEBUG_MESSAGE_LENGTH];

  if (!DebugPrintLevelEnabled (ErrorLevel) || DebugDisabledByHob ()) {
    return;
  }

  UINTN  Length = AsciiVSPrint (Buffer, sizeof (Buffer), Format, VaListMarker);
  SerialPortWrite ((UINT8 *)Buffer, Length);
}

extern "C" VOID
EFIAPI
DebugPrint (
  IN  UINTN        ErrorLevel,
  IN  CONST CHAR8  *Format,
  ...
  )
{
  VA_LIST  Marker;

  VA_START (Marker, Format);
  DebugVPrint (ErrorLevel, Format, Marker);
  VA_END (Marker);
}

extern "C" VOID
EFIAPI
DebugAssert (
  IN CONST CHAR8  *FileName,
  IN UINTN        LineNumber,
  IN CONST CHAR8  *Description
  )
{
  DebugPrint (DEBUG_ERROR, "ASSERT %a(%u): %a\n", FileName, (UINT32)LineNumber, Description);
  CpuDeadLoop ();
}
