/** @file
  Topology and SPD staging: setModuleInfo stores the coupled machine's shape
  and derives each module's CPB number; setSpdByte stages the SPD bytes of the
  ZOR's own DIMMs for the DRAM bring-up.
**/
#include "ZorPei.h"

//
// routeTable has one row per CPB number, so a CPB number must stay below 16.
//
constexpr UINT32  ZOR_CPB_NUMBERS = 16;

VOID
EFIAPI
setModuleInfo (
  TARVO3_ZOR_PPI  *This,
  UINT32          modules,
  UINT32          localModule,
  UINT32          biRail,
  UINT32          cmm2s,
  UINT32          buriedCA,
  UINT32          physicalModule,
  UINT32          cpbMask
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT32    cpb[ZOR_MAX_MODULES];

  DEBUG ((DEBUG_INFO, "+ TARVO3_ZOR_local_setModuleInfo\n"));

  //
  // Every later operation indexes arrays and computes shifts from these
  // values; reject a topology that would take them out of bounds before
  // anything is stored.
  //
  FATAL_CHECK (modules >= 1 && modules <= 16);
  FATAL_CHECK (localModule < modules);
  FATAL_CHECK (biRail <= 1);

  //
  // Module i takes the (i+1)-th lowest set bit of the mask; modules beyond
  // the mask's set bits get CPB 0.
  //
  for (UINT32 i = 0; i < ZOR_MAX_MODULES; i++) {
    cpb[i] = 0;
    if (i < modules) {
      UINT32  skip = i;
      for (UINT32 bit = 0; bit < 32; bit++) {
        if ((cpbMask & (1U << bit)) != 0) {
          if (skip == 0) {
            cpb[i] = bit;
            break;
          }

          skip--;
        }
      }

      FATAL_CHECK (cpb[i] < ZOR_CPB_NUMBERS);
    }
  }

  zorData->modules        = modules;
  zorData->localModule    = localModule;
  zorData->physicalModule = physicalModule;
  zorData->biRail         = biRail;
  zorData->buriedCA       = buriedCA;
  zorData->CMM2S          = (cmm2s == 0) ? 1 : 0;

  for (UINT32 i = 0; i < ZOR_MAX_MODULES; i++) {
    zorData->cpb[i] = cpb[i];
    if (i < modules) {
      DEBUG ((DEBUG_INFO, "M%d is CPB%d\n", i, cpb[i]));
    }
  }

  DEBUG ((
    DEBUG_INFO,
    "- TARVO3_ZOR_local_setModuleInfo %u modules, localModule %u, biRail %u, CMM2S %u, buriedCA %u\n",
    zorData->modules,
    zorData->localModule,
    zorData->biRail,
    zorData->CMM2S,
    zorData->buriedCA
    ));
}

VOID
EFIAPI
setSpdByte (
  TARVO3_ZOR_PPI  *This,
  UINT32          rail,
  UINT32          channel,
  UINT16          index,
  UINT8           value
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);

  //
  // The SPD store has two rails of two channels of 512 bytes; anything else
  // would land in other fields of the record.
  //
  if ((index >= SPD_BYTES) || (rail >= ZOR_RAILS) || (channel >= DDR_CHANNELS)) {
    return;
  }

  zorData->spd[rail][channel][index] = value;
}
