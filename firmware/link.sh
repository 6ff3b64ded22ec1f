#!/bin/sh
# Runs lld-link for a firmware image. Its warnings are errors, except the one
# that /align always draws (execute-in-place images need section alignment
# equal to file alignment, which lld-link only expects of drivers). An
# undefined compiler helper or floating-point marker gets a hint, since the
# framework workspace that integrators build in does not link them either.
out=$("$@" 2>&1)
status=$?
rest=$(printf '%s\n' "$out" | grep -v -e '/align specified without /driver' -e '^$')
[ -n "$rest" ] && printf '%s\n' "$rest" >&2
if printf '%s' "$rest" | grep -q -E 'undefined symbol: __(a|au)ll(div|rem|mul|shl|shr|dvrm)'; then
  echo "link.sh: 64-bit division or shift compiled to a compiler helper: use BaseLib's DivU64x32," \
       "DivU64x32Remainder, MultU64x32, LShiftU64 or RShiftU64 (module code must link without a C runtime)" >&2
fi
if printf '%s' "$rest" | grep -q 'undefined symbol: __fltused'; then
  echo "link.sh: floating point in firmware code: PEI code must use integer arithmetic" >&2
fi
[ "$status" -ne 0 ] && exit "$status"
if [ -n "$rest" ]; then
  echo "link.sh: linker warnings are errors in the firmware build" >&2
  exit 1
fi
exit 0
