/** @file
  The platform's policy for the event-log storage: where in flash the area
  lies and how large it is, published as two dynamic-ex PCDs for the
  event-log code of later phases. No PPI, no state, no other work.
**/
extern "C" {
#include <PiPei.h>
#include <Library/PcdLib.h>
#include <Guid/EventVaultTokenSpace.h>
}

//
// The storage area: inside the firmware flash window just below 4 GiB.
//
constexpr UINT32  EVENT_VAULT_BASE = 0xFFCA4020;
constexpr UINT32  EVENT_VAULT_SIZE = 0x4DE0;

extern "C" EFI_STATUS
EFIAPI
VaultPolicyPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  (VOID)FileHandle;
  (VOID)PeiServices;

  //
  // A value the platform's database refuses stays as it was; the other is
  // still set, and the policy has nothing better to offer, so the statuses
  // are not looked at.
  //
  (VOID)PcdSetEx32S (&gEventVaultTokenSpaceGuid, PcdEventVaultBase, EVENT_VAULT_BASE);
  (VOID)PcdSetEx32S (&gEventVaultTokenSpaceGuid, PcdEventVaultSize, EVENT_VAULT_SIZE);

  return EFI_SUCCESS;
}
