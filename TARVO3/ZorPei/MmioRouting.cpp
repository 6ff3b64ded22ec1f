/** @file
  MMIO routing: MMIO-H ranges above 4 GB take one rule of the
  MMIO-H table, MMIO-L ranges below 4 GB one routing-table entry per
  megabyte; a range of the local module also takes one of the eight local
  IOA MMIO rules, which tell the local ZOR which of its own sockets owns it.
**/
#include "Routing.h"

VOID
EFIAPI
routeMmioH (
  TARVO3_ZOR_PPI  *This,
  UINT64          base,
  UINT64          limit,
  UINT8           dm,
  UINT8           ds
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    rule;
  UINT32    baseWord;
  UINT32    limitWord;

  DEBUG ((DEBUG_INFO, "Routing MMIO-H %lx:%lx to %u.%u\n", base, limit, dm, ds));

  FATAL_CHECK ((base & ((1ULL << MMIO_H_ATT_LSB) - 1)) == 0);
  FATAL_CHECK ((limit & ((1ULL << MMIO_H_ATT_LSB) - 1)) == ((1ULL << MMIO_H_ATT_LSB) - 1));
  FATAL_CHECK (limit < (1ULL << (MMIO_H_ATT_MSB + 1)));
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  //
  // Address bits 47:32 fill the upper half of each word; the limit check
  // keeps every limit bit, and the 32-bit word drops base bits above 47.
  //
  rule      = dm * zorData->socketsPerModule + ds;
  baseWord  = (UINT32)(base >> MMIO_H_ATT_LSB) << 16 | RULE_VALID;
  limitWord = (UINT32)(limit >> MMIO_H_ATT_LSB) << 16 | routeTarget (dm, ds);

  //
  // The base word carries the valid bit, so it goes last: the rule never
  // decodes with a stale limit.
  //
  forEachRail (zorData, [&](UINT32 rail) {
    csrWrite (zorData->localModule, rail, MMIOH_RULE_LIMIT + 4 * rule, limitWord);
    csrWrite (zorData->localModule, rail, MMIOH_RULE_BASE + 4 * rule, baseWord);
  });

  if (dm == zorData->localModule) {
    addLocalMmioRule (zorData, ds, base, limit);
  }
}

VOID
EFIAPI
routeMmioL (
  TARVO3_ZOR_PPI  *This,
  UINT32          base,
  UINT32          limit,
  UINT8           dm,
  UINT8           ds
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);

  DEBUG ((DEBUG_INFO, "Routing MMIO-L %08x:%08x to %u.%u\n", base, limit, dm, ds));

  FATAL_CHECK ((base & ((1ULL << MMIO_L_ATT_LSB) - 1)) == 0);
  FATAL_CHECK ((limit & ((1ULL << MMIO_L_ATT_LSB) - 1)) == ((1ULL << MMIO_L_ATT_LSB) - 1));
  FATAL_CHECK (dm < zorData->modules);
  FATAL_CHECK (ds < zorData->socketsPerModule);

  //
  // One table entry per megabyte; a base above the limit routes nothing.
  //
  writeRouteEntries (zorData, ROUTE_TABLE_MMIO_L, base >> MMIO_L_ATT_LSB, limit >> MMIO_L_ATT_LSB, routeTarget (dm, ds));

  if (dm == zorData->localModule) {
    addLocalMmioRule (zorData, ds, base, limit);
  }
}

VOID
writeRouteEntries (
  CONST ZOR_DATA  *zorData,
  UINT32          table,
  UINT32          first,
  UINT32          last,
  UINT32          target
  )
{
  forEachRail (zorData, [&](UINT32 rail) {
    for (UINT32 entry = first; entry <= last; entry++) {
      csrWrite (zorData->localModule, rail, IOA_ROUTE_PORT, routePortValue (table, entry, target));
    }
  });
}

VOID
addLocalMmioRule (
  ZOR_DATA  *zorData,
  UINT8     target,
  UINT64    base,
  UINT64    limit
  )
{
  UINT32  rule;
  UINT32  baseWord;
  UINT32  limitWord;
  UINT32  highWord;

  FATAL_CHECK (zorData->localMmioMaps < IOA_MMIO_RULES);
  rule = zorData->localMmioMaps;

  baseWord  = (UINT32)((base >> 16) & 0xFFFFFF) << 8 | RULE_VALID;
  limitWord = (UINT32)((limit >> 16) & 0xFFFFFF) << 8 | target;
  highWord  = (UINT32)((limit >> 40) & 0xFF) << 16 | (UINT32)((base >> 40) & 0xFF);

  //
  // The valid bit lives in the base word, which goes last.
  //
  forEachRail (zorData, [&](UINT32 rail) {
    csrWrite (zorData->localModule, rail, IOA_MMIO_RULE_HIGH + 4 * rule, highWord);
    csrWrite (zorData->localModule, rail, IOA_MMIO_RULE_LIMIT + 4 * rule, limitWord);
    csrWrite (zorData->localModule, rail, IOA_MMIO_RULE_BASE + 4 * rule, baseWord);
  });

  zorData->localMmioMaps++;
}
