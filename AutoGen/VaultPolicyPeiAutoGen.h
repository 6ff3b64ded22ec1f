/** @file
  What the framework build's AutoGen.h gives VaultPolicyPei, for our own
  builds: force-included into every source of the module. Declares the entry
  point with C linkage and the token-space GUID (defined in PackageGuids.c),
  and gives the token numbers of the module's dynamic-ex PCDs, which PcdLib's
  PcdSetEx32S (Guid, TokenName, Value) turns into _PCD_TOKEN_<TokenName>.
  The numbers are those of the package declaration; a test checks them
  against include/Guid/EventVaultTokenSpace.h. Not a module source.
**/
#ifndef __VAULT_POLICY_PEI_AUTOGEN_H__
#define __VAULT_POLICY_PEI_AUTOGEN_H__

#ifdef __cplusplus
extern "C" {
#endif

#include <PiPei.h>

extern EFI_GUID  gEventVaultTokenSpaceGuid;

#define _PCD_TOKEN_PcdEventVaultBase  0xA030BU
#define _PCD_TOKEN_PcdEventVaultSize  0xA030CU

EFI_STATUS
EFIAPI
VaultPolicyPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

#ifdef __cplusplus
}
#endif

#endif
