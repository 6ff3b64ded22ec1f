// routeIo, routeMmcfg, routeX2apic and routeDram.
#include "RoutingSupport.h"

namespace {

using test::Access;
using test::haltedOn;
using test::Machine;
using test::routingOf;
using test::w;
using sim::zor::Target;

constexpr const char* kFile = "TARVO3/ZorPei/Routing.cpp";

// One IO, MMCFG, x2APIC or DRAM routing call by name.
struct Call {
  enum Op { Io, Mmcfg, X2apic, Dram } op;
  uint64_t base, limit;
  uint8_t dm, ds, type = 0;
};

void make(Machine& m, const Call& c) {
  switch (c.op) {
    case Call::Io:
      m.zor->routeIo(m.zor, static_cast<UINT16>(c.base), static_cast<UINT16>(c.limit), c.dm, c.ds);
      break;
    case Call::Mmcfg:
      m.zor->routeMmcfg(m.zor, c.base, c.limit, c.dm, c.ds);
      break;
    case Call::X2apic:
      m.zor->routeX2apic(m.zor, static_cast<UINT32>(c.base), static_cast<UINT32>(c.limit), c.dm, c.ds);
      break;
    case Call::Dram:
      m.zor->routeDram(m.zor, c.base, c.limit, c.dm, c.ds, c.type);
      break;
  }
}

struct WriteCase {
  const char* name;
  uint32_t modules, localModule, biRail;
  Call call;
  const char* log;
  std::vector<Access> writes;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class RoutingWrites : public ::testing::TestWithParam<WriteCase> {};

TEST_P(RoutingWrites, WritesTheDocumentedWordsOnEveryRail) {
  const WriteCase& c = GetParam();
  Machine m;
  m.setModuleInfo(c.modules, c.localModule, c.biRail);
  m.clear();
  auto outcome = m.run([&] { make(m, c.call); });
  ASSERT_TRUE(outcome.completed) << outcome.report;
  EXPECT_EQ(m.writes(), c.writes);
  EXPECT_EQ(m.accesses().size(), c.writes.size()) << "no reads";
  EXPECT_EQ(m.log(), c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Routing, RoutingWrites,
    ::testing::Values(
        // Four 1 KB entries per rail, then the local decode of socket 0.
        WriteCase{"IoLocalModule1", 2, 1, 1, {Call::Io, 0x0000, 0x0FFF, 1, 0},
                  "Routing IO 0000:0FFF to 1.0\n",
                  w({{0xFB10211C, 0x80000002}, {0xFB10211C, 0x80000102}, {0xFB10211C, 0x80000202},
                     {0xFB10211C, 0x80000302}, {0xFA10211C, 0x80000002}, {0xFA10211C, 0x80000102},
                     {0xFA10211C, 0x80000202}, {0xFA10211C, 0x80000302},
                     {0xFB102180, 0x03000001}, {0xFA102180, 0x03000001}})},
        WriteCase{"IoRemoteWritesNoDecode", 2, 0, 1, {Call::Io, 0x0000, 0x0FFF, 1, 0},
                  "Routing IO 0000:0FFF to 1.0\n",
                  w({{0xFB00211C, 0x80000002}, {0xFB00211C, 0x80000102}, {0xFB00211C, 0x80000202},
                     {0xFB00211C, 0x80000302}, {0xFA00211C, 0x80000002}, {0xFA00211C, 0x80000102},
                     {0xFA00211C, 0x80000202}, {0xFA00211C, 0x80000302}})},
        // Base above limit: no entry, but the decode (base field 4, limit field 3).
        WriteCase{"IoEmptyLocalStillDecodes", 2, 0, 1, {Call::Io, 0x1000, 0x0FFF, 0, 1},
                  "Routing IO 1000:0FFF to 0.1\n", w({{0xFB002184, 0x03040101}, {0xFA002184, 0x03040101}})},
        WriteCase{"IoLastEntry", 2, 0, 0, {Call::Io, 0xFC00, 0xFFFF, 0, 0}, "Routing IO FC00:FFFF to 0.0\n",
                  w({{0xFB00211C, 0x80003F00}, {0xFB002180, 0x3F3F0001}})},
        WriteCase{"MmcfgLocalSocket0", 2, 1, 1, {Call::Mmcfg, 0x80000000, 0x8FFFFFFF, 1, 0},
                  "Routing MMCFG 080000000:08FFFFFFF to 1.0\n",
                  w({{0xFB102190, 0xFF000001}, {0xFA102190, 0xFF000001}})},
        WriteCase{"MmcfgLocalSocket1Buses40To7F", 2, 0, 0, {Call::Mmcfg, 0xE4000000, 0xE7FFFFFF, 0, 1},
                  "Routing MMCFG 0E4000000:0E7FFFFFF to 0.1\n", w({{0xFB002194, 0x7F400101}})},
        WriteCase{"MmcfgRemoteWritesNothing", 2, 0, 1, {Call::Mmcfg, 0x80000000, 0x8FFFFFFF, 1, 0},
                  "Routing MMCFG 080000000:08FFFFFFF to 1.0\n", {}},
        // The limit of an MMCFG range is not checked.
        WriteCase{"MmcfgLimitUnchecked", 2, 0, 0, {Call::Mmcfg, 0x80000000, 0x80012345, 0, 0},
                  "Routing MMCFG 080000000:080012345 to 0.0\n", w({{0xFB002190, 0x00000001}})},
        WriteCase{"X2apicTwoGroups", 2, 0, 1, {Call::X2apic, 0x000, 0x03F, 0, 1},
                  "Routing x2APIC 000:03F to 0.1\n",
                  w({{0xFB00211C, 0xC0000001}, {0xFB00211C, 0xC0000101},
                     {0xFA00211C, 0xC0000001}, {0xFA00211C, 0xC0000101}})},
        WriteCase{"X2apicLastGroup", 2, 0, 0, {Call::X2apic, 0xFE0, 0xFFF, 1, 1},
                  "Routing x2APIC FE0:FFF to 1.1\n", w({{0xFB00211C, 0xC0007F03}})},
        // Rule 0 in both engines: base word then limit word, PE 0 then PE 1.
        WriteCase{"DramRule0", 2, 0, 1, {Call::Dram, 0, 0x7FFFFFFF, 0, 0, 0},
                  "Routing DRAM 000000000000:00007FFFFFFF to 0.0 (regular DDR4 DRAM)\n",
                  w({{0xFB002480, 0x00000001}, {0xFB002500, 0x00004000}, {0xFB002680, 0x00000001},
                     {0xFB002700, 0x00004000}, {0xFA002480, 0x00000001}, {0xFA002500, 0x00004000},
                     {0xFA002680, 0x00000001}, {0xFA002700, 0x00004000}})},
        // An AEP control region of M0.1 takes rule 17.
        WriteCase{"DramAepRule17", 2, 0, 0, {Call::Dram, 0x40000000, 0x7FFFFFFF, 0, 1, 2},
                  "Routing DRAM 000040000000:00007FFFFFFF to 0.1 (AEP control region)\n",
                  w({{0xFB0024C4, 0x00004001}, {0xFB002544, 0x00004001}, {0xFB0026C4, 0x00004001},
                     {0xFB002744, 0x00004001}})},
        // Any type but 2 is regular DRAM.
        WriteCase{"DramType1IsRegular", 2, 0, 0, {Call::Dram, 0x40000000, 0x7FFFFFFF, 0, 1, 1},
                  "Routing DRAM 000040000000:00007FFFFFFF to 0.1 (regular DDR4 DRAM)\n",
                  w({{0xFB002484, 0x00004001}, {0xFB002504, 0x00004001}, {0xFB002684, 0x00004001},
                     {0xFB002704, 0x00004001}})},
        // Address bits 47:30 fill bits 31:14; the largest limit that fits.
        WriteCase{"DramTopOf48Bits", 16, 0, 0, {Call::Dram, 0xFFFFC0000000, 0xFFFFFFFFFFFF, 15, 1, 0},
                  "Routing DRAM FFFFC0000000:FFFFFFFFFFFF to 15.1 (regular DDR4 DRAM)\n",
                  w({{0xFB0024FC, 0xFFFFC001}, {0xFB00257C, 0xFFFFC01F}, {0xFB0026FC, 0xFFFFC001},
                     {0xFB00277C, 0xFFFFC01F}})}),
    [](const auto& info) { return std::string(info.param.name); });

struct FatalCase {
  const char* name;
  uint32_t modules;
  Call call;
  const char* expression;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class RoutingFatal : public ::testing::TestWithParam<FatalCase> {};

// A failing check comes after the log line and before any write, and leaves
// zorData as it was.
TEST_P(RoutingFatal, StopsAfterTheLogLineAndChangesNothing) {
  const FatalCase& c = GetParam();
  Machine m;
  m.setModuleInfo(c.modules, 0, 1);
  ASSERT_TRUE(m.run([&] {
                 m.zor->routeDram(m.zor, 0x0, 0x3FFFFFFF, 0, 0, 0);
                 m.zor->routeDram(m.zor, 0x40000000, 0x7FFFFFFF, 0, 1, 0);
               }).completed);
  ZOR_DATA before = *m.data;
  m.clear();
  auto outcome = m.run([&] { make(m, c.call); });
  EXPECT_TRUE(haltedOn(outcome, m, c.expression, kFile));
  EXPECT_THAT(m.log(), ::testing::StartsWith("Routing "));
  EXPECT_TRUE(m.writes().empty());
  EXPECT_EQ(m.data->gidnidMap, before.gidnidMap);
  EXPECT_EQ(m.data->hostDramBase, before.hostDramBase);
  EXPECT_EQ(m.data->hostDramLimit, before.hostDramLimit);
  EXPECT_EQ(m.data->hostDramSet, before.hostDramSet);
  EXPECT_EQ(m.data->localMmioMaps, before.localMmioMaps);
}

INSTANTIATE_TEST_SUITE_P(
    Routing, RoutingFatal,
    ::testing::Values(
        FatalCase{"IoBase", 2, {Call::Io, 0x0200, 0x0FFF, 0, 0}, "(base & ((1ULL << PCIIO_ATT_LSB) - 1)) == 0"},
        FatalCase{"IoLimit", 2, {Call::Io, 0x0000, 0x0BFE, 0, 0},
                  "(limit & ((1ULL << PCIIO_ATT_LSB) - 1)) == ((1ULL << PCIIO_ATT_LSB) - 1)"},
        FatalCase{"IoModule", 2, {Call::Io, 0x0000, 0x0FFF, 2, 0}, "dm < zorData->modules"},
        FatalCase{"IoSocket", 2, {Call::Io, 0x0000, 0x0FFF, 0, 2}, "ds < zorData->socketsPerModule"},
        FatalCase{"MmcfgBase", 2, {Call::Mmcfg, 0x80080000, 0x8FFFFFFF, 0, 0},
                  "(base & ((1ULL << MMCFG_LSB) - 1)) == 0"},
        FatalCase{"MmcfgModule", 2, {Call::Mmcfg, 0x80000000, 0x8FFFFFFF, 2, 0}, "dm < zorData->modules"},
        FatalCase{"MmcfgSocket", 2, {Call::Mmcfg, 0x80000000, 0x8FFFFFFF, 0, 2}, "ds < zorData->socketsPerModule"},
        FatalCase{"X2apicBase", 2, {Call::X2apic, 0x010, 0x03F, 0, 0}, "(base & ((1U << APIC_SHIFT) - 1)) == 0"},
        // 0x1000 is both misaligned and too large: the alignment check comes first.
        FatalCase{"X2apicLimitAlignmentFirst", 2, {Call::X2apic, 0x000, 0x1000, 0, 0},
                  "(limit & ((1U << APIC_SHIFT) - 1)) == ((1U << APIC_SHIFT) - 1)"},
        FatalCase{"X2apicLimitBeyond4095", 2, {Call::X2apic, 0x000, 0x101F, 0, 0},
                  "limit < (1U << (APIC_SHIFT + APIC_ATT_ADDR_WIDTH))"},
        FatalCase{"X2apicModule", 2, {Call::X2apic, 0x000, 0x01F, 2, 0}, "dm < zorData->modules"},
        FatalCase{"X2apicSocket", 2, {Call::X2apic, 0x000, 0x01F, 0, 2}, "ds < zorData->socketsPerModule"},
        FatalCase{"DramBase", 2, {Call::Dram, 0x20000000, 0x7FFFFFFF, 0, 0, 0},
                  "(base & ((1ULL << DRAM_LSB) - 1)) == 0"},
        FatalCase{"DramLimit", 2, {Call::Dram, 0x0, 0x7FFFFFFE, 0, 0, 0},
                  "(limit & ((1ULL << DRAM_LSB) - 1)) == ((1ULL << DRAM_LSB) - 1)"},
        FatalCase{"DramLimitBeyond49Bits", 2, {Call::Dram, 0x0, 0x2000000000000 | 0x3FFFFFFF, 0, 0, 0},
                  "limit < (1ULL << (48 + 1))"},
        FatalCase{"DramModule", 2, {Call::Dram, 0x0, 0x3FFFFFFF, 2, 0, 0}, "dm < zorData->modules"},
        FatalCase{"DramSocket", 2, {Call::Dram, 0x0, 0x3FFFFFFF, 0, 2, 0}, "ds < zorData->socketsPerModule"},
        // The mends: an AEP region of module 8 or above would write
        // past the 32 rules (module 9 socket 0: rule 34, whose limit word
        // is PE offset 0x188, the tag mode).
        FatalCase{"DramAepModule8", 16, {Call::Dram, 0x0, 0x3FFFFFFF, 8, 0, 2}, "rule < PE_DRAM_RULES"},
        FatalCase{"DramAepModule9OntoTagMode", 16, {Call::Dram, 0x0, 0x3FFFFFFF, 9, 0, 2}, "rule < PE_DRAM_RULES"},
        FatalCase{"DramAepModule15", 16, {Call::Dram, 0x0, 0x3FFFFFFF, 15, 1, 2}, "rule < PE_DRAM_RULES"},
        // A limit with bit 48 set would lose it in the rule word.
        FatalCase{"DramLimitBit48", 2, {Call::Dram, 0x0, 0x1000000000000 | 0x3FFFFFFF, 0, 0, 0},
                  "limit < (1ULL << (DRAM_ATT_MSB + 1))"},
        FatalCase{"DramLimitLargestOf49Bits", 2, {Call::Dram, 0x0, 0x1FFFFFFFFFFFF, 0, 1, 0},
                  "limit < (1ULL << (DRAM_ATT_MSB + 1))"},
        // The documented checks come first.
        FatalCase{"DramDocumentedChecksFirst", 16, {Call::Dram, 0x0, 0x1000000000000 | 0x3FFFFFFF, 8, 2, 2},
                  "ds < zorData->socketsPerModule"},
        FatalCase{"DramRuleBeforeLimitWidth", 16, {Call::Dram, 0x0, 0x1000000000000 | 0x3FFFFFFF, 8, 0, 2},
                  "rule < PE_DRAM_RULES"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(X2apic, LocalGroupsFillTheGidnidMapByTheirLowThreeBits) {
  Machine m;
  m.setModuleInfo(2, 0, 0);
  ASSERT_TRUE(m.run([&] { m.zor->routeX2apic(m.zor, 0x000, 0x03F, 0, 1); }).completed);
  EXPECT_EQ(m.data->gidnidMap, 0x00FFFFC9u);
  // Group 8 shares field 0 with group 0; socket 0's node ID is 0.
  ASSERT_TRUE(m.run([&] { m.zor->routeX2apic(m.zor, 0x100, 0x11F, 0, 0); }).completed);
  EXPECT_EQ(m.data->gidnidMap, 0x00FFFFC8u);
  // Groups 2 to 9: fields 2 to 7, then 0 and 1 again.
  ASSERT_TRUE(m.run([&] { m.zor->routeX2apic(m.zor, 0x040, 0x13F, 0, 1); }).completed);
  EXPECT_EQ(m.data->gidnidMap, 0x00249249u);
}

TEST(X2apic, ARemoteRangeLeavesTheGidnidMap) {
  Machine m;
  m.setModuleInfo(2, 1, 0);
  ASSERT_TRUE(m.run([&] { m.zor->routeX2apic(m.zor, 0x000, 0x0FF, 0, 1); }).completed);
  EXPECT_EQ(m.data->gidnidMap, 0x00FFFFFFu);
  auto view = routingOf(m, 1, 0);
  EXPECT_EQ(view.ownerOfApic(0x000), (Target{0, 1}));
  EXPECT_EQ(view.ownerOfApic(0x0FF), (Target{0, 1}));
  EXPECT_EQ(view.ownerOfApic(0x100), std::nullopt);
}

TEST(Io, TheModelAnswersWhoOwnsAPort) {
  Machine m;
  m.setModuleInfo(2, 0, 1);
  ASSERT_TRUE(m.run([&] {
                 m.zor->routeIo(m.zor, 0x0000, 0x0FFF, 0, 0);
                 m.zor->routeIo(m.zor, 0x1000, 0xFFFF, 1, 1);
               }).completed);
  for (uint32_t rail = 0; rail < 2; ++rail) {
    auto view = routingOf(m, 0, rail);
    EXPECT_EQ(view.ownerOfIo(0x0CF8), (Target{0, 0}));
    EXPECT_EQ(view.ownerOfIo(0x1000), (Target{1, 1}));
    EXPECT_EQ(view.ownerOfIo(0xFFFF), (Target{1, 1}));
    auto io = view.localIo(0);
    EXPECT_TRUE(io.valid);
    EXPECT_EQ(io.base, 0x0000u);
    EXPECT_EQ(io.limit, 0x0FFFu);
    EXPECT_FALSE(view.localIo(1).valid);
  }
}

// Host DRAM: socket 0 of the local module gives the base, the other socket
// the limit, whatever the type; other modules leave both.
TEST(DramHostRange, LocalCallsSetBaseAndLimit) {
  Machine m;
  m.setModuleInfo(2, 1, 0);
  ASSERT_TRUE(m.run([&] {
                 m.zor->routeDram(m.zor, 0x0, 0x7FFFFFFFF, 0, 0, 0);
                 m.zor->routeDram(m.zor, 0x0, 0x7FFFFFFFF, 0, 1, 0);
               }).completed);
  EXPECT_EQ(m.data->hostDramSet, 0u);
  ASSERT_TRUE(m.run([&] { m.zor->routeDram(m.zor, 0x800000000, 0xBFFFFFFFF, 1, 0, 0); }).completed);
  EXPECT_EQ(m.data->hostDramBase, 0x800000000u);
  EXPECT_EQ(m.data->hostDramSet, static_cast<UINT32>(HOST_DRAM_BASE_SET));
  ASSERT_TRUE(m.run([&] { m.zor->routeDram(m.zor, 0xC00000000, 0xFFFFFFFFF, 1, 1, 2); }).completed);
  EXPECT_EQ(m.data->hostDramLimit, 0xFFFFFFFFFu);
  EXPECT_EQ(m.data->hostDramBase, 0x800000000u);
  EXPECT_EQ(m.data->hostDramSet, static_cast<UINT32>(HOST_DRAM_BASE_SET | HOST_DRAM_LIMIT_SET));
}

// Rules 16 to 31 serve both the AEP control regions of modules 0 to 7 and
// the regular DRAM of modules 8 to 15: the later call wins.
struct SharedRuleCase {
  uint8_t module;  // AEP region of module, regular DRAM of module + 8
  uint8_t socket;
  uint64_t baseAddress;   // window address of the rule's base word in PE 0
  uint64_t limitAddress;  // and its limit word
};

void PrintTo(const SharedRuleCase& c, std::ostream* os) {
  *os << "AEP M" << int(c.module) << "." << int(c.socket) << " / DRAM M" << c.module + 8 << "." << int(c.socket);
}

class SharedDramRules : public ::testing::TestWithParam<std::tuple<SharedRuleCase, bool>> {};

TEST_P(SharedDramRules, TheLaterCallWins) {
  auto [c, aepFirst] = GetParam();
  Machine m;
  m.setModuleInfo(16, 0, 1);
  Call aep{Call::Dram, 0x100000000000, 0x10003FFFFFFF, c.module, c.socket, 2};
  Call regular{Call::Dram, 0x200000000000, 0x20003FFFFFFF, static_cast<uint8_t>(c.module + 8), c.socket, 0};
  m.clear();
  ASSERT_TRUE(m.run([&] {
                 make(m, aepFirst ? aep : regular);
                 make(m, aepFirst ? regular : aep);
               }).completed);
  uint32_t later = aepFirst ? c.module + 8u : c.module;
  uint64_t laterBase = aepFirst ? 0x200000000000 : 0x100000000000;
  uint64_t limitWord = (laterBase >> 30) << 14 | later << 1 | c.socket;
  for (uint64_t rail : {0ull, 0x1000000ull}) {
    for (uint64_t pe : {0ull, 0x200ull}) {
      EXPECT_EQ(test::valuesWrittenTo(m, c.baseAddress - rail + pe).back(), (laterBase >> 30) << 14 | 1);
      EXPECT_EQ(test::valuesWrittenTo(m, c.limitAddress - rail + pe).back(), limitWord);
      EXPECT_EQ(test::valuesWrittenTo(m, c.limitAddress - rail + pe).size(), 2u);
    }
  }
  uint32_t rule = 16 + 2 * c.module + c.socket;
  for (uint32_t rail = 0; rail < 2; ++rail) {
    auto view = routingOf(m, 0, rail);
    for (uint32_t pe = 0; pe < 2; ++pe) {
      auto r = view.dramRule(pe, rule);
      EXPECT_TRUE(r.valid);
      EXPECT_EQ(r.target, (Target{later, c.socket}));
      EXPECT_EQ(r.base, laterBase);
    }
    EXPECT_EQ(view.ownerOfDram(laterBase + 0x1000), (Target{later, c.socket}));
    EXPECT_EQ(view.ownerOfDram(aepFirst ? 0x100000000000 : 0x200000000000), std::nullopt);
  }
}

INSTANTIATE_TEST_SUITE_P(Routing, SharedDramRules,
                         ::testing::Combine(::testing::Values(SharedRuleCase{0, 0, 0xFB0024C0, 0xFB002540},
                                                              SharedRuleCase{3, 1, 0xFB0024DC, 0xFB00255C},
                                                              SharedRuleCase{7, 1, 0xFB0024FC, 0xFB00257C}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           const SharedRuleCase& c = std::get<0>(info.param);
                           return "Aep" + std::to_string(c.module) + "_" + std::to_string(c.socket) +
                                  (std::get<1>(info.param) ? "ThenRegular" : "AfterRegular");
                         });

// The refused AEP region of module 9 socket 0 (rule 34) would have written
// its limit word onto PE offset 0x188: the tag mode stays as lateInit left it.
TEST(DramRuleIndex, TheTagModeRegisterSurvivesARefusedAepRegion) {
  Machine m;
  m.setModuleInfo(16, 0, 0);
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  uint32_t tagMode = routingOf(m).tagModeRegister(0);
  EXPECT_EQ(tagMode, 0x743210F7u);
  auto outcome = m.run([&] { m.zor->routeDram(m.zor, 0x0, 0x3FFFFFFF, 9, 0, 2); });
  EXPECT_TRUE(haltedOn(outcome, m, "rule < PE_DRAM_RULES", kFile));
  EXPECT_EQ(routingOf(m).tagModeRegister(0), tagMode);
  EXPECT_EQ(routingOf(m).tagModeRegister(1), tagMode);
}

}  // namespace
