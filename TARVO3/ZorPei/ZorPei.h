/** @file
  Private definitions of the ZOR node-controller module: the record that owns
  the PPI, the CSR window rule and the operations behind the PPI slots.
**/
#ifndef __ZOR_PEI_H__
#define __ZOR_PEI_H__

extern "C" {
#include <PiPei.h>
#include <Library/BaseLib.h>
#include <Library/DebugLib.h>
#include <Ppi/Tarvo3ZorPpi.h>
#include <FatalCheck.h>
}

#include "DdrTypes.h"

constexpr UINT32  ZOR_MAX_MODULES  = 16;
constexpr UINT32  ZOR_RAILS        = 2;
constexpr UINT32  DDR_CHANNELS     = 2;
constexpr UINT32  SPD_BYTES        = 512;
constexpr UINT32  IOA_MMIO_RULES   = 8;

///
/// The module's private record. It owns the PPI descriptor and table, so a
/// slot steps back from This to the record with ZOR_DATA_FROM_PPI. Members
/// are in the documented order; platform code may read them through the PPI
/// pointer.
///
typedef struct {
  CHAR8                     signature[4];
  EFI_PEI_PPI_DESCRIPTOR    ppiDescriptor;
  TARVO3_ZOR_PPI            ppi;
  UINT32                    modules;
  UINT32                    socketsPerModule;
  UINT32                    localModule;
  UINT32                    physicalModule;
  UINT32                    cpb[ZOR_MAX_MODULES];
  UINT32                    ctrlField0;
  UINT32                    ctrlField1;
  UINT32                    biRail;
  UINT32                    CMM2S;
  UINT32                    buriedCA;
  UINT32                    lowRegionGb;
  UINT32                    railNid[ZOR_RAILS];
  UINT64                    zorDramSize;
  UINT32                    localMmioMaps;
  UINT32                    gidnidMap;
  UINT32                    socketNid[2];
  UINT32                    sciMask;
  UINT64                    hostDramBase;
  UINT64                    hostDramLimit;
  DDR_CLOCKS                clocks[ZOR_RAILS * DDR_CHANNELS];
  UINT8                     spd[ZOR_RAILS][DDR_CHANNELS][SPD_BYTES];
  DDR_DIMM                  dimm[ZOR_RAILS * DDR_CHANNELS];
  //
  // Not one of the documented fields: appended after them so that their
  // order and offsets stay as documented. Which halves of the local host
  // DRAM range routeDram has set (HOST_DRAM_BASE_SET, HOST_DRAM_LIMIT_SET);
  // 0 from the clearing at allocation. A base of 0 is both the cleared value
  // and a valid base, so lateInit cannot tell "not set" from the range
  // fields alone.
  //
  UINT32                    hostDramSet;
} ZOR_DATA;

constexpr UINT32  HOST_DRAM_BASE_SET   = BIT0;
constexpr UINT32  HOST_DRAM_LIMIT_SET  = BIT1;

#define ZOR_DATA_FROM_PPI(This)  BASE_CR (This, ZOR_DATA, ppi)

#if defined (MDE_CPU_IA32)
//
// The record's layout as IA32 firmware sees it (UINT64 aligned to 8).
//
STATIC_ASSERT (OFFSET_OF (ZOR_DATA, ppi) == 16, "ppi follows the 12-byte descriptor");
STATIC_ASSERT (OFFSET_OF (ZOR_DATA, modules) == 88, "modules follows the 18 slots");
STATIC_ASSERT (OFFSET_OF (ZOR_DATA, zorDramSize) == 200, "zorDramSize is 8-byte aligned");
#endif

//
// CSR windows: module m of rail r starts at
// 0xFB000000 + m * 0x100000 - r * 0x1000000, in 32-bit arithmetic.
//
constexpr UINT32  ZOR_CSR_BASE        = 0xFB000000;
constexpr UINT32  ZOR_MODULE_WINDOW   = 0x00100000;
constexpr UINT32  ZOR_RAIL_STRIDE     = 0x01000000;
constexpr UINT32  ZOR_BLOCK_SIZE      = 0x1000;
constexpr UINT32  ZOR_BLOCKS          = 256;

