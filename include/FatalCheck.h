/** @file
  The fatal check of this package's modules: a broken invariant prints the
  checked expression, " failed at ", the source file and line, in red at
  DEBUG_ERROR, then the processor spins forever. Firmware must not go on with
  a configuration that would program the chip wrongly.

  The text is the expression exactly as written at the call site, so the
  expression is written as the documentation quotes it.
**/
#ifndef __FATAL_CHECK_H__
#define __FATAL_CHECK_H__

#define FATAL_CHECK(Expression)                                       \
  do {                                                                \
    if (!(Expression)) {                                              \
      DEBUG ((DEBUG_ERROR, "\033[31m%a failed at %a:%u\033[0m\n",     \
              #Expression, __FILE__, (UINT32)__LINE__));              \
      CpuDeadLoop ();                                                 \
    }                                                                 \
  } while (FALSE)

#endif
