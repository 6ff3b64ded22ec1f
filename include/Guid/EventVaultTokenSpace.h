/** @file
  Token space of the event-log storage PCDs, and their token numbers: both
  dynamic-ex UINT32 PCDs, set by VaultPolicyPei, read by the event-log code
  of later phases.

    PcdEventVaultBase  0xA030B  base address of the event-log storage area
    PcdEventVaultSize  0xA030C  its size in bytes

  In a framework workspace a module that names these PCDs in its .inf gets
  _PCD_TOKEN_PcdEventVaultBase/Size from its AutoGen.h; the numbers here are
  for code that passes token numbers itself (LibPcdGetEx32 and the PCD PPI).
**/
#ifndef __EVENT_VAULT_TOKEN_SPACE_H__
#define __EVENT_VAULT_TOKEN_SPACE_H__

#define EVENT_VAULT_TOKEN_SPACE_GUID \
  { 0xD1B99B46, 0xE509, 0x4EDA, { 0x89, 0xAC, 0x7A, 0x67, 0x38, 0xBB, 0x82, 0x1A } }

#define EVENT_VAULT_PCD_BASE_TOKEN  0xA030B
#define EVENT_VAULT_PCD_SIZE_TOKEN  0xA030C

extern EFI_GUID  gEventVaultTokenSpaceGuid;

#endif
