/** @file
  Private definitions of the event-storage module: the PPI's one operation
  and the CMOS real-time-clock access behind it.
**/
#ifndef __EVENT_VAULT_PEI_H__
#define __EVENT_VAULT_PEI_H__

extern "C" {
#include <PiPei.h>
#include <Ppi/EventVaultPpi.h>
#include <Guid/EventVaultHob.h>
}

//
// CMOS index/data pair. Bit 7 of the index port masks NMIs; it belongs to
// whoever set it, so an index write carries it over unchanged.
//
constexpr UINTN  CMOS_INDEX_PORT = 0x70;
constexpr UINTN  CMOS_DATA_PORT  = 0x71;
constexpr UINT8  CMOS_NMI_MASK   = 0x80;

//
// Real-time-clock registers behind the pair.
//
constexpr UINT8  RTC_SECONDS      = 0x00;
constexpr UINT8  RTC_MINUTES      = 0x02;
constexpr UINT8  RTC_HOURS        = 0x04;
constexpr UINT8  RTC_DAY_OF_MONTH = 0x07;
constexpr UINT8  RTC_MONTH        = 0x08;
constexpr UINT8  RTC_YEAR         = 0x09;
constexpr UINT8  RTC_STATUS_A     = 0x0A;
constexpr UINT8  RTC_STATUS_B     = 0x0B;

// Status A: the clock is about to change or is changing its time registers.
constexpr UINT8  RTC_UPDATE_IN_PROGRESS = 0x80;

// How often, and how long apart, a read may meet the update flag before the
// time is given up as unreadable.
constexpr UINT32  RTC_MAX_RETRIES    = 10000;
constexpr UINTN   RTC_RETRY_DELAY_US = 10;

// Bytes that ReadRtcTime fills: year, month, day, hour, minute, second.
constexpr UINTN  RTC_TIME_BYTES = 6;

extern "C" {
EFI_STATUS
EFIAPI
StoreEvent (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EVENT_VAULT_PPI         *This,
  IN UINT8                   type,
  IN UINT64                  data
  );
}

/**
  Reads the date and time from the real-time clock, all six bytes from one
  pass that met no update in progress.

  @param buffer  Six bytes: year, month, day, hour, minute, second, as the
                 clock keeps them; all 0 when the clock stayed in its update.

  @retval EFI_INVALID_PARAMETER  buffer is NULL.
  @retval EFI_SUCCESS            Otherwise, also when the time was given up.
**/
EFI_STATUS
ReadRtcTime (
  OUT UINT8  *buffer
  );

/**
  Reads CMOS register index (0 to 0x7F) with interrupts off between the index
  write and the data read, keeping the NMI mask as it was.
**/
UINT8
ReadCmosRegister (
  IN UINT8  index
  );

#endif
