// Model of the PC-compatible CMOS real-time clock behind the index/data
// pair at ports 0x70/0x71.
//
// Registers 0x00 to 0x0D are the clock's; 0x0E to 0x7F are plain CMOS RAM.
// The time registers follow the virtual clock: the scenario's start date and
// time is the clock's time at virtual time 0, and every whole second of
// virtual time after that advances it, with a proper calendar (months, leap
// years, day of week). They are formatted as status B says: BCD or binary
// (bit 2), 24- or 12-hour (bit 1; in 12-hour mode bit 7 of the hour is PM).
// Writes to the time registers are ignored; the alarm registers, status A
// bits 0-6, status B and the CMOS RAM hold what is written.
//
// Status A bit 7 (update in progress) is raised for the last `updateUs`
// microseconds of every second, before the once-a-second update, and for the
// whole of a scenario's "stuck" window. Status C reads 0 (no interrupts are
// modelled), status D reads 0x80 (valid RAM and time).
//
// The index port keeps all 8 bits as written, so bit 7 (the NMI mask) reads
// back as the last writer left it.
#pragma once

#include <cstdint>
#include <string>

#include "Bus.h"
#include "Clock.h"

namespace sim {

struct RtcConfig {
  // The clock's date and time at virtual time 0, and how far into that
  // second it is (microseconds).
  uint32_t year = 2024;
  uint32_t month = 1;
  uint32_t day = 1;
  uint32_t hour = 0;
  uint32_t minute = 0;
  uint32_t second = 0;
  uint32_t phaseUs = 0;
  // Status B at reset: binary instead of BCD, 12-hour instead of 24-hour.
  bool binary = false;
  bool hour12 = false;
  // Bit 7 of the index port at reset: NMIs masked.
  bool nmiMasked = false;
  // The update-in-progress flag is up this long before each update.
  uint32_t updateUs = 244;
  // The flag is also held up from stuckAtUs for stuckForUs (0: never).
  uint64_t stuckAtUs = 0;
  uint64_t stuckForUs = 0;
  // Each access to port 0x70 or 0x71 takes this long (an ISA-style bus
  // cycle); 0 keeps port accesses timeless.
  uint32_t accessUs = 0;
};

class Rtc : public PortDevice {
 public:
  static constexpr uint16_t kIndexPort = 0x70;
  static constexpr uint16_t kDataPort = 0x71;

  static constexpr uint8_t kSeconds = 0x00;
  static constexpr uint8_t kMinutes = 0x02;
  static constexpr uint8_t kHours = 0x04;
  static constexpr uint8_t kDayOfWeek = 0x06;
  static constexpr uint8_t kDayOfMonth = 0x07;
  static constexpr uint8_t kMonth = 0x08;
  static constexpr uint8_t kYear = 0x09;
  static constexpr uint8_t kStatusA = 0x0A;
  static constexpr uint8_t kStatusB = 0x0B;
  static constexpr uint8_t kStatusC = 0x0C;
  static constexpr uint8_t kStatusD = 0x0D;

  static constexpr uint8_t kUpdateInProgress = 0x80;  // status A
  static constexpr uint8_t kBinary = 0x04;            // status B: DM
  static constexpr uint8_t k24Hour = 0x02;            // status B: 24/12

  Rtc(const RtcConfig& config, Clock& clock);

  uint8_t in8(uint16_t port) override;
  void out8(uint16_t port, uint8_t value) override;
  std::string describe(uint16_t port) const override;

  struct DateTime {
    uint32_t year, month, day, hour, minute, second;
    uint32_t weekday;  // 1 = Sunday to 7 = Saturday, as register 0x06 counts
  };
  // The clock's time now, before formatting.
  DateTime now() const;
  bool updateInProgress() const;
  // A register as a read of it would return now, without side effects.
  uint8_t peek(uint8_t index) const;
  uint8_t indexPort() const { return index_; }
  // "SECONDS", "STATUS_A", ... or "RAM+0x0E".
  static std::string registerName(uint8_t index);

  uint64_t dataReads() const { return dataReads_; }

 private:
  uint8_t format(uint32_t value) const;
  void access();

  RtcConfig config_;
  Clock& clock_;
  int64_t startDays_ = 0;  // days since 1970-01-01 of the start date
  uint8_t index_ = 0;
  uint8_t ram_[128] = {};
  uint64_t dataReads_ = 0;
};

}  // namespace sim
