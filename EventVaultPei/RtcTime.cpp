/** @file
  The date and time from the PC-compatible CMOS real-time clock.

  The clock changes its time registers once a second and raises the
  update-in-progress flag in status A shortly before. A read that meets the
  flag starts over from the year, so that the six bytes come from one second
  and never mix, say, the old hour with the new minute.
**/
#include "EventVaultPei.h"

extern "C" {
#include <Library/BaseLib.h>
#include <Library/BaseMemoryLib.h>
#include <Library/IoLib.h>
#include <Library/TimerLib.h>
}

//
// The time registers in the order of the record: year, month, day, hour,
// minute, second.
//
STATIC constexpr UINT8  mRtcTimeRegisters[] = {
  RTC_YEAR,
  RTC_MONTH,
  RTC_DAY_OF_MONTH,
  RTC_HOURS,
  RTC_MINUTES,
  RTC_SECONDS
};

STATIC_ASSERT (ARRAY_SIZE (mRtcTimeRegisters) == RTC_TIME_BYTES, "one register per time byte");

UINT8
ReadCmosRegister (
  IN UINT8  index
  )
{
  BOOLEAN  InterruptState;
  UINT8    value;

  //
  // Nothing may move the index between our write and our read.
  //
  InterruptState = SaveAndDisableInterrupts ();

  IoWrite8 (CMOS_INDEX_PORT, (UINT8)((IoRead8 (CMOS_INDEX_PORT) & CMOS_NMI_MASK) | index));
  value = IoRead8 (CMOS_DATA_PORT);

  SetInterruptState (InterruptState);
  return value;
}

EFI_STATUS
ReadRtcTime (
  OUT UINT8  *buffer
  )
{
  UINT32  retries;
  UINTN   next;

  if (buffer == NULL) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // Status B says whether the clock keeps BCD or binary, 12- or 24-hour time.
  // The bytes are stored as read, for the later phase to interpret, so its
  // value is not used.
  //
  (VOID)ReadCmosRegister (RTC_STATUS_B);

  //
  // The retry count runs over all passes of this call.
  //
  retries = 0;
  next    = 0;
  while (next < RTC_TIME_BYTES) {
    if ((ReadCmosRegister (RTC_STATUS_A) & RTC_UPDATE_IN_PROGRESS) != 0) {
      MicroSecondDelay (RTC_RETRY_DELAY_US);
      retries++;
      if (retries >= RTC_MAX_RETRIES) {
        ZeroMem (buffer, RTC_TIME_BYTES);
        return EFI_SUCCESS;
      }

      next = 0;
      continue;
    }

    buffer[next] = ReadCmosRegister (mRtcTimeRegisters[next]);
    next++;
  }

  return EFI_SUCCESS;
}
