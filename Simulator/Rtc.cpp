#include "Rtc.h"

#include <cstdio>

namespace sim {
namespace {

constexpr uint64_t kSecondUs = 1'000'000;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's algorithms).
int64_t daysFromCivil(int64_t y, uint32_t m, uint32_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const uint32_t yoe = static_cast<uint32_t>(y - era * 400);
  const uint32_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const uint32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, uint32_t& year, uint32_t& month, uint32_t& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const uint32_t doe = static_cast<uint32_t>(z - era * 146097);
  const uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const uint32_t mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<uint32_t>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool isTimeRegister(uint8_t index) {
  return index == Rtc::kSeconds || index == Rtc::kMinutes || index == Rtc::kHours ||
         (index >= Rtc::kDayOfWeek && index <= Rtc::kYear);
}

}  // namespace

Rtc::Rtc(const RtcConfig& config, Clock& clock) : config_(config), clock_(clock) {
  startDays_ = daysFromCivil(config_.year, config_.month, config_.day);
  index_ = config_.nmiMasked ? 0x80 : 0x00;
  ram_[kStatusA] = 0x26;  // 32.768 kHz time base, 1024 Hz periodic rate
  ram_[kStatusB] = static_cast<uint8_t>((config_.binary ? kBinary : 0) | (config_.hour12 ? 0 : k24Hour));
}

Rtc::DateTime Rtc::now() const {
  const uint64_t elapsed = (config_.phaseUs + clock_.now()) / kSecondUs;
  const uint64_t startOfDay = config_.hour * 3600ull + config_.minute * 60ull + config_.second;
  const uint64_t total = startOfDay + elapsed;
  const int64_t days = startDays_ + static_cast<int64_t>(total / 86400);
  const uint64_t tod = total % 86400;
  DateTime t{};
  civilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<uint32_t>(tod / 3600);
  t.minute = static_cast<uint32_t>(tod / 60 % 60);
  t.second = static_cast<uint32_t>(tod % 60);
  // 1970-01-01 was a Thursday.
  t.weekday = static_cast<uint32_t>(((days % 7 + 7 + 4) % 7) + 1);
  return t;
}

bool Rtc::updateInProgress() const {
  const uint64_t t = clock_.now();
  if (config_.stuckForUs > 0 && t >= config_.stuckAtUs && t - config_.stuckAtUs < config_.stuckForUs) return true;
  const uint64_t inSecond = (config_.phaseUs + t) % kSecondUs;
  return config_.updateUs > 0 && inSecond >= kSecondUs - config_.updateUs;
}

uint8_t Rtc::format(uint32_t value) const {
  if (ram_[kStatusB] & kBinary) return static_cast<uint8_t>(value);
  return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

uint8_t Rtc::peek(uint8_t index) const {
  index &= 0x7F;
  const DateTime t = isTimeRegister(index) ? now() : DateTime{};
  switch (index) {
    case kSeconds: return format(t.second);
    case kMinutes: return format(t.minute);
    case kHours: {
      if (ram_[kStatusB] & k24Hour) return format(t.hour);
      const uint32_t h = t.hour % 12 == 0 ? 12 : t.hour % 12;
      return static_cast<uint8_t>(format(h) | (t.hour >= 12 ? 0x80 : 0));
    }
    case kDayOfWeek: return format(t.weekday);
    case kDayOfMonth: return format(t.day);
    case kMonth: return format(t.month);
    case kYear: return format(t.year % 100);
    case kStatusA: return static_cast<uint8_t>((updateInProgress() ? kUpdateInProgress : 0) | (ram_[kStatusA] & 0x7F));
    case kStatusC: return 0x00;
    case kStatusD: return 0x80;
    default: return ram_[index];
  }
}

void Rtc::access() {
  if (config_.accessUs > 0) clock_.advance(config_.accessUs);
}

uint8_t Rtc::in8(uint16_t port) {
  uint8_t value = port == kIndexPort ? index_ : peek(index_);
  if (port == kDataPort) ++dataReads_;
  access();
  return value;
}

void Rtc::out8(uint16_t port, uint8_t value) {
  if (port == kIndexPort) {
    index_ = value;
  } else {
    const uint8_t index = index_ & 0x7F;
    if (index == kStatusA)
      ram_[index] = value & 0x7F;
    else if (!isTimeRegister(index) && index != kStatusC && index != kStatusD)
      ram_[index] = value;
  }
  access();
}

std::string Rtc::registerName(uint8_t index) {
  static const char* const kNames[] = {"SECONDS",      "SECONDS_ALARM", "MINUTES",  "MINUTES_ALARM", "HOURS",
                                       "HOURS_ALARM",  "DAY_OF_WEEK",   "DAY_OF_MONTH", "MONTH",     "YEAR",
                                       "STATUS_A",     "STATUS_B",      "STATUS_C", "STATUS_D"};
  index &= 0x7F;
  if (index < sizeof kNames / sizeof kNames[0]) return kNames[index];
  char text[16];
  std::snprintf(text, sizeof text, "RAM+0x%02X", index);
  return text;
}

std::string Rtc::describe(uint16_t port) const {
  if (port == kIndexPort) return "CMOS.INDEX";
  return "CMOS." + registerName(index_);
}

}  // namespace sim
