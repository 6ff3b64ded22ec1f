/** @file
  What the framework build's AutoGen.h gives EventVaultPei, for our own
  builds: force-included into every source of the module. Declares the entry
  point with C linkage and the GUIDs the module names (defined in
  PackageGuids.c). Not a module source.
**/
#ifndef __EVENT_VAULT_PEI_AUTOGEN_H__
#define __EVENT_VAULT_PEI_AUTOGEN_H__

#ifdef __cplusplus
extern "C" {
#endif

#include <PiPei.h>

extern EFI_GUID  gEventVaultPpiGuid;
extern EFI_GUID  gEventVaultHobGuid;

EFI_STATUS
EFIAPI
EventVaultPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

#ifdef __cplusplus
}
#endif

#endif
