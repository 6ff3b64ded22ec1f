/** @file
  Register field operations.
**/
#include "Access.h"

extern "C" {
#include <Library/BaseLib.h>
#include <Library/DebugLib.h>
#include <FatalCheck.h>
}

//
// Ones in bits (hi - lo):0, for a field that fits in 32 bits. The shift of a
// 32-bit 1 by 32 is undefined, so a 32-bit wide field is built from the top.
//
STATIC
UINT32
fieldMask (
  UINT32  hi,
  UINT32  lo
  )
{
  //
  // A field beyond bit 31 has no image in a 32-bit register: a caller's
  // programming error, like lo > hi.
  //
  FATAL_CHECK (hi < 32);
  return 0xFFFFFFFFU >> (31 - (hi - lo));
}

VOID
setField (
  UINT32  *word,
  UINT32  hi,
  UINT32  lo,
  UINT32  val
  )
{
  FATAL_CHECK (lo <= hi);

  UINT32  mask = fieldMask (hi, lo);

  FATAL_CHECK ((val & mask) == val);
  *word = (*word & ~(mask << lo)) | (val << lo);
}

UINT32
fitField (
  UINT32  hi,
  UINT32  lo,
  UINT32  val
  )
{
  FATAL_CHECK (lo <= hi);

  UINT32  mask = fieldMask (hi, lo);

  if ((val & mask) == val) {
    return val << lo;
  }

  DEBUG ((DEBUG_WARN, "\033[31mValue 0x%x exceeds bits %u:%u; using 0x%x\033[0m\n", val, hi, lo, mask));
  return mask << lo;
}
