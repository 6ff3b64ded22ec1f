/** @file
  The CSR window rule and the four raw register slots.

  Every ZOR exposes its registers in one 1 MB window per module and rail:
  rail 0's sixteen windows fill 0xFB000000-0xFBFFFFFF and rail 1's lie 16 MB
  below. Beyond those 32 MB lie other devices and the firmware flash, so the
  raw slots refuse arguments that would leave them.
**/
#include "ZorPei.h"

extern "C" {
#include <Library/IoLib.h>
}

UINT32
csrAddress (
  UINT32  module,
  UINT32  rail,
  UINT32  offset
  )
{
  return ZOR_CSR_BASE + module * ZOR_MODULE_WINDOW - rail * ZOR_RAIL_STRIDE + offset;
}

UINT32
csrRead (
  UINT32  module,
  UINT32  rail,
  UINT32  offset
  )
{
  return MmioRead32 (csrAddress (module, rail, offset));
}

VOID
csrWrite (
  UINT32  module,
  UINT32  rail,
  UINT32  offset,
  UINT32  value
  )
{
  MmioWrite32 (csrAddress (module, rail, offset), value);
}

//
// Largest index of the word array that stays inside its module's window.
//
constexpr UINT32  DIRECT_ARRAY_LAST = (ZOR_MODULE_WINDOW - IOA_DIRECT_ARRAY) / 4 - 1;

STATIC
BOOLEAN
blockInWindows (
  UINT32  rail,
  UINT32  block
  )
{
  return rail < ZOR_RAILS && block < ZOR_BLOCKS;
}

STATIC
BOOLEAN
wordInWindows (
  UINT32  module,
  UINT32  index
  )
{
  return module < ZOR_MAX_MODULES && index <= DIRECT_ARRAY_LAST;
}

UINT32
EFIAPI
indirectRead (
  TARVO3_ZOR_PPI  *This,
  UINT32          rail,
  UINT32          block,
  UINT32          indexHigh,
  UINT32          indexLow
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);

  if (!blockInWindows (rail, block)) {
    DEBUG ((
      DEBUG_WARN,
      "\033[31mindirectRead rail %u block %u index 0x%x:0x%x lies outside the ZOR windows; not accessed\033[0m\n",
      rail,
      block,
      indexHigh,
      indexLow
      ));
    return 0xFFFFFFFF;
  }

  csrWrite (zorData->localModule, rail, block * ZOR_BLOCK_SIZE + BLOCK_INDEX, (indexHigh << 16) | indexLow);
  return csrRead (zorData->localModule, rail, block * ZOR_BLOCK_SIZE + BLOCK_DATA);
}

UINT32
EFIAPI
indirectWrite (
  TARVO3_ZOR_PPI  *This,
  UINT32          rail,
  UINT32          block,
  UINT32          indexHigh,
  UINT32          indexLow,
  UINT32          value
  )
{
  ZOR_DATA  *zorData = ZOR_DATA_FROM_PPI (This);

  if (!blockInWindows (rail, block)) {
    DEBUG ((
      DEBUG_WARN,
      "\033[31mindirectWrite rail %u block %u index 0x%x:0x%x value 0x%08x lies outside the ZOR windows; not accessed\033[0m\n",
      rail,
      block,
      indexHigh,
      indexLow,
      value
      ));
    return value;
  }

  csrWrite (zorData->localModule, rail, block * ZOR_BLOCK_SIZE + BLOCK_INDEX, (indexHigh << 16) | indexLow);
  csrWrite (zorData->localModule, rail, block * ZOR_BLOCK_SIZE + BLOCK_DATA, value);
  return value;
}

UINT32
EFIAPI
directRead (
  TARVO3_ZOR_PPI  *This,
  UINT32          module,
  UINT32          index
  )
{
  (VOID)This;

  if (!wordInWindows (module, index)) {
    DEBUG ((
      DEBUG_WARN,
      "\033[31mdirectRead module %u index 0x%x lies outside the ZOR windows; not accessed\033[0m\n",
      module,
      index
      ));
    return 0xFFFFFFFF;
  }

  return csrRead (module, 0, IOA_DIRECT_ARRAY + 4 * index);
}

UINT32
EFIAPI
directWrite (
  TARVO3_ZOR_PPI  *This,
  UINT32          module,
  UINT32          index,
  UINT32          value
  )
{
  (VOID)This;

  if (!wordInWindows (module, index)) {
    DEBUG ((
      DEBUG_WARN,
      "\033[31mdirectWrite module %u index 0x%x value 0x%08x lies outside the ZOR windows; not accessed\033[0m\n",
      module,
      index,
      value
      ));
    return value;
  }

  csrWrite (module, 0, IOA_DIRECT_ARRAY + 4 * index, value);
  return value;
}
