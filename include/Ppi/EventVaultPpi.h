/** @file
  EVENT_VAULT_PPI: stores an event, stamped with the real-time clock's date
  and time, as a GUID HOB named gEventVaultHobGuid (see
  Guid/EventVaultHob.h), for the event log of a later phase.
**/
#ifndef __EVENT_VAULT_PPI_H__
#define __EVENT_VAULT_PPI_H__

#define EVENT_VAULT_PPI_GUID \
  { 0xAC7F30C2, 0xF774, 0x47D3, { 0x8C, 0x24, 0xE9, 0xC9, 0x94, 0x5F, 0x3C, 0x49 } }

typedef struct _EVENT_VAULT_PPI  EVENT_VAULT_PPI;

/**
  Stores one event as a GUID HOB holding an EVENT_VAULT_RECORD.

  @param PeiServices  Not used.
  @param This         Not used.
  @param type         Event type; only type 8 (EVENT_VAULT_TYPE_WITH_DATA)
                      carries data.
  @param data         Stored only when type is 8.

  @retval EFI_SUCCESS      The event was stored (with six zero time bytes when
                           the clock could not be read).
  @retval EFI_UNSUPPORTED  The HOB could not be built; nothing was stored.
**/
typedef EFI_STATUS (EFIAPI *EVENT_VAULT_STORE_EVENT)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EVENT_VAULT_PPI         *This,
  IN UINT8                   type,
  IN UINT64                  data
  );

///
/// A table of one entry.
///
struct _EVENT_VAULT_PPI {
  EVENT_VAULT_STORE_EVENT    StoreEvent;
};

STATIC_ASSERT (sizeof (EVENT_VAULT_PPI) == sizeof (VOID *), "one entry");

extern EFI_GUID  gEventVaultPpiGuid;

#endif
