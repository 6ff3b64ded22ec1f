/** @file
  The six DDR register accessors: reads, writes and polls of a channel's
  DDRC and PUB registers through the channel's index/data pairs.

  Every access is exactly two bus accesses, the index register first, with no
  read-back: the pair holds the selected register between the two, and the
  module runs on one processor inside one PPI call at a time, so nothing can
  come between them.
**/
#include "DdrSetup.h"

//
// A bad module or channel is a caller's programming error; no register is
// touched once either check has failed. The module is checked first.
//
STATIC
VOID
checkChannel (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          chan
  )
{
  FATAL_CHECK (module < zorData->modules);
  FATAL_CHECK (chan < DDR_CHANNELS);
}

STATIC
UINT32
pairOffset (
  UINT32  chan,
  UINT32  pairRegister
  )
{
  return DDR_PAIRS + chan * DDR_PAIR_STRIDE + pairRegister;
}

//
// One access through a channel's index/data pair: the index register
// selects reg, then the data register reads or writes it. rail is not
// checked: rails 0 and 1 are the only ones the bring-up loops over, and the
// window rule places any other rail below them.
//
STATIC
UINT32
pairRead (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          indexRegister,
  UINT32          dataRegister,
  UINT32          reg
  )
{
  checkChannel (zorData, module, chan);
  csrWrite (module, rail, pairOffset (chan, indexRegister), reg);
  return csrRead (module, rail, pairOffset (chan, dataRegister));
}

STATIC
VOID
pairWrite (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          indexRegister,
  UINT32          dataRegister,
  UINT32          reg,
  UINT32          value
  )
{
  checkChannel (zorData, module, chan);
  csrWrite (module, rail, pairOffset (chan, indexRegister), reg);
  csrWrite (module, rail, pairOffset (chan, dataRegister), value);
}

UINT32
ddrcRead (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg
  )
{
  return pairRead (zorData, module, rail, chan, DDR_DDRC_INDEX, DDR_DDRC_DATA, reg);
}

VOID
ddrcWrite (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          value
  )
{
  pairWrite (zorData, module, rail, chan, DDR_DDRC_INDEX, DDR_DDRC_DATA, reg, value);
}

UINT32
pubRead (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg
  )
{
  return pairRead (zorData, module, rail, chan, DDR_PUB_INDEX, DDR_PUB_DATA, reg);
}

VOID
pubWrite (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          value
  )
{
  pairWrite (zorData, module, rail, chan, DDR_PUB_INDEX, DDR_PUB_DATA, reg, value);
}

typedef
UINT32
(*DDR_READ)(
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg
  );

//
// The one poll of the DRAM code. Each read goes through the read accessor,
// which checks again and rewrites the index register every time: the poll
// relies on nothing the pair held before. The PAUSE before each read eases
// the spin on the processor; the bound is a count of reads, not a time.
//
STATIC
UINT32
ddrPoll (
  DDR_READ        read,
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          mask,
  UINT32          value,
  UINT8           bounded
  )
{
  UINT32  v = 0;

  checkChannel (zorData, module, chan);
  for (UINT32 count = 0; ; count++) {
    if ((bounded != 0) && (count >= DDR_POLL_READS)) {
      break;
    }

    CpuPause ();
    v = read (zorData, module, rail, chan, reg);
    if ((v & mask) == value) {
      break;
    }
  }

  return v;
}

UINT32
ddrcPoll (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          mask,
  UINT32          value,
  UINT8           bounded
  )
{
  return ddrPoll (ddrcRead, zorData, module, rail, chan, reg, mask, value, bounded);
}

UINT32
pubPoll (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          mask,
  UINT32          value,
  UINT8           bounded
  )
{
  return ddrPoll (pubRead, zorData, module, rail, chan, reg, mask, value, bounded);
}
