/** @file
  TARVO3_ZOR_PPI: the operations through which platform code brings up the
  local ZOR node controller, in the order the platform calls them:
  setModuleInfo, setSpdByte for every SPD byte, enableRemoteAccess,
  waitForPeers, the six routing operations, lateInit, then checkErrors
  whenever a scan is wanted. The four register-access operations may be
  called at any time.
**/
#ifndef __TARVO3_ZOR_PPI_H__
#define __TARVO3_ZOR_PPI_H__

#define TARVO3_ZOR_PPI_GUID \
  { 0x67AC7C94, 0x3DD6, 0x4518, { 0x9E, 0x89, 0x9C, 0x37, 0xA3, 0x05, 0x1A, 0x3C } }

typedef struct _TARVO3_ZOR_PPI  TARVO3_ZOR_PPI;

typedef UINT32 (EFIAPI *TARVO3_ZOR_INDIRECT_READ)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          rail,
  IN UINT32          block,
  IN UINT32          indexHigh,
  IN UINT32          indexLow
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_INDIRECT_WRITE)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          rail,
  IN UINT32          block,
  IN UINT32          indexHigh,
  IN UINT32          indexLow,
  IN UINT32          value
  );

typedef VOID (EFIAPI *TARVO3_ZOR_NO_OP)(
  IN TARVO3_ZOR_PPI  *This
  );

typedef VOID (EFIAPI *TARVO3_ZOR_SET_MODULE_INFO)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          modules,
  IN UINT32          localModule,
  IN UINT32          biRail,
  IN UINT32          cmm2s,
  IN UINT32          buriedCA,
  IN UINT32          physicalModule,
  IN UINT32          cpbMask
  );

typedef VOID (EFIAPI *TARVO3_ZOR_SET_SPD_BYTE)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          rail,
  IN UINT32          channel,
  IN UINT16          index,
  IN UINT8           value
  );

typedef VOID (EFIAPI *TARVO3_ZOR_RESERVED)(
  IN TARVO3_ZOR_PPI  *This
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_DIRECT_READ)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          module,
  IN UINT32          index
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_DIRECT_WRITE)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          module,
  IN UINT32          index,
  IN UINT32          value
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_ENABLE_REMOTE_ACCESS)(
  IN TARVO3_ZOR_PPI  *This
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_WAIT_FOR_PEERS)(
  IN TARVO3_ZOR_PPI  *This
  );

typedef UINT32 (EFIAPI *TARVO3_ZOR_CHECK_ERRORS)(
  IN TARVO3_ZOR_PPI  *This
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_MMIO_H)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT64          base,
  IN UINT64          limit,
  IN UINT8           dm,
  IN UINT8           ds
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_MMIO_L)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          base,
  IN UINT32          limit,
  IN UINT8           dm,
  IN UINT8           ds
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_IO)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT16          base,
  IN UINT16          limit,
  IN UINT8           dm,
  IN UINT8           ds
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_MMCFG)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT64          base,
  IN UINT64          limit,
  IN UINT8           dm,
  IN UINT8           ds
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_X2APIC)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT32          base,
  IN UINT32          limit,
  IN UINT8           dm,
  IN UINT8           ds
  );

typedef VOID (EFIAPI *TARVO3_ZOR_ROUTE_DRAM)(
  IN TARVO3_ZOR_PPI  *This,
  IN UINT64          base,
  IN UINT64          limit,
  IN UINT8           dm,
  IN UINT8           ds,
  IN UINT8           type
  );

typedef VOID (EFIAPI *TARVO3_ZOR_LATE_INIT)(
  IN TARVO3_ZOR_PPI  *This
  );

///
/// Slots 0 to 17, in this order.
///
struct _TARVO3_ZOR_PPI {
  TARVO3_ZOR_INDIRECT_READ           indirectRead;
  TARVO3_ZOR_INDIRECT_WRITE          indirectWrite;
  TARVO3_ZOR_NO_OP                   noOp;
  TARVO3_ZOR_SET_MODULE_INFO         setModuleInfo;
  TARVO3_ZOR_SET_SPD_BYTE            setSpdByte;
  TARVO3_ZOR_RESERVED                reservedSlot;
  TARVO3_ZOR_DIRECT_READ             directRead;
  TARVO3_ZOR_DIRECT_WRITE            directWrite;
  TARVO3_ZOR_ENABLE_REMOTE_ACCESS    enableRemoteAccess;
  TARVO3_ZOR_WAIT_FOR_PEERS          waitForPeers;
  TARVO3_ZOR_CHECK_ERRORS            checkErrors;
  TARVO3_ZOR_ROUTE_MMIO_H            routeMmioH;
  TARVO3_ZOR_ROUTE_MMIO_L            routeMmioL;
  TARVO3_ZOR_ROUTE_IO                routeIo;
  TARVO3_ZOR_ROUTE_MMCFG             routeMmcfg;
  TARVO3_ZOR_ROUTE_X2APIC            routeX2apic;
  TARVO3_ZOR_ROUTE_DRAM              routeDram;
  TARVO3_ZOR_LATE_INIT               lateInit;
};

STATIC_ASSERT (sizeof (TARVO3_ZOR_PPI) == 18 * sizeof (VOID *), "18 slots");

extern EFI_GUID  gTarvo3ZorPpiGuid;

#endif
