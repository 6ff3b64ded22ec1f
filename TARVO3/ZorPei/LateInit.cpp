/** @file
  Late initialisation: hands what the routing slots and the DRAM
  bring-up gathered in zorData to the chip: the GIDNID map, the tag mode
  chosen from the sizes of the ZOR's own DRAM and the local host DRAM, the
  CMM2S and buriedCA settings and the mask of modules and sockets present.
**/
#include "Routing.h"

//
// Window offset of the IOA GIDNID map, and PE offsets (in both engines) of
// the registers written here.
//
constexpr UINT32  IOA_GIDNID_MAP        = 0x2104;
constexpr UINT32  GIDNID_MAP_ENABLE     = 0x01000000;
constexpr UINT32  PE_CONFIG             = 0x000;
constexpr UINT32  PE_CONFIG_BURIED_CA   = BIT0;
constexpr UINT32  PE_CONFIG_ENABLE      = 0x80000000;
constexpr UINT32  PE_PRESENCE           = 0x004;
constexpr UINT32  PE_TAG_MODE           = 0x188;
constexpr UINT32  PE_TAG_MODE_FIXED     = 0x743210F0;
constexpr UINT32  PE_TAG_MODE_CMM2S_SHIFT = 2;

//
// Tag modes by the share of the local host DRAM that the ZOR's DRAM holds.
//
constexpr UINT32  TAG_MODE_1_32         = 1;  // at least 1/32
constexpr UINT32  TAG_MODE_1_64         = 0;  // at least 1/64
constexpr UINT32  TAG_MODE_NONE         = 3;  // less, or no ZOR DRAM

VOID
EFIAPI
lateInit (
  TARVO3_ZOR_PPI  *This
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);
  UINT64    hostSize;
  UINT64    hostMB;
  BOOLEAN   hostKnown;
  UINT32    tagMode;
  UINT32    presence;

  DEBUG ((DEBUG_INFO, "+ TARVO3_ZOR_local_lateInit\n"));

  //
  // Without both halves of the range the host size is unknown. Tag modes 1
  // and 0 promise that the ZOR DRAM holds at least 1/32 or 1/64 of the host
  // DRAM, which an unknown size cannot back (a host size of 0 alone would
  // pass as tag mode 1); tag mode 3 promises nothing, as for a ZOR without
  // DRAM. So an unknown range says so in red and takes tag mode 3, with a
  // host size of 0 in the report.
  //
  hostKnown = (zorData->hostDramSet & HOST_DRAM_BASE_SET) != 0 && (zorData->hostDramSet & HOST_DRAM_LIMIT_SET) != 0;
  if (hostKnown) {
    hostSize = zorData->hostDramLimit - zorData->hostDramBase + 1;
  } else {
    DEBUG ((
      DEBUG_WARN,
      "\033[31mLocal host DRAM range of M%u not routed (no routeDram for %a); host size unknown, tag_mode 3\033[0m\n",
      zorData->localModule,
      (zorData->hostDramSet == 0) ? "socket 0 and socket 1" :
      ((zorData->hostDramSet & HOST_DRAM_BASE_SET) == 0) ? "socket 0" : "socket 1"
      ));
    hostSize = 0;
  }

  DEBUG ((DEBUG_INFO, "GIDNID map %08x\n", zorData->gidnidMap));
  forEachRail (zorData, [&](UINT32 rail) {
    csrWrite (zorData->localModule, rail, IOA_GIDNID_MAP, zorData->gidnidMap | GIDNID_MAP_ENABLE);
  });

  //
  // Module 0's range includes the low region and the hole below 4 GB, which
  // are not host DRAM that the ZOR tracks.
  //
  if ((hostSize != 0) && (zorData->localModule == 0)) {
    hostSize -= ((UINT64)zorData->lowRegionGb + 1) * SIZE_1GB;
  }

  hostMB = hostSize >> 20;
  if (!hostKnown || (zorData->zorDramSize == 0) || ((zorData->zorDramSize >> 14) < hostMB)) {
    tagMode = TAG_MODE_NONE;
  } else if ((zorData->zorDramSize >> 15) >= hostMB) {
    tagMode = TAG_MODE_1_32;
  } else {
    tagMode = TAG_MODE_1_64;
  }

  DEBUG ((
    DEBUG_INFO,
    "%luMB ZOR DRAM; %luMB local host DRAM, tag_mode = %d\n",
    zorData->zorDramSize >> 20,
    hostMB,
    tagMode
    ));

  forEachRail (zorData, [&](UINT32 rail) {
    for (UINT32 pe = 0; pe < PE_COUNT; pe++) {
      csrWrite (
        zorData->localModule,
        rail,
        peOffset (pe, PE_TAG_MODE),
        PE_TAG_MODE_FIXED | zorData->CMM2S << PE_TAG_MODE_CMM2S_SHIFT | tagMode
        );
    }
  });

  forEachRail (zorData, [&](UINT32 rail) {
    for (UINT32 pe = 0; pe < PE_COUNT; pe++) {
      UINT32  config = csrRead (zorData->localModule, rail, peOffset (pe, PE_CONFIG));

      config = (config & ~PE_CONFIG_BURIED_CA) | zorData->buriedCA | PE_CONFIG_ENABLE;
      csrWrite (zorData->localModule, rail, peOffset (pe, PE_CONFIG), config);
    }
  });

  //
  // Two bits per module, one per socket, for modules 0 to modules - 1.
  //
  presence = (zorData->socketsPerModule == 1) ? 0x55555555 : 0xFFFFFFFF;
  presence >>= 2 * (ZOR_MAX_MODULES - zorData->modules);
  forEachRail (zorData, [&](UINT32 rail) {
    for (UINT32 pe = 0; pe < PE_COUNT; pe++) {
      csrWrite (zorData->localModule, rail, peOffset (pe, PE_PRESENCE), presence);
    }
  });

  DEBUG ((DEBUG_INFO, "- TARVO3_ZOR_local_lateInit\n"));
}
