/** @file
  Entry point and PPI of the event-storage module. The module keeps no state:
  each event goes straight into the HOB list, which carries it to the event
  log of a later phase.
**/
#include "EventVaultPei.h"

extern "C" {
#include <Library/BaseMemoryLib.h>
#include <Library/HobLib.h>
#include <Library/PeiServicesLib.h>
}

//
// Constant, so that the module needs no writable data and can run in place
// from flash; the PEI Foundation keeps a pointer to the descriptor.
//
STATIC constexpr EVENT_VAULT_PPI  mEventVaultPpi = {
  StoreEvent
};

STATIC constexpr EFI_PEI_PPI_DESCRIPTOR  mEventVaultPpiList = {
  EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
  &gEventVaultPpiGuid,
  const_cast<EVENT_VAULT_PPI *>(&mEventVaultPpi)
};

extern "C" EFI_STATUS
EFIAPI
EventVaultPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  (VOID)FileHandle;
  (VOID)PeiServices;

  return PeiServicesInstallPpi (&mEventVaultPpiList);
}

extern "C" EFI_STATUS
EFIAPI
StoreEvent (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EVENT_VAULT_PPI         *This,
  IN UINT8                   type,
  IN UINT64                  data
  )
{
  EVENT_VAULT_RECORD  record;
  UINT8               time[RTC_TIME_BYTES];
  UINT8               length;
  EFI_STATUS          Status;

  (VOID)PeiServices;
  (VOID)This;

  length = (UINT8)((type == EVENT_VAULT_TYPE_WITH_DATA) ? EVENT_VAULT_RECORD_LENGTH_WITH_DATA : EVENT_VAULT_RECORD_LENGTH);

  //
  // With a buffer of our own ReadRtcTime cannot fail; a failure would still
  // be what this call returns. Clearing the time first keeps the record
  // defined whatever happens.
  //
  ZeroMem (time, sizeof (time));
  Status = ReadRtcTime (time);

  ZeroMem (&record, sizeof (record));
  record.type   = type;
  record.length = length;
  record.year   = time[0];
  record.month  = time[1];
  record.day    = time[2];
  record.hour   = time[3];
  record.minute = time[4];
  record.second = time[5];
  if (type == EVENT_VAULT_TYPE_WITH_DATA) {
    record.data = data;
  }

  //
  // The HOB holds length bytes of the record: the data only for type 8.
  //
  if (BuildGuidDataHob (&gEventVaultHobGuid, &record, length) == NULL) {
    return EFI_UNSUPPORTED;
  }

  return Status;
}