// Index/data pair of every 4 KB block.
constexpr UINT32  BLOCK_INDEX         = 0x40;
constexpr UINT32  BLOCK_DATA          = 0x44;

// Word array of a module's window on rail 0, reached by directRead/Write.
constexpr UINT32  IOA_DIRECT_ARRAY    = 0x21E0;

UINT32
csrAddress (
  UINT32  module,
  UINT32  rail,
  UINT32  offset
  );

UINT32
csrRead (
  UINT32  module,
  UINT32  rail,
  UINT32  offset
  );

VOID
csrWrite (
  UINT32  module,
  UINT32  rail,
  UINT32  offset,
  UINT32  value
  );

///
/// Runs Body (rail) for every rail from 0 to biRail, rail 0 first: the local
/// chip's configuration is written identically to each rail's window.
///
template <typename Body>
inline VOID
forEachRail (
  CONST ZOR_DATA  *zorData,
  Body            body
  )
{
  for (UINT32 rail = 0; rail <= zorData->biRail; rail++) {
    body (rail);
  }
}

//
// PPI slots.
//
extern "C" {
UINT32 EFIAPI indirectRead (TARVO3_ZOR_PPI *This, UINT32 rail, UINT32 block, UINT32 indexHigh, UINT32 indexLow);
UINT32 EFIAPI indirectWrite (TARVO3_ZOR_PPI *This, UINT32 rail, UINT32 block, UINT32 indexHigh, UINT32 indexLow, UINT32 value);
VOID   EFIAPI noOp (TARVO3_ZOR_PPI *This);
VOID   EFIAPI setModuleInfo (TARVO3_ZOR_PPI *This, UINT32 modules, UINT32 localModule, UINT32 biRail, UINT32 cmm2s, UINT32 buriedCA, UINT32 physicalModule, UINT32 cpbMask);
VOID   EFIAPI setSpdByte (TARVO3_ZOR_PPI *This, UINT32 rail, UINT32 channel, UINT16 index, UINT8 value);
UINT32 EFIAPI directRead (TARVO3_ZOR_PPI *This, UINT32 module, UINT32 index);
UINT32 EFIAPI directWrite (TARVO3_ZOR_PPI *This, UINT32 module, UINT32 index, UINT32 value);
UINT32 EFIAPI enableRemoteAccess (TARVO3_ZOR_PPI *This);
UINT32 EFIAPI waitForPeers (TARVO3_ZOR_PPI *This);
UINT32 EFIAPI checkErrors (TARVO3_ZOR_PPI *This);
VOID   EFIAPI routeMmioH (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds);
VOID   EFIAPI routeMmioL (TARVO3_ZOR_PPI *This, UINT32 base, UINT32 limit, UINT8 dm, UINT8 ds);
VOID   EFIAPI routeIo (TARVO3_ZOR_PPI *This, UINT16 base, UINT16 limit, UINT8 dm, UINT8 ds);
VOID   EFIAPI routeMmcfg (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds);
VOID   EFIAPI routeX2apic (TARVO3_ZOR_PPI *This, UINT32 base, UINT32 limit, UINT8 dm, UINT8 ds);
VOID   EFIAPI routeDram (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds, UINT8 type);
VOID   EFIAPI lateInit (TARVO3_ZOR_PPI *This);

EFI_STATUS
EFIAPI
ZorPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );
}

///
/// A slot whose operation this build does not carry yet: says so in red and
/// halts, so that no caller mistakes it for a completed operation.
///
#define ZOR_NOT_IMPLEMENTED(Name)                                                     \
  do {                                                                                \
    DEBUG ((DEBUG_ERROR, "\033[31mTARVO3_ZOR_local_%a is not implemented\033[0m\n", Name)); \
    CpuDeadLoop ();                                                                   \
  } while (FALSE)

#endif
