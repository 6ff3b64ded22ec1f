/** @file
  The event HOBs of EVENT_VAULT_PPI: one GUID extension HOB named
  gEventVaultHobGuid per stored event, in the order of the calls, whose data
  is one EVENT_VAULT_RECORD (8 bytes, or 16 for type 8). Code of a later phase
  finds them with GetFirstGuidHob/GetNextGuidHob.
**/
#ifndef __EVENT_VAULT_HOB_H__
#define __EVENT_VAULT_HOB_H__

#define EVENT_VAULT_HOB_GUID \
  { 0x5106BA40, 0x59A7, 0x4BF6, { 0x97, 0xFC, 0xA7, 0xDE, 0x16, 0x75, 0xCB, 0x86 } }

///
/// The one event type that carries the caller's 64-bit data.
///
#define EVENT_VAULT_TYPE_WITH_DATA  8

#pragma pack(1)

///
/// Little-endian, packed. The six time bytes are the RTC registers exactly as
/// read (BCD or binary, 12- or 24-hour, as the clock keeps them); all six are
/// 0 when the clock could not be read. data is present only when type is 8:
/// length says how many bytes of the record were stored.
///
typedef struct {
  UINT8     type;
  UINT8     length;
  UINT8     year;     ///< RTC register 0x09
  UINT8     month;    ///< RTC register 0x08
  UINT8     day;      ///< RTC register 0x07
  UINT8     hour;     ///< RTC register 0x04
  UINT8     minute;   ///< RTC register 0x02
  UINT8     second;   ///< RTC register 0x00
  UINT64    data;
} EVENT_VAULT_RECORD;

#pragma pack()

///
/// Record lengths: without data, and with it (type 8).
///
#define EVENT_VAULT_RECORD_LENGTH            OFFSET_OF (EVENT_VAULT_RECORD, data)
#define EVENT_VAULT_RECORD_LENGTH_WITH_DATA  sizeof (EVENT_VAULT_RECORD)

STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, type) == 0, "type at offset 0");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, length) == 1, "length at offset 1");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, year) == 2, "year at offset 2");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, month) == 3, "month at offset 3");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, day) == 4, "day at offset 4");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, hour) == 5, "hour at offset 5");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, minute) == 6, "minute at offset 6");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, second) == 7, "second at offset 7");
STATIC_ASSERT (OFFSET_OF (EVENT_VAULT_RECORD, data) == 8, "data at offset 8");
STATIC_ASSERT (sizeof (EVENT_VAULT_RECORD) == 16, "packed: 16 bytes");

extern EFI_GUID  gEventVaultHobGuid;

#endif
