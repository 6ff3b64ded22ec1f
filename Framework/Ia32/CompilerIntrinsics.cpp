/** @file
  The three memory routines that the compiler calls by itself, even in
  freestanding mode, for copies and clears of large objects (structure
  assignment, zero-initialised arrays). Module code calls CopyMem and SetMem;
  these exist only for the compiler's own calls.

  Written with the string instructions, not as C loops: the compiler would
  recognise such a loop as memcpy or memset and call itself.

  No other compiler helper is provided on purpose: 64-bit division in code
  (_aulldiv, _aullrem, _alldiv, _allrem) fails the link, because a framework
  workspace links the modules without such helpers. Use BaseLib's
  DivU64x32 and DivU64x32Remainder.
**/
extern "C" {
#include <stddef.h>
}

extern "C" void *
memcpy (
  void        *Destination,
  const void  *Source,
  size_t      Length
  )
{
  void  *To   = Destination;
  void  *From = (void *)Source;

  __asm__ __volatile__ ("cld\n\trep movsb" : "+D" (To), "+S" (From), "+c" (Length) : : "memory");
  return Destination;
}

extern "C" void *
memmove (
  void        *Destination,
  const void  *Source,
  size_t      Length
  )
{
  if ((Destination <= Source) || ((const char *)Source + Length <= (char *)Destination)) {
    return memcpy (Destination, Source, Length);
  }

  //
  // The destination overlaps the end of the source: copy downwards, from
  // the last byte.
  //
  void  *To   = (char *)Destination + Length - 1;
  void  *From = (char *)Source + Length - 1;

  __asm__ __volatile__ ("std\n\trep movsb\n\tcld" : "+D" (To), "+S" (From), "+c" (Length) : : "memory");
  return Destination;
}

extern "C" void *
memset (
  void    *Buffer,
  int     Value,
  size_t  Length
  )
{
  void  *To = Buffer;

  __asm__ __volatile__ ("cld\n\trep stosb" : "+D" (To), "+c" (Length) : "a" (Value) : "memory");
  return Buffer;
}
