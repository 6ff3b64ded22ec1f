/** @file
  DRAM bring-up of the ZOR's own DDR4 channels: register access to each
  channel's memory controller (a uMCTL2, the DDRC) and PHY utility block (the
  PUB), SPD decoding and timing derivation.

  Neither register space is mapped into the CSR window. Each channel owns an
  index/data pair for each space: the index register selects a register (a
  DDRC byte offset, or a PUB word index), the data register reads or writes
  it. All DRAM code reaches the two spaces through the six accessors below.
**/
#ifndef __ZOR_DDR_SETUP_H__
#define __ZOR_DDR_SETUP_H__

#include "ZorPei.h"
#include "Access.h"

//
// Index/data pairs of channel chan at window offset
// DDR_PAIRS + chan * DDR_PAIR_STRIDE, plus the register's offset below.
//
constexpr UINT32  DDR_PAIRS        = 0x2C00;
constexpr UINT32  DDR_PAIR_STRIDE  = 0x100;
constexpr UINT32  DDR_DDRC_INDEX   = 0x00;  ///< byte offset of the DDRC register to reach
constexpr UINT32  DDR_DDRC_DATA    = 0x04;
constexpr UINT32  DDR_PUB_INDEX    = 0x08;  ///< word index of the PUB register to reach
constexpr UINT32  DDR_PUB_DATA     = 0x0C;

///
/// A bounded poll gives up after this many reads, each preceded by a pause:
/// the bring-up waits on the PUB and the controller by counting reads, not
/// by a timer.
///
constexpr UINT32  DDR_POLL_READS = 300000;

//
// DDRC registers, by byte offset in the uMCTL2 register map.
//
constexpr UINT32  DDR_DDRC_STAT      = 0x004;  ///< bits 2:0 operating mode; 1 = normal
constexpr UINT32  DDR_DDRC_ECCERRCNT = 0x080;  ///< bits 31:16 uncorrectable, 15:0 correctable errors
constexpr UINT32  DDR_DDRC_SWSTAT    = 0x324;  ///< 1 when a quasi-dynamic update is acknowledged

//
// PUB registers, by word index (byte address / 4).
//
constexpr UINT32  PGSR0 = 0x00D;  ///< general status of the PUB's runs

UINT32
ddrcRead (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg
  );

VOID
ddrcWrite (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          value
  );

UINT32
pubRead (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg
  );

VOID
pubWrite (
  CONST ZOR_DATA  *zorData,
  UINT32          module,
  UINT32          rail,
  UINT32          chan,
  UINT32          reg,
  UINT32          value
  );

///
/// Reads the DDRC register reg until (value read & mask) == value and returns
/// the last value read. With bounded non-zero it gives up after
/// DDR_POLL_READS reads and returns the last, non-matching value: the caller
/// tells success from time-out by testing the result. With bounded 0 it
/// waits for as long as it takes.
///
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
  );

///
/// The same as ddrcPoll for a PUB register.
///
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
  );

///
/// The DRAM clock: every DDR4 channel of the ZOR runs at 1325 MHz, so a DIMM
/// must support DDR4-2666.
///
constexpr UINT32  DDR_CLOCK_MHZ = 1325;

///
/// The JEDEC CRC-16 of one 126-byte SPD block (polynomial 0x1021, initial
/// value 0, most significant bit first).
///
UINT16
spdCrc (
  CONST UINT8  *bytes
  );

///
/// A time in picoseconds as DRAM clock cycles at 1325 MHz, rounded up. Times
/// above 1 us are rounded up to whole nanoseconds first.
///
UINT32
psToClocks (
  UINT32  ps
  );

///
/// Checks the staged SPD bytes of (rail, chan), fills zorData->dimm and
/// zorData->clocks at rail * 2 + chan, prints the DIMM and its timings, and
/// returns the DIMM's capacity in bytes; 0 when the channel must not be used
/// (the reason has been printed). Touches no register.
///
UINT64
decodeSpd (
  ZOR_DATA  *zorData,
  UINT32    rail,
  UINT32    chan
  );

#endif
