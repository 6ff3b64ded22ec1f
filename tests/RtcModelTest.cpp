// The simulated CMOS real-time clock: register formats, the update flag, the
// calendar and the index port, as the firmware sees them through the ports.
#include <gtest/gtest.h>

#include "Simulator/Platform.h"

namespace {

sim::Platform::Config clockAt(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
                              uint32_t second) {
  sim::Platform::Config c;
  c.rtc.year = year, c.rtc.month = month, c.rtc.day = day;
  c.rtc.hour = hour, c.rtc.minute = minute, c.rtc.second = second;
  return c;
}

uint8_t readCmos(sim::Platform& p, uint8_t index) {
  p.bus().out8(0x70, index);
  return p.bus().in8(0x71);
}

// Registers 0x00, 0x02, 0x04, 0x06, 0x07, 0x08, 0x09 and status B.
std::vector<uint8_t> timeRegisters(sim::Platform& p) {
  std::vector<uint8_t> v;
  for (uint8_t r : {0x00, 0x02, 0x04, 0x06, 0x07, 0x08, 0x09, 0x0B}) v.push_back(readCmos(p, r));
  return v;
}

struct FormatCase {
  const char* name;
  bool binary;
  bool hour12;
  uint32_t hour;
  std::vector<uint8_t> registers;
};

class RtcFormat : public testing::TestWithParam<FormatCase> {};

// 2024-02-29 was a Thursday (register 0x06 counts Sunday as 1).
TEST_P(RtcFormat, StatusBDecidesHowTheTimeRegistersRead) {
  const FormatCase& c = GetParam();
  sim::Platform::Config config = clockAt(2024, 2, 29, c.hour, 5, 9);
  config.rtc.binary = c.binary;
  config.rtc.hour12 = c.hour12;
  sim::Platform p(config);
  EXPECT_EQ(timeRegisters(p), c.registers);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RtcFormat,
    testing::Values(FormatCase{"Bcd24", false, false, 13, {0x09, 0x05, 0x13, 0x05, 0x29, 0x02, 0x24, 0x02}},
                    FormatCase{"Binary24", true, false, 13, {0x09, 0x05, 0x0D, 0x05, 0x1D, 0x02, 0x18, 0x06}},
                    FormatCase{"Bcd12Pm", false, true, 13, {0x09, 0x05, 0x81, 0x05, 0x29, 0x02, 0x24, 0x00}},
                    FormatCase{"Binary12Pm", true, true, 23, {0x09, 0x05, 0x8B, 0x05, 0x1D, 0x02, 0x18, 0x04}},
                    FormatCase{"Bcd12Midnight", false, true, 0, {0x09, 0x05, 0x12, 0x05, 0x29, 0x02, 0x24, 0x00}},
                    FormatCase{"Bcd12Noon", false, true, 12, {0x09, 0x05, 0x92, 0x05, 0x29, 0x02, 0x24, 0x00}},
                    FormatCase{"Bcd12Morning", false, true, 9, {0x09, 0x05, 0x09, 0x05, 0x29, 0x02, 0x24, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtcFormat, AWriteToStatusBChangesTheFormatOfLaterReads) {
  sim::Platform p(clockAt(2024, 2, 29, 13, 5, 9));
  EXPECT_EQ(readCmos(p, 0x04), 0x13);
  p.bus().out8(0x70, 0x0B);
  p.bus().out8(0x71, 0x04);  // binary, 12-hour
  EXPECT_EQ(readCmos(p, 0x04), 0x81);
  EXPECT_EQ(readCmos(p, 0x07), 0x1D);
}

struct RolloverCase {
  const char* name;
  sim::Platform::Config start;
  uint64_t afterUs;
  std::vector<uint8_t> registers;  // as timeRegisters reads them, BCD 24-hour
};

class RtcCalendar : public testing::TestWithParam<RolloverCase> {};

TEST_P(RtcCalendar, VirtualTimeAdvancesTheClock) {
  const RolloverCase& c = GetParam();
  sim::Platform p(c.start);
  p.delay(c.afterUs);
  EXPECT_EQ(timeRegisters(p), c.registers);
}

INSTANTIATE_TEST_SUITE_P(
    Rollover, RtcCalendar,
    testing::Values(
        RolloverCase{"NotBeforeTheFullSecond", clockAt(2023, 12, 31, 23, 59, 59), 999'999,
                     {0x59, 0x59, 0x23, 0x01, 0x31, 0x12, 0x23, 0x02}},
        RolloverCase{"NewYear", clockAt(2023, 12, 31, 23, 59, 59), 1'000'000,
                     {0x00, 0x00, 0x00, 0x02, 0x01, 0x01, 0x24, 0x02}},
        RolloverCase{"LeapDay", clockAt(2024, 2, 28, 23, 59, 59), 1'000'000,
                     {0x00, 0x00, 0x00, 0x05, 0x29, 0x02, 0x24, 0x02}},
        RolloverCase{"NoLeapDay", clockAt(2023, 2, 28, 23, 59, 59), 1'000'000,
                     {0x00, 0x00, 0x00, 0x04, 0x01, 0x03, 0x23, 0x02}},
        RolloverCase{"Century", clockAt(2099, 12, 31, 23, 59, 59), 1'000'000,
                     {0x00, 0x00, 0x00, 0x06, 0x01, 0x01, 0x00, 0x02}},
        RolloverCase{"NinetyMinutes", clockAt(2024, 6, 30, 22, 45, 0), 90ull * 60 * 1'000'000,
                     {0x00, 0x15, 0x00, 0x02, 0x01, 0x07, 0x24, 0x02}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtcUpdateFlag, IsUpForTheLast244UsOfEverySecond) {
  sim::Platform p;
  auto statusA = [&] { return readCmos(p, 0x0A); };
  EXPECT_EQ(statusA(), 0x26);
  p.delay(999'755);
  EXPECT_EQ(statusA(), 0x26);
  EXPECT_EQ(readCmos(p, 0x00), 0x00);
  p.delay(1);
  EXPECT_EQ(statusA(), 0xA6);
  EXPECT_EQ(readCmos(p, 0x00), 0x00);  // the old second until the update
  p.delay(243);
  EXPECT_EQ(statusA(), 0xA6);
  p.delay(1);
  EXPECT_EQ(statusA(), 0x26);
  EXPECT_EQ(readCmos(p, 0x00), 0x01);
  p.delay(999'756);
  EXPECT_EQ(statusA(), 0xA6);
}

TEST(RtcUpdateFlag, FollowsTheScenarioPhaseAndWindow) {
  sim::Platform::Config c;
  c.rtc.phaseUs = 999'000;
  c.rtc.updateUs = 500;
  sim::Platform p(c);
  EXPECT_EQ(readCmos(p, 0x0A) & 0x80, 0);
  p.delay(500);
  EXPECT_EQ(readCmos(p, 0x0A) & 0x80, 0x80);
  p.delay(500);
  EXPECT_EQ(readCmos(p, 0x0A) & 0x80, 0);
  EXPECT_EQ(readCmos(p, 0x00), 0x01);
}

TEST(RtcUpdateFlag, CanBeHeldUp) {
  sim::Platform::Config c;
  c.rtc.stuckAtUs = 1'000;
  c.rtc.stuckForUs = 5'000'000;
  sim::Platform p(c);
  EXPECT_EQ(readCmos(p, 0x0A), 0x26);
  p.delay(1'000);
  EXPECT_EQ(readCmos(p, 0x0A), 0xA6);
  p.delay(4'999'999);
  EXPECT_EQ(readCmos(p, 0x0A), 0xA6);
  p.delay(1);
  EXPECT_EQ(readCmos(p, 0x0A), 0x26);
  // Time went on meanwhile.
  EXPECT_EQ(readCmos(p, 0x00), 0x05);
}

TEST(RtcPorts, TheIndexPortKeepsAllBitsAsWritten) {
  sim::Platform p;
  EXPECT_EQ(p.bus().in8(0x70), 0x00);
  p.bus().out8(0x70, 0x8D);
  EXPECT_EQ(p.bus().in8(0x70), 0x8D);
  EXPECT_EQ(p.bus().in8(0x71), 0x80);  // status D, whatever bit 7 says
  sim::Platform::Config c;
  c.rtc.nmiMasked = true;
  sim::Platform masked(c);
  EXPECT_EQ(masked.bus().in8(0x70), 0x80);
}

TEST(RtcPorts, RamAndAlarmsHoldWritesAndTheClockIgnoresThem) {
  sim::Platform p(clockAt(2024, 2, 29, 13, 5, 9));
  for (uint8_t index : {0x01, 0x03, 0x05, 0x0E, 0x32, 0x7F}) {
    p.bus().out8(0x70, index);
    p.bus().out8(0x71, static_cast<uint8_t>(index ^ 0x5A));
    EXPECT_EQ(readCmos(p, index), index ^ 0x5A) << int(index);
  }
  p.bus().out8(0x70, 0x00);
  p.bus().out8(0x71, 0x42);
  EXPECT_EQ(readCmos(p, 0x00), 0x09);
  p.bus().out8(0x70, 0x0A);
  p.bus().out8(0x71, 0xFF);
  EXPECT_EQ(readCmos(p, 0x0A), 0x7F);  // bit 7 is the clock's
  EXPECT_EQ(readCmos(p, 0x0C), 0x00);
  EXPECT_EQ(readCmos(p, 0x0D), 0x80);
}

TEST(RtcPorts, AnAccessTakesTheConfiguredTime) {
  sim::Platform::Config c;
  c.rtc.accessUs = 2;
  sim::Platform p(c);
  readCmos(p, 0x00);
  EXPECT_EQ(p.clock().now(), 4u);
}

TEST(RtcPorts, TraceNamesTheRegisters) {
  sim::Platform p;
  p.trace().setRecording(true);
  readCmos(p, 0x0A);
  readCmos(p, 0x40);
  EXPECT_EQ(p.trace().text(),
            "O 0070 0A  CMOS.INDEX\n"
            "I 0071 26  CMOS.STATUS_A\n"
            "O 0070 40  CMOS.INDEX\n"
            "I 0071 00  CMOS.RAM+0x40\n");
}

}  // namespace
