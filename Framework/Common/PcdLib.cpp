/** @file
  PcdLib for PEI: dynamic-ex PCDs through EFI_PEI_PCD_PPI, located (instance
  0) on every call as the framework's PEI instance does.

  The framework's instance only asserts that the PPI is there and would then
  call through a null pointer. Here a missing PPI is a platform
  misconfiguration that the module cannot repair but must survive: each call
  prints one line at DEBUG_ERROR naming the PCD, and returns what an absent
  database gives: EFI_NOT_FOUND from a Set, 0 from a Get.
**/
extern "C" {
#include <PiPei.h>
#include <Library/DebugLib.h>
#include <Library/PcdLib.h>
#include <Library/PeiServicesLib.h>
#include <Ppi/PiPcd.h>
}

namespace {

EFI_PEI_PCD_PPI *
GetPiPcdPpiPointer (
  OUT EFI_STATUS  *Status
  )
{
  EFI_PEI_PCD_PPI  *PiPcdPpi = NULL;

  *Status = PeiServicesLocatePpi (&gEfiPeiPcdPpiGuid, 0, NULL, (VOID **)&PiPcdPpi);
  if (EFI_ERROR (*Status)) {
    return NULL;
  }

  return PiPcdPpi;
}

}  // namespace

extern "C" UINT32
EFIAPI
LibPcdGetEx32 (
  IN CONST GUID  *Guid,
  IN UINTN       TokenNumber
  )
{
  EFI_STATUS       Status;
  EFI_PEI_PCD_PPI  *PiPcdPpi = GetPiPcdPpiPointer (&Status);

  if (PiPcdPpi == NULL) {
    DEBUG ((
      DEBUG_ERROR,
      "PcdLib: no EFI_PEI_PCD_PPI (%r): PCD 0x%X of token space %g read as 0\n",
      Status,
      (UINT32)TokenNumber,
      Guid
      ));
    return 0;
  }

  return PiPcdPpi->Get32 (Guid, TokenNumber);
}

extern "C" RETURN_STATUS
EFIAPI
LibPcdSetEx32S (
  IN CONST GUID  *Guid,
  IN UINTN       TokenNumber,
  IN UINT32      Value
  )
{
  EFI_STATUS       Status;
  EFI_PEI_PCD_PPI  *PiPcdPpi = GetPiPcdPpiPointer (&Status);

  if (PiPcdPpi == NULL) {
    DEBUG ((
      DEBUG_ERROR,
      "PcdLib: no EFI_PEI_PCD_PPI (%r): PCD 0x%X of token space %g not set to 0x%X\n",
      Status,
      (UINT32)TokenNumber,
      Guid,
      Value
      ));
    return RETURN_NOT_FOUND;
  }

  return PiPcdPpi->Set32 (Guid, TokenNumber, Value);
}
