/** @file
  Routing of PCI I/O, MMCFG, x2APIC and DRAM ranges. Each slot
  checks its range, then programs the local module's window on every rail;
  routeX2apic and routeDram also leave the GIDNID map and the local host
  DRAM range in zorData for lateInit.
**/
#include "Routing.h"

VOID
EFIAPI
routeIo (
  TARVO3_ZOR_PPI  *This,
  UINT16          base,
  UINT16          limit,
  UINT8           dm,
  UINT8           ds
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    first;
  UINT32    last;

  DEBUG ((DEBUG_INFO, "Routing IO %04x:%04x to %u.%u\n", base, limit, dm, ds));

  FATAL_CHECK ((base & ((1ULL << PCIIO_ATT_LSB) - 1)) == 0);
  FATAL_CHECK ((limit & ((1ULL << PCIIO_ATT_LSB) - 1)) == ((1ULL << PCIIO_ATT_LSB) - 1));
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  first = (UINT32)base >> PCIIO_ATT_LSB;
  last  = (UINT32)limit >> PCIIO_ATT_LSB;

  writeRouteEntries (zorData, ROUTE_TABLE_PCI_IO, first, last, routeTarget (dm, ds));

  //
  // The local socket's decode register is written even for an empty range
  // (base above limit), as the platform asked.
  //
  if (dm == zorData->localModule) {
    forEachRail (zorData, [&](UINT32 rail) {
      csrWrite (
        zorData->localModule,
        rail,
        IOA_IO_DECODE + 4 * ds,
        last << 24 | first << 16 | (UINT32)ds << 8 | RULE_VALID
        );
    });
  }
}

VOID
EFIAPI
routeMmcfg (
  TARVO3_ZOR_PPI  *This,
  UINT64          base,
  UINT64          limit,
  UINT8           dm,
  UINT8           ds
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    firstBus;
  UINT32    lastBus;

  DEBUG ((DEBUG_INFO, "Routing MMCFG %09lx:%09lx to %u.%u\n", base, limit, dm, ds));

  FATAL_CHECK ((base & ((1ULL << MMCFG_LSB) - 1)) == 0);
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  //
  // Only the local sockets decode configuration space; the ZOR has no MMCFG
  // routing table, so another module's range writes nothing.
  //
  if (dm != zorData->localModule) {
    return;
  }

  firstBus = (UINT32)(base >> MMCFG_LSB) & 0xFF;
  lastBus  = (UINT32)(limit >> MMCFG_LSB) & 0xFF;
  forEachRail (zorData, [&](UINT32 rail) {
    csrWrite (
      zorData->localModule,
      rail,
      IOA_MMCFG_DECODE + 4 * ds,
      lastBus << 24 | firstBus << 16 | (UINT32)ds << 8 | RULE_VALID
      );
  });
}

VOID
EFIAPI
routeX2apic (
  TARVO3_ZOR_PPI  *This,
  UINT32          base,
  UINT32          limit,
  UINT8           dm,
  UINT8           ds
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    first;
  UINT32    last;

  DEBUG ((DEBUG_INFO, "Routing x2APIC %03x:%03x to %u.%u\n", base, limit, dm, ds));

  FATAL_CHECK ((base & ((1U << APIC_SHIFT) - 1)) == 0);
  FATAL_CHECK ((limit & ((1U << APIC_SHIFT) - 1)) == ((1U << APIC_SHIFT) - 1));
  FATAL_CHECK (limit < (1U << (APIC_SHIFT + APIC_ATT_ADDR_WIDTH)));
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  first = base >> APIC_SHIFT;
  last  = limit >> APIC_SHIFT;

  //
  // The GIDNID map gives the node ID of the local socket that owns each
  // group, by the group's low three bits; lateInit hands it to the chip.
  //
  if (dm == zorData->localModule) {
    for (UINT32 group = first; group <= last; group++) {
      UINT32  shift = 3 * (group & 7);

      zorData->gidnidMap = (zorData->gidnidMap & ~(7U << shift)) | (zorData->socketNid[ds] & 7) << shift;
    }
  }

  writeRouteEntries (zorData, ROUTE_TABLE_X2APIC, first, last, routeTarget (dm, ds));
}

VOID
EFIAPI
routeDram (
  TARVO3_ZOR_PPI  *This,
  UINT64          base,
  UINT64          limit,
  UINT8           dm,
  UINT8           ds,
  UINT8           type
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    rule;
  UINT32    baseWord;
  UINT32    limitWord;

  DEBUG ((DEBUG_INFO, "Routing DRAM %012lx:%012lx to %u.%u", base, limit, dm, ds));
  if (type == DRAM_TYPE_AEP_CONTROL) {
    DEBUG ((DEBUG_INFO, " (AEP control region)\n"));
  } else {
    DEBUG ((DEBUG_INFO, " (regular DDR4 DRAM)\n"));
  }

  FATAL_CHECK ((base & ((1ULL << DRAM_LSB) - 1)) == 0);
  FATAL_CHECK ((limit & ((1ULL << DRAM_LSB) - 1)) == ((1ULL << DRAM_LSB) - 1));
  FATAL_CHECK (limit < (1ULL << (48 + 1)));
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  //
  // AEP control regions take the upper sixteen rules, shared with the
  // regular DRAM of modules 8 to 15. From module 8 on an AEP region's index
  // would lie past the 32 rules, and its words would land on other PE
  // registers (the tag mode at PE offset 0x188 among them).
  //
  rule = dm * zorData->socketsPerModule + ds;
  if (type == DRAM_TYPE_AEP_CONTROL) {
    rule += PE_DRAM_AEP_RULES;
  }

  FATAL_CHECK (rule < PE_DRAM_RULES);

  //
  // The rule words hold address bits 47:30: a limit with bit 48 set would
  // reach the chip as a different range.
  //
  FATAL_CHECK (limit < (1ULL << (DRAM_ATT_MSB + 1)));

  //
  // The local module's host DRAM runs from socket 0's base to the other
  // socket's limit; lateInit chooses the tag mode from its size.
  //
  if (dm == zorData->localModule) {
    if (ds == 0) {
      zorData->hostDramBase  = base;
      zorData->hostDramSet  |= HOST_DRAM_BASE_SET;
    } else {
      zorData->hostDramLimit = limit;
      zorData->hostDramSet  |= HOST_DRAM_LIMIT_SET;
    }
  }

  baseWord  = (UINT32)(base >> DRAM_LSB) << 14 | RULE_VALID;
  limitWord = (UINT32)(limit >> DRAM_LSB) << 14 | routeTarget (dm, ds);

  forEachRail (zorData, [&](UINT32 rail) {
    for (UINT32 pe = 0; pe < PE_COUNT; pe++) {
      csrWrite (zorData->localModule, rail, peOffset (pe, PE_DRAM_RULE_BASE) + 4 * rule, baseWord);
      csrWrite (zorData->localModule, rail, peOffset (pe, PE_DRAM_RULE_LIMIT) + 4 * rule, limitWord);
    }
  });
}
