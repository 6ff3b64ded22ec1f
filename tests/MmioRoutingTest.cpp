// routeMmioH, routeMmioL and the local IOA MMIO rules.
#include "RoutingSupport.h"

namespace {

using test::Access;
using test::haltedOn;
using test::Machine;
using test::routingOf;
using test::w;
using sim::zor::Target;

constexpr const char* kFile = "TARVO3/ZorPei/MmioRouting.cpp";

struct MmioCase {
  const char* name;
  bool high;  // routeMmioH, else routeMmioL
  uint32_t localModule;
  uint32_t biRail;
  uint64_t base, limit;
  uint8_t dm, ds;
  const char* log;
  std::vector<Access> writes;
  uint32_t localMmioMaps;
};

void PrintTo(const MmioCase& c, std::ostream* os) { *os << c.name; }

void route(Machine& m, bool high, uint64_t base, uint64_t limit, uint8_t dm, uint8_t ds) {
  if (high)
    m.zor->routeMmioH(m.zor, base, limit, dm, ds);
  else
    m.zor->routeMmioL(m.zor, static_cast<UINT32>(base), static_cast<UINT32>(limit), dm, ds);
}

class MmioWrites : public ::testing::TestWithParam<MmioCase> {};

TEST_P(MmioWrites, WritesTheDocumentedWordsOnEveryRail) {
  const MmioCase& c = GetParam();
  Machine m;
  m.setModuleInfo(2, c.localModule, c.biRail);
  m.clear();
  auto outcome = m.run([&] { route(m, c.high, c.base, c.limit, c.dm, c.ds); });
  ASSERT_TRUE(outcome.completed) << outcome.report;
  EXPECT_EQ(m.writes(), c.writes);
  EXPECT_EQ(m.accesses().size(), c.writes.size()) << "no reads";
  EXPECT_EQ(m.log(), c.log);
  EXPECT_EQ(m.data->localMmioMaps, c.localMmioMaps);
}

INSTANTIATE_TEST_SUITE_P(
    MmioRouting, MmioWrites,
    ::testing::Values(
        // The documented case: rule 2 = 1 * 2 + 0, limit word then base word.
        MmioCase{"MmioHRemoteRule2BothRails", true, 0, 1, 0x100000000, 0x3FFFFFFFF, 1, 0,
                 "Routing MMIO-H 100000000:3FFFFFFFF to 1.0\n",
                 w({{0xFB002288, 0x00030002}, {0xFB002208, 0x00010001},
                    {0xFA002288, 0x00030002}, {0xFA002208, 0x00010001}}),
                 0},
        // Local: the same rule, then local rule 0 (0x2160, 0x2140, 0x2120).
        MmioCase{"MmioHLocalTakesRule0", true, 1, 0, 0x100000000, 0x3FFFFFFFF, 1, 0,
                 "Routing MMIO-H 100000000:3FFFFFFFF to 1.0\n",
                 w({{0xFB102288, 0x00030002}, {0xFB102208, 0x00010001},
                    {0xFB102160, 0x00000000}, {0xFB102140, 0x03FFFF00}, {0xFB102120, 0x01000001}}),
                 1},
        // Address bits 47:40 go to the third word of the local rule.
        MmioCase{"MmioHLocalHighBits", true, 0, 0, 0x120000000000, 0x12FFFFFFFFFF, 0, 1,
                 "Routing MMIO-H 120000000000:12FFFFFFFFFF to 0.1\n",
                 w({{0xFB002284, 0x12FF0001}, {0xFB002204, 0x12000001},
                    {0xFB002160, 0x00120012}, {0xFB002140, 0xFFFFFF01}, {0xFB002120, 0x00000001}}),
                 1},
        MmioCase{"MmioHTopOfRange", true, 0, 0, 0xFFFF00000000, 0xFFFFFFFFFFFF, 1, 1,
                 "Routing MMIO-H FFFF00000000:FFFFFFFFFFFF to 1.1\n",
                 w({{0xFB00228C, 0xFFFF0003}, {0xFB00220C, 0xFFFF0001}}), 0},
        // The documented case: two granules per rail, then local rule 0.
        MmioCase{"MmioLLocalTwoGranules", false, 0, 1, 0xC0000000, 0xC01FFFFF, 0, 1,
                 "Routing MMIO-L C0000000:C01FFFFF to 0.1\n",
                 w({{0xFB00211C, 0x000C0001}, {0xFB00211C, 0x000C0101},
                    {0xFA00211C, 0x000C0001}, {0xFA00211C, 0x000C0101},
                    {0xFB002160, 0x00000000}, {0xFB002140, 0x00C01F01}, {0xFB002120, 0x00C00001},
                    {0xFA002160, 0x00000000}, {0xFA002140, 0x00C01F01}, {0xFA002120, 0x00C00001}}),
                 1},
        // Base above limit: no port entry, but the local rule is taken.
        MmioCase{"MmioLEmptyLocalStillTakesRule", false, 0, 0, 0xC0100000, 0xC00FFFFF, 0, 0,
                 "Routing MMIO-L C0100000:C00FFFFF to 0.0\n",
                 w({{0xFB002160, 0x00000000}, {0xFB002140, 0x00C00F00}, {0xFB002120, 0x00C01001}}), 1},
        MmioCase{"MmioLRemoteLastGranule", false, 0, 0, 0xFFF00000, 0xFFFFFFFF, 1, 1,
                 "Routing MMIO-L FFF00000:FFFFFFFF to 1.1\n", w({{0xFB00211C, 0x000FFF03}}), 0},
        MmioCase{"MmioLRemoteFirstGranuleOnModule1", false, 1, 1, 0x00000000, 0x000FFFFF, 0, 0,
                 "Routing MMIO-L 00000000:000FFFFF to 0.0\n",
                 w({{0xFB10211C, 0x00000000}, {0xFA10211C, 0x00000000}}), 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct FatalCase {
  const char* name;
  bool high;
  uint64_t base, limit;
  uint8_t dm, ds;
  const char* expression;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class MmioFatal : public ::testing::TestWithParam<FatalCase> {};

TEST_P(MmioFatal, StopsAfterTheLogLineAndWritesNothing) {
  const FatalCase& c = GetParam();
  Machine m;
  m.setModuleInfo(2, 0, 1);
  m.clear();
  auto outcome = m.run([&] { route(m, c.high, c.base, c.limit, c.dm, c.ds); });
  EXPECT_TRUE(haltedOn(outcome, m, c.expression, kFile));
  EXPECT_THAT(m.log(), ::testing::StartsWith(c.high ? "Routing MMIO-H " : "Routing MMIO-L "));
  EXPECT_TRUE(m.writes().empty());
  EXPECT_EQ(m.data->localMmioMaps, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MmioRouting, MmioFatal,
    ::testing::Values(
        FatalCase{"MmioHBaseNotAligned", true, 0x180000000, 0x3FFFFFFFF, 0, 0,
                  "(base & ((1ULL << MMIO_H_ATT_LSB) - 1)) == 0"},
        FatalCase{"MmioHLimitNotAligned", true, 0x100000000, 0x1FFFFFFFE, 0, 0,
                  "(limit & ((1ULL << MMIO_H_ATT_LSB) - 1)) == ((1ULL << MMIO_H_ATT_LSB) - 1)"},
        FatalCase{"MmioHLimitBeyond48Bits", true, 0x100000000, 0x1FFFFFFFFFFFF, 0, 0,
                  "limit < (1ULL << (MMIO_H_ATT_MSB + 1))"},
        FatalCase{"MmioHModuleOutOfRange", true, 0x100000000, 0x1FFFFFFFF, 2, 0, "dm < zorData->modules"},
        FatalCase{"MmioHSocketOutOfRange", true, 0x100000000, 0x1FFFFFFFF, 0, 2, "ds < zorData->socketsPerModule"},
        // The checks run in order: a misaligned base is reported before a bad module.
        FatalCase{"MmioHBaseCheckedFirst", true, 0x180000000, 0x1FFFFFFFE, 9, 9,
                  "(base & ((1ULL << MMIO_H_ATT_LSB) - 1)) == 0"},
        FatalCase{"MmioLBaseNotAligned", false, 0xC0080000, 0xC00FFFFF, 0, 0,
                  "(base & ((1ULL << MMIO_L_ATT_LSB) - 1)) == 0"},
        FatalCase{"MmioLLimitNotAligned", false, 0xC0000000, 0xC00FFFFE, 0, 0,
                  "(limit & ((1ULL << MMIO_L_ATT_LSB) - 1)) == ((1ULL << MMIO_L_ATT_LSB) - 1)"},
        FatalCase{"MmioLModuleOutOfRange", false, 0xC0000000, 0xC00FFFFF, 2, 0, "dm < zorData->modules"},
        FatalCase{"MmioLSocketOutOfRange", false, 0xC0000000, 0xC00FFFFF, 1, 2, "ds < zorData->socketsPerModule"}),
    [](const auto& info) { return std::string(info.param.name); });

// Eight local ranges (MMIO-L and MMIO-H alternating) fill the local rules;
// rule r lies at 0x2120 + 4r, 0x2140 + 4r and 0x2160 + 4r.
void fillLocalRules(Machine& m) {
  for (uint32_t i = 0; i < 8; ++i) {
    if (i % 2 == 0)
      m.zor->routeMmioL(m.zor, 0xC0000000 + i * 0x100000, 0xC00FFFFF + i * 0x100000, 0, i % 4 / 2);
    else
      m.zor->routeMmioH(m.zor, (0x10ull + i) << 32, ((0x10ull + i) << 32) | 0xFFFFFFFF, 0, i % 4 / 2);
  }
}

TEST(MmioLocalRules, EightRangesFillRules0To7) {
  Machine m;
  m.setModuleInfo(2, 0, 1);
  ASSERT_TRUE(m.run([&] { fillLocalRules(m); }).completed);
  EXPECT_EQ(m.data->localMmioMaps, 8u);
  // Rule 7: MMIO-H 0x1700000000-0x17FFFFFFFF, socket 1.
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB00217C), (std::vector<uint64_t>{0x00000000}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB00215C), (std::vector<uint64_t>{0x17FFFF01}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB00213C), (std::vector<uint64_t>{0x17000001}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFA00213C), (std::vector<uint64_t>{0x17000001}));
  auto view = routingOf(m);
  for (uint32_t r = 0; r < 8; ++r) EXPECT_TRUE(view.localMmioRule(r).valid) << r;
  EXPECT_EQ(view.localSocketOfMmio(0xC0000000), 0u);
  EXPECT_EQ(view.localSocketOfMmio(0x1700000000), 1u);
}

struct NinthCase {
  const char* name;
  bool high;
  uint64_t base, limit;
  uint8_t ds;
  std::vector<Access> writesBeforeHalt;  // the slot's own table writes
};

void PrintTo(const NinthCase& c, std::ostream* os) { *os << c.name; }

class NinthLocalRange : public ::testing::TestWithParam<NinthCase> {};

TEST_P(NinthLocalRange, StopsAfterTheTableWritesBeforeAnyLocalRuleRegister) {
  const NinthCase& c = GetParam();
  Machine m;
  m.setModuleInfo(2, 0, 1);
  ASSERT_TRUE(m.run([&] { fillLocalRules(m); }).completed);
  m.clear();
  auto outcome = m.run([&] { route(m, c.high, c.base, c.limit, 0, c.ds); });
  EXPECT_TRUE(haltedOn(outcome, m, "zorData->localMmioMaps < IOA_MMIO_RULES", kFile));
  EXPECT_EQ(m.writes(), c.writesBeforeHalt);
  EXPECT_EQ(m.data->localMmioMaps, 8u);
}

INSTANTIATE_TEST_SUITE_P(
    MmioRouting, NinthLocalRange,
    ::testing::Values(
        NinthCase{"MmioL", false, 0xE0000000, 0xE00FFFFF, 0, w({{0xFB00211C, 0x000E0000}, {0xFA00211C, 0x000E0000}})},
        NinthCase{"MmioH", true, 0x200000000000, 0x2000FFFFFFFF, 1,
                  w({{0xFB002284, 0x20000001}, {0xFB002204, 0x20000001},
                     {0xFA002284, 0x20000001}, {0xFA002204, 0x20000001}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MmioLocalRules, ARangeOfAnotherModuleNeedsNoLocalRuleWhenAllAreTaken) {
  Machine m;
  m.setModuleInfo(2, 0, 0);
  ASSERT_TRUE(m.run([&] { fillLocalRules(m); }).completed);
  auto outcome = m.run([&] {
    m.zor->routeMmioL(m.zor, 0xE0000000, 0xE00FFFFF, 1, 0);
    m.zor->routeMmioH(m.zor, 0x200000000000, 0x2000FFFFFFFF, 1, 1);
  });
  EXPECT_TRUE(outcome.completed) << outcome.report;
  EXPECT_EQ(m.data->localMmioMaps, 8u);
}

TEST(MmioLocalRules, ASecondCallOverwritesTheMmioHRuleButTakesANewLocalRule) {
  Machine m;
  m.setModuleInfo(2, 0, 0);
  ASSERT_TRUE(m.run([&] {
                 m.zor->routeMmioH(m.zor, 0x100000000, 0x1FFFFFFFF, 0, 0);
                 m.zor->routeMmioH(m.zor, 0x400000000, 0x7FFFFFFFF, 0, 0);
               }).completed);
  EXPECT_EQ(m.data->localMmioMaps, 2u);
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002200), (std::vector<uint64_t>{0x00010001, 0x00040001}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002120), (std::vector<uint64_t>{0x01000001}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002124), (std::vector<uint64_t>{0x04000001}));
  auto view = routingOf(m);
  EXPECT_EQ(view.ownerOfMmio(0x100000000), std::nullopt);
  EXPECT_EQ(view.ownerOfMmio(0x7FFFFFFFF), (Target{0, 0}));
}

// A 2 GB range costs one port write per megabyte per rail: every expected
// write happened, in order, and nothing else was written.
TEST(MmioL, TwoGigabytesWrite2048EntriesPerRail) {
  Machine m;
  m.setModuleInfo(2, 0, 1);
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->routeMmioL(m.zor, 0x80000000, 0xFFFFFFFF, 1, 0); }).completed);
  std::vector<Access> expected;
  for (uint64_t port : {0xFB00211Cull, 0xFA00211Cull})
    for (uint64_t j = 0x800; j <= 0xFFF; ++j) expected.push_back({'W', port, j << 8 | 0x02});
  EXPECT_EQ(m.writes(), expected);
  for (uint32_t rail = 0; rail < 2; ++rail) {
    auto view = routingOf(m, 0, rail);
    EXPECT_EQ(view.ownerOfMmioL(0x7FFFFFFF), std::nullopt);
    EXPECT_EQ(view.ownerOfMmioL(0x80000000), (Target{1, 0}));
    EXPECT_EQ(view.ownerOfMmioL(0xFFFFFFFF), (Target{1, 0}));
  }
}

TEST(MmioH, TheModelAnswersWhoOwnsAnAddress) {
  Machine m;
  m.setModuleInfo(2, 1, 1);
  ASSERT_TRUE(m.run([&] {
                 m.zor->routeMmioH(m.zor, 0x100000000, 0x3FFFFFFFF, 1, 0);
                 m.zor->routeMmioH(m.zor, 0x400000000, 0x4FFFFFFFF, 0, 1);
               }).completed);
  for (uint32_t rail = 0; rail < 2; ++rail) {
    auto view = routingOf(m, 1, rail);
    EXPECT_EQ(view.ownerOfMmio(0xFFFFFFFF), std::nullopt);
    EXPECT_EQ(view.ownerOfMmio(0x100000000), (Target{1, 0}));
    EXPECT_EQ(view.ownerOfMmio(0x3FFFFFFFF), (Target{1, 0}));
    EXPECT_EQ(view.ownerOfMmio(0x400000000), (Target{0, 1}));
    EXPECT_EQ(view.ownerOfMmio(0x500000000), std::nullopt);
    EXPECT_EQ(view.localSocketOfMmio(0x200000000), 0u);
    EXPECT_EQ(view.localSocketOfMmio(0x400000000), std::nullopt);
  }
}

}  // namespace
