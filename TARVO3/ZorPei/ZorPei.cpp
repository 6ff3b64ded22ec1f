/** @file
  Entry point of the ZOR node-controller module: allocates the private record,
  fills its defaults and the PPI table it owns, and installs the PPI. All
  further work happens inside the PPI's slots.
**/
#include "ZorPei.h"

extern "C" {
#include <Library/BaseMemoryLib.h>
#include <Library/PeiServicesLib.h>
}

EFI_STATUS
EFIAPI
ZorPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  ZOR_DATA    *zorData;
  EFI_STATUS  Status;

  (VOID)FileHandle;
  (VOID)PeiServices;

  Status = PeiServicesAllocatePool (sizeof (ZOR_DATA), (VOID **)&zorData);
  if (EFI_ERROR (Status)) {
    return Status;
  }

  //
  // Clear the whole record first: fields without a default (the DDR records,
  // the SPD bytes, the host DRAM range) then read as zero rather than as
  // whatever the pool held, and slot 5 stays a null pointer.
  //
  ZeroMem (zorData, sizeof (ZOR_DATA));

  zorData->modules          = 2;
  zorData->socketsPerModule = 2;
  zorData->localModule      = 0;
  zorData->ctrlField0       = 0;
  zorData->ctrlField1       = 0;
  zorData->biRail           = 0;
  zorData->CMM2S            = 0;
  zorData->lowRegionGb      = 1;
  zorData->railNid[0]       = 2;
  zorData->railNid[1]       = 3;
  zorData->socketNid[0]     = 0;
  zorData->socketNid[1]     = 1;
  zorData->gidnidMap        = 0x00FFFFFF;
  zorData->localMmioMaps    = 0;

  zorData->ppi.indirectRead       = indirectRead;
  zorData->ppi.indirectWrite      = indirectWrite;
  zorData->ppi.noOp               = noOp;
  zorData->ppi.setModuleInfo      = setModuleInfo;
  zorData->ppi.setSpdByte         = setSpdByte;
  zorData->ppi.directRead         = directRead;
  zorData->ppi.directWrite        = directWrite;
  zorData->ppi.enableRemoteAccess = enableRemoteAccess;
  zorData->ppi.waitForPeers       = waitForPeers;
  zorData->ppi.checkErrors        = checkErrors;
  zorData->ppi.routeMmioH         = routeMmioH;
  zorData->ppi.routeMmioL         = routeMmioL;
  zorData->ppi.routeIo            = routeIo;
  zorData->ppi.routeMmcfg         = routeMmcfg;
  zorData->ppi.routeX2apic        = routeX2apic;
  zorData->ppi.routeDram          = routeDram;
  zorData->ppi.lateInit           = lateInit;

  zorData->signature[0] = 'z';
  zorData->signature[1] = 'o';
  zorData->signature[2] = 'r';
  zorData->signature[3] = '3';

  zorData->ppiDescriptor.Flags = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  zorData->ppiDescriptor.Guid  = &gTarvo3ZorPpiGuid;
  zorData->ppiDescriptor.Ppi   = &zorData->ppi;

  Status = PeiServicesInstallPpi (&zorData->ppiDescriptor);
  if (EFI_ERROR (Status)) {
    return Status;
  }

  return EFI_SUCCESS;
}

VOID
EFIAPI
noOp (
  TARVO3_ZOR_PPI  *This
  )
{
  (VOID)This;
}
