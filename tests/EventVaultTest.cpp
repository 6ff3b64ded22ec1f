// EventVaultPei: the PPI, the event record and its HOB, and the
// CMOS real-time-clock protocol behind StoreEvent.
#include <gtest/gtest.h>

#include "VaultMachine.h"

#include "EventVaultPei.h"

extern "C" {
#include <Guid/EventVaultHob.h>
#include <Library/HobLib.h>
}

namespace {

using test::VaultMachine;

// On the host UINTN is 64 bits: the IA32 values 0x80000002/0x80000003 here.
constexpr EFI_STATUS kInvalidParameter = 0x8000000000000002ull;
constexpr EFI_STATUS kUnsupported = 0x8000000000000003ull;
constexpr EFI_STATUS kOutOfResources = 0x8000000000000009ull;

// --- The record and the GUIDs ---------------------------------------------

struct FieldOffset {
  const char* field;
  size_t offset;
  size_t expected;
};

class RecordLayout : public testing::TestWithParam<FieldOffset> {};

TEST_P(RecordLayout, FieldLiesAtItsDocumentedOffset) { EXPECT_EQ(GetParam().offset, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    EventVaultRecord, RecordLayout,
    testing::Values(FieldOffset{"type", OFFSET_OF(EVENT_VAULT_RECORD, type), 0},
                    FieldOffset{"length", OFFSET_OF(EVENT_VAULT_RECORD, length), 1},
                    FieldOffset{"year", OFFSET_OF(EVENT_VAULT_RECORD, year), 2},
                    FieldOffset{"month", OFFSET_OF(EVENT_VAULT_RECORD, month), 3},
                    FieldOffset{"day", OFFSET_OF(EVENT_VAULT_RECORD, day), 4},
                    FieldOffset{"hour", OFFSET_OF(EVENT_VAULT_RECORD, hour), 5},
                    FieldOffset{"minute", OFFSET_OF(EVENT_VAULT_RECORD, minute), 6},
                    FieldOffset{"second", OFFSET_OF(EVENT_VAULT_RECORD, second), 7},
                    FieldOffset{"data", OFFSET_OF(EVENT_VAULT_RECORD, data), 8},
                    FieldOffset{"sizeof", sizeof(EVENT_VAULT_RECORD), 16},
                    FieldOffset{"EVENT_VAULT_RECORD_LENGTH", EVENT_VAULT_RECORD_LENGTH, 8},
                    FieldOffset{"EVENT_VAULT_RECORD_LENGTH_WITH_DATA", EVENT_VAULT_RECORD_LENGTH_WITH_DATA, 16},
                    FieldOffset{"sizeof EVENT_VAULT_PPI", sizeof(EVENT_VAULT_PPI), sizeof(void*)}),
    [](const auto& info) {
      std::string name = info.param.field;
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(EventVaultGuids, AreTheDocumentedOnes) {
  EXPECT_TRUE(test::sameGuid(gEventVaultPpiGuid, test::kEventVaultPpiGuid));
  EXPECT_TRUE(test::sameGuid(gEventVaultHobGuid, test::kEventVaultHobGuid));
  const EFI_GUID ppiMacro = EVENT_VAULT_PPI_GUID;
  const EFI_GUID hobMacro = EVENT_VAULT_HOB_GUID;
  EXPECT_TRUE(test::sameGuid(ppiMacro, test::kEventVaultPpiGuid));
  EXPECT_TRUE(test::sameGuid(hobMacro, test::kEventVaultHobGuid));
  EXPECT_EQ(EVENT_VAULT_TYPE_WITH_DATA, 8);
}

// --- Entry point ------------------------------------------------------------

TEST(EventVaultEntry, InstallsOneDescriptorWithTheDocumentedFlags) {
  VaultMachine m;
  ASSERT_EQ(m.vaultStatus, EFI_SUCCESS);
  const EFI_PEI_PPI_DESCRIPTOR* found = nullptr;
  for (const EFI_PEI_PPI_DESCRIPTOR* d : m.platform.pei().ppis())
    if (test::sameGuid(*d->Guid, test::kEventVaultPpiGuid)) found = d;
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Flags, 0x80000010u);
  ASSERT_NE(m.vault, nullptr);
  EXPECT_EQ(found->Ppi, m.vault);
  EXPECT_NE(m.vault->StoreEvent, nullptr);
  // Nothing else is done at dispatch: no port access, no HOB.
  EXPECT_TRUE(m.eventHobs().empty());
}

TEST(EventVaultEntry, ReturnsTheStatusOfInstallPpi) {
  // The PCD database is installed first, so the next InstallPpi is the
  // module's.
  VaultMachine m{test::before([](sim::Platform& p) { p.pei().failInstallPpi(1); })};
  EXPECT_EQ(m.vaultStatus, kOutOfResources);
  EXPECT_EQ(m.vault, nullptr);
}

// --- Records and HOB lengths ------------------------------------------------

struct StoreCase {
  uint8_t type;
  uint64_t data;
  uint16_t hobLength;
  std::vector<uint8_t> record;
};

class StoreEventRecord : public testing::TestWithParam<StoreCase> {};

// The clock reads 2024-03-15 13:45:30, BCD and 24-hour.
TEST_P(StoreEventRecord, BuildsOneGuidHobWithTheRecord) {
  const StoreCase& c = GetParam();
  VaultMachine m;
  EXPECT_EQ(m.store(c.type, c.data), EFI_SUCCESS);
  auto hobs = m.eventHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(hobs[0].type, 0x0004);
  EXPECT_EQ(hobs[0].length, c.hobLength);
  EXPECT_EQ(hobs[0].reserved, 0u);
  EXPECT_EQ(hobs[0].data, c.record);
}

INSTANTIATE_TEST_SUITE_P(
    TypesAndData, StoreEventRecord,
    testing::Values(
        // Only type 8 carries data: every other type stores 8 bytes.
        StoreCase{3, 0x1122334455667788ull, 32, {0x03, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}},
        StoreCase{8, 0x1122334455667788ull, 40,
                  {0x08, 0x10, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
        StoreCase{8, 0, 40, {0x08, 0x10, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30, 0, 0, 0, 0, 0, 0, 0, 0}},
        StoreCase{0, 0xFFFFFFFFFFFFFFFFull, 32, {0x00, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}},
        StoreCase{7, 0x1122334455667788ull, 32, {0x07, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}},
        StoreCase{9, 0x1122334455667788ull, 32, {0x09, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}},
        StoreCase{0xFF, 0x1122334455667788ull, 32, {0xFF, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}}));

TEST(StoreEvent, TwoCallsGiveTwoHobsInCallOrder) {
  VaultMachine m;
  EXPECT_EQ(m.store(1), EFI_SUCCESS);
  m.platform.delay(2'000'000);
  EXPECT_EQ(m.store(8, 0x0102030405060708ull), EFI_SUCCESS);
  auto hobs = m.eventHobs();
  ASSERT_EQ(hobs.size(), 2u);
  EXPECT_EQ(hobs[0].data, (std::vector<uint8_t>{0x01, 0x08, 0x24, 0x03, 0x15, 0x13, 0x45, 0x30}));
  EXPECT_EQ(hobs[1].data, (std::vector<uint8_t>{0x08, 0x10, 0x24, 0x03, 0x15, 0x13, 0x45, 0x32, 0x08, 0x07, 0x06,
                                                0x05, 0x04, 0x03, 0x02, 0x01}));
  // What a later phase does: GetFirstGuidHob, then GetNextGuidHob after it.
  m.platform.run("find", [&] {
    VOID* first = GetFirstGuidHob(&test::kEventVaultHobGuid);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(GET_GUID_HOB_DATA(first))[0], 0x01);
    VOID* second = GetNextGuidHob(&test::kEventVaultHobGuid, GET_NEXT_HOB(first));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(GET_GUID_HOB_DATA(second))[0], 0x08);
    EXPECT_EQ(GET_GUID_HOB_DATA_SIZE(second), 16);
    EXPECT_EQ(GetNextGuidHob(&test::kEventVaultHobGuid, GET_NEXT_HOB(second)), nullptr);
  });
}

TEST(StoreEvent, StoresTheTimeBytesAsTheClockKeepsThem) {
  // Binary, 12-hour: 1 PM is 0x81; nothing is converted.
  VaultMachine m{test::rtc([](sim::RtcConfig& r) {
    r.binary = true;
    r.hour12 = true;
  })};
  EXPECT_EQ(m.store(2), EFI_SUCCESS);
  auto hobs = m.eventHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(hobs[0].data, (std::vector<uint8_t>{0x02, 0x08, 24, 3, 15, 0x81, 45, 30}));
}

// --- CreateHob failing ------------------------------------------------------

struct HobRoomCase {
  size_t hobBytes;  // the PHIT HOB (56) and the end HOB (8) take 64
  uint8_t type;
  EFI_STATUS status;
  size_t hobs;
};

class StoreEventHobRoom : public testing::TestWithParam<HobRoomCase> {};

TEST_P(StoreEventHobRoom, ReturnsUnsupportedWhenTheHobCannotBeBuilt) {
  const HobRoomCase& c = GetParam();
  VaultMachine m{test::hobMemory(c.hobBytes)};
  size_t used = m.platform.pei().hobBytesUsed();
  EXPECT_EQ(m.store(c.type, 0x1122334455667788ull), c.status);
  EXPECT_EQ(m.eventHobs().size(), c.hobs);
  if (c.hobs == 0) {
    EXPECT_EQ(m.platform.pei().hobBytesUsed(), used);
  }
}

INSTANTIATE_TEST_SUITE_P(CreateHob, StoreEventHobRoom,
                         testing::Values(HobRoomCase{64, 3, kUnsupported, 0}, HobRoomCase{64, 8, kUnsupported, 0},
                                         HobRoomCase{96, 3, EFI_SUCCESS, 1}, HobRoomCase{96, 8, kUnsupported, 0},
                                         HobRoomCase{104, 8, EFI_SUCCESS, 1}));

// --- The CMOS protocol ------------------------------------------------------

TEST(ReadRtcTime, ReadsStatusBOnceThenEachRegisterAfterStatusA) {
  VaultMachine m;
  EXPECT_EQ(m.store(3), EFI_SUCCESS);
  EXPECT_EQ(m.cmosReads(),
            (std::vector<uint8_t>{0x0B, 0x0A, 0x09, 0x0A, 0x08, 0x0A, 0x07, 0x0A, 0x04, 0x0A, 0x02, 0x0A, 0x00}));
  EXPECT_EQ(m.delays(10), 0u);
}

TEST(ReadCmosRegister, ReadsTheIndexPortWritesTheIndexThenReadsTheData) {
  VaultMachine m;
  EXPECT_EQ(m.store(3), EFI_SUCCESS);
  auto traffic = m.portTraffic();
  ASSERT_GE(traffic.size(), 10u);
  // Status B (0x02: BCD, 24-hour), then status A (0x26), then the year.
  EXPECT_EQ(std::vector<std::string>(traffic.begin(), traffic.begin() + 15),
            (std::vector<std::string>{"# interrupts off", "I 0070 00", "O 0070 0B", "I 0071 02", "# interrupts on",
                                      "# interrupts off", "I 0070 0B", "O 0070 0A", "I 0071 26", "# interrupts on",
                                      "# interrupts off", "I 0070 0A", "O 0070 09", "I 0071 24", "# interrupts on"}));
}

TEST(ReadCmosRegister, ReturnsTheRegister) {
  VaultMachine m;
  uint8_t b = 0, d = 0, seconds = 0;
  m.platform.run("read", [&] {
    b = ReadCmosRegister(0x0B);
    d = ReadCmosRegister(0x0D);
    seconds = ReadCmosRegister(0x00);
  });
  EXPECT_EQ(b, 0x02);
  EXPECT_EQ(d, 0x80);
  EXPECT_EQ(seconds, 0x30);
}

class NmiMask : public testing::TestWithParam<bool> {};

TEST_P(NmiMask, IndexWritesKeepBit7AsItWas) {
  bool masked = GetParam();
  VaultMachine m{test::rtc([masked](sim::RtcConfig& r) { r.nmiMasked = masked; })};
  EXPECT_EQ(m.store(8, 1), EFI_SUCCESS);
  size_t writes = 0;
  for (const auto& r : m.platform.trace().records()) {
    if (r.op != 'O') continue;
    ASSERT_EQ(r.address, 0x70u);
    EXPECT_EQ(r.value & 0x80, masked ? 0x80u : 0u) << sim::Trace::format(r);
    ++writes;
  }
  EXPECT_EQ(writes, 13u);
  EXPECT_EQ(m.platform.rtc().indexPort() & 0x80, masked ? 0x80 : 0);
  // The time itself is unaffected by the mask.
  EXPECT_EQ(m.eventHobs().at(0).data[7], 0x30);
}

INSTANTIATE_TEST_SUITE_P(Bit7, NmiMask, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Masked" : "Unmasked"; });

class InterruptState : public testing::TestWithParam<bool> {};

TEST_P(InterruptState, IsOffAroundEveryCmosAccessAndRestoredAfter) {
  bool enabled = GetParam();
  VaultMachine m;
  m.platform.setInterrupts(enabled);
  m.clear();
  EXPECT_EQ(m.store(3), EFI_SUCCESS);
  EXPECT_EQ(m.platform.interrupts(), enabled);

  bool on = enabled;
  size_t offs = 0, ons = 0, accesses = 0;
  for (const std::string& line : m.portTraffic()) {
    if (line == "# interrupts off") {
      on = false;
      ++offs;
    } else if (line == "# interrupts on") {
      on = true;
      ++ons;
    } else if (line[0] == 'I' || line[0] == 'O') {
      EXPECT_FALSE(on) << line << " with interrupts enabled";
      ++accesses;
    }
  }
  EXPECT_EQ(accesses, 13u * 3);
  // Enabled before: switched off and back on for each of the 13 reads.
  // Disabled before: never switched on.
  EXPECT_EQ(offs, enabled ? 13u : 0u);
  EXPECT_EQ(ons, enabled ? 13u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Before, InterruptState, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Enabled" : "Disabled"; });

// --- Update in progress ------------------------------------------------------

TEST(ReadRtcTime, StartsAgainFromTheYearWhenTheUpdateFlagIsSeen) {
  // Each port access takes 1 us, so one register read takes 3 us and its
  // data read comes 2 us after it starts. The status-A read before the
  // minute register (the 10th read) lands 29 us into the call: with the call
  // starting 999730 us into the second, at 999759, inside the flag's last
  // 244 us; the one before the hour (at 999753) is still outside. The clock
  // shows 2023-12-31 23:59:59 until the update at the full second.
  VaultMachine m{test::rtcStart(2023, 12, 31, 23, 59, 59), test::rtc([](sim::RtcConfig& r) {
                   r.phaseUs = 999'730;
                   r.accessUs = 1;
                 })};
  EXPECT_EQ(m.store(3), EFI_SUCCESS);

  std::vector<uint8_t> expected = {0x0B, 0x0A, 0x09, 0x0A, 0x08, 0x0A, 0x07, 0x0A, 0x04};
  // Each retry takes 10 + 3 us: the flag reads set at 999759, 999772, ...,
  // 999993 (19 times), clear at 1000006.
  for (int i = 0; i < 19; ++i) expected.push_back(0x0A);
  for (uint8_t r : {0x09, 0x08, 0x07, 0x04, 0x02, 0x00}) {
    expected.push_back(0x0A);
    expected.push_back(r);
  }
  EXPECT_EQ(m.cmosReads(), expected);
  EXPECT_EQ(m.delays(10), 19u);
  // All six bytes from the pass after the update, none from before it.
  EXPECT_EQ(m.eventHobs().at(0).data, (std::vector<uint8_t>{0x03, 0x08, 0x24, 0x01, 0x01, 0x00, 0x00, 0x00}));
}

struct StuckCase {
  const char* name;
  uint64_t stuckForUs;
  size_t retries;
  std::vector<uint8_t> time;
};

class UpdateFlagHeldUp : public testing::TestWithParam<StuckCase> {};

TEST_P(UpdateFlagHeldUp, GivesUpAfterThe10000thRetryWithZeroTime) {
  const StuckCase& c = GetParam();
  VaultMachine m{test::rtc([&c](sim::RtcConfig& r) { r.stuckForUs = c.stuckForUs; })};
  uint64_t start = m.platform.clock().now();
  EXPECT_EQ(m.store(3), EFI_SUCCESS);

  auto reads = m.cmosReads();
  size_t statusA = 0, timeRegisters = 0;
  for (uint8_t r : reads) (r == 0x0A ? statusA : timeRegisters) += r != 0x0B;
  EXPECT_EQ(m.delays(10), c.retries);
  EXPECT_EQ(m.platform.clock().now() - start, c.retries * 10);
  if (c.time == std::vector<uint8_t>(6, 0)) {
    EXPECT_EQ(statusA, 10000u);
    EXPECT_EQ(timeRegisters, 0u);
  } else {
    EXPECT_EQ(statusA, c.retries + 6);
    EXPECT_EQ(timeRegisters, 6u);
  }
  auto hobs = m.eventHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(hobs[0].length, 32);
  EXPECT_EQ(std::vector<uint8_t>(hobs[0].data.begin() + 2, hobs[0].data.end()), c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Retries, UpdateFlagHeldUp,
    testing::Values(
        // The flag is read at 0, 10, ..., 99980 us: seen 9999 times, then clear.
        StuckCase{"ClearsAfter9999", 99'990, 9999, {0x24, 0x03, 0x15, 0x13, 0x45, 0x30}},
        // Seen for the 10000th time at 99990 us: given up.
        StuckCase{"StillUpAt10000", 100'000, 10000, {0, 0, 0, 0, 0, 0}},
        StuckCase{"HeldForAnHour", 3'600'000'000ull, 10000, {0, 0, 0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadRtcTime, CountsRetriesOverAllPassesOfOneCall) {
  // Each port access takes 1 us. The flag is held up for the first 60000 us,
  // so the status-A reads at 5, 18, ..., 59992 us see it (4615 retries); the
  // pass that starts at 60000 reads the year and the month; then the
  // regular update window (the last 900000 us of the clock's second, which
  // starts 60010 us into the call) raises the flag again. The count goes on
  // from 4615, so the call gives up after 5385 more retries, not 10000 more.
  VaultMachine m{test::rtc([](sim::RtcConfig& r) {
    r.stuckForUs = 60'000;
    r.updateUs = 900'000;
    r.phaseUs = 39'990;
    r.accessUs = 1;
  })};
  EXPECT_EQ(m.store(3), EFI_SUCCESS);
  EXPECT_EQ(m.delays(10), 10000u);
  std::vector<uint8_t> timeRegisters;
  for (uint8_t r : m.cmosReads())
    if (r != 0x0A && r != 0x0B) timeRegisters.push_back(r);
  EXPECT_EQ(timeRegisters, (std::vector<uint8_t>{0x09, 0x08}));
  auto hobs = m.eventHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(hobs[0].data.begin() + 2, hobs[0].data.end()), std::vector<uint8_t>(6, 0));
}

TEST(ReadRtcTime, RefusesANullBuffer) {
  VaultMachine m;
  EFI_STATUS status = EFI_SUCCESS;
  m.platform.run("ReadRtcTime", [&] { status = ReadRtcTime(nullptr); });
  EXPECT_EQ(status, kInvalidParameter);
  EXPECT_TRUE(m.portTraffic().empty());
}

TEST(ReadRtcTime, FillsSixBytesInRecordOrder) {
  VaultMachine m{test::rtcStart(2031, 7, 4, 22, 8, 1)};
  UINT8 buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EFI_STATUS status = kUnsupported;
  m.platform.run("ReadRtcTime", [&] { status = ReadRtcTime(buffer); });
  EXPECT_EQ(status, EFI_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8),
            (std::vector<uint8_t>{0x31, 0x07, 0x04, 0x22, 0x08, 0x01, 0xEE, 0xEE}));
}

}  // namespace
