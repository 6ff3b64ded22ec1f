/** @file
  Register field operations: every register image of the DRAM bring-up is
  composed with these two. They differ only in what they do with a value that
  does not fit its field: setField halts, fitField warns and fills the field
  with ones. Encodings, flags and constants go through setField, so a wrong
  constant can never be truncated into a plausible register value; timings
  derived from a DIMM's SPD go through fitField, so an unusual DIMM gives the
  slowest setting the field can hold instead of stopping the machine.

  Fields are bits hi:lo of a 32-bit word, bit 0 the least significant,
  hi >= lo.
**/
#ifndef __ZOR_ACCESS_H__
#define __ZOR_ACCESS_H__

extern "C" {
#include <PiPei.h>
}

///
/// Replaces bits hi:lo of *word by val and leaves the other bits alone.
/// Halts when lo > hi or when val does not fit the field.
///
VOID
setField (
  UINT32  *word,
  UINT32  hi,
  UINT32  lo,
  UINT32  val
  );

///
/// Returns val in bits hi:lo and zeros elsewhere. A val that does not fit is
/// reported in red and replaced by an all-ones field. Halts when lo > hi.
///
UINT32
fitField (
  UINT32  hi,
  UINT32  lo,
  UINT32  val
  );

#endif
