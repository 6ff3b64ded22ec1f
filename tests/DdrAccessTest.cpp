// The DDR register accessors: each access is the index register, then the
// data register, of the channel's DDRC or PUB pair; module and channel are
// checked first; a poll pauses before every read, gives up after 300000
// reads when bounded and returns the last value read.
#include <gtest/gtest.h>

#include <string>

#include "DdrSetup.h"
#include "Machine.h"

namespace {

using sim::zor::DdrSpace;
using sim::zor::ReadScript;
using test::Access;
using test::Machine;

enum class Op { DdrcRead, DdrcWrite, PubRead, PubWrite, DdrcPoll, PubPoll };

const char* opName(Op op) {
  switch (op) {
    case Op::DdrcRead: return "ddrcRead";
    case Op::DdrcWrite: return "ddrcWrite";
    case Op::PubRead: return "pubRead";
    case Op::PubWrite: return "pubWrite";
    case Op::DdrcPoll: return "ddrcPoll";
    case Op::PubPoll: return "pubPoll";
  }
  return "?";
}

// Calls op; a poll waits for bit 0 to read 0 (what plain storage holds).
uint32_t call(Op op, ZOR_DATA* d, uint32_t module, uint32_t rail, uint32_t chan, uint32_t reg, uint32_t value = 0) {
  switch (op) {
    case Op::DdrcRead: return ddrcRead(d, module, rail, chan, reg);
    case Op::DdrcWrite: ddrcWrite(d, module, rail, chan, reg, value); return value;
    case Op::PubRead: return pubRead(d, module, rail, chan, reg);
    case Op::PubWrite: pubWrite(d, module, rail, chan, reg, value); return value;
    case Op::DdrcPoll: return ddrcPoll(d, module, rail, chan, reg, 1, 0, 1);
    case Op::PubPoll: return pubPoll(d, module, rail, chan, reg, 1, 0, 1);
  }
  return 0;
}

struct PairRow {
  Op op;
  uint32_t module, rail, chan, reg, value;
  std::vector<Access> expected;
};

std::ostream& operator<<(std::ostream& out, const PairRow& r) {
  return out << opName(r.op) << " M" << r.module << "R" << r.rail << "C" << r.chan;
}

class DdrPair : public testing::TestWithParam<PairRow> {};

TEST_P(DdrPair, IndexFirstThenData) {
  const PairRow& r = GetParam();
  Machine m{test::modules(4)};
  m.setModuleInfo(4, 0, 1);
  m.clear();
  ASSERT_TRUE(m.run([&] { call(r.op, m.data, r.module, r.rail, r.chan, r.reg, r.value); }).completed) << m.log();
  EXPECT_EQ(m.accesses(), r.expected);
  EXPECT_EQ(m.log(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, DdrPair,
    testing::Values(
        PairRow{Op::PubRead, 0, 1, 1, 0x00D, 0, {{'W', 0xFA002D08, 0x0000000D}, {'R', 0xFA002D0C, 0}}},
        PairRow{Op::DdrcWrite, 1, 0, 0, 0x1B0, 0x12345678, {{'W', 0xFB102C00, 0x1B0}, {'W', 0xFB102C04, 0x12345678}}},
        PairRow{Op::DdrcRead, 0, 0, 0, 0x004, 0, {{'W', 0xFB002C00, 0x004}, {'R', 0xFB002C04, 0}}},
        PairRow{Op::DdrcRead, 3, 1, 1, 0x080, 0, {{'W', 0xFA302D00, 0x080}, {'R', 0xFA302D04, 0}}},
        PairRow{Op::PubWrite, 2, 0, 1, 0x1C5, 0xCAFE, {{'W', 0xFB202D08, 0x1C5}, {'W', 0xFB202D0C, 0xCAFE}}},
        PairRow{Op::PubWrite, 0, 1, 0, 0x001, 1, {{'W', 0xFA002C08, 0x001}, {'W', 0xFA002C0C, 1}}},
        PairRow{Op::DdrcPoll, 1, 1, 0, 0x324, 0, {{'W', 0xFA102C00, 0x324}, {'R', 0xFA102C04, 0}}},
        PairRow{Op::PubPoll, 0, 0, 1, 0x10C, 0, {{'W', 0xFB002D08, 0x10C}, {'R', 0xFB002D0C, 0}}}));

TEST(DdrAccess, ReadsWhatWasWrittenThroughTheSameSpace) {
  Machine m;
  uint32_t ddrc = 0, pub = 0, other = 0;
  ASSERT_TRUE(m.run([&] {
    ddrcWrite(m.data, 0, 0, 1, 0x1B0, 0x11);
    pubWrite(m.data, 0, 0, 1, 0x1B0, 0x22);
    ddrc = ddrcRead(m.data, 0, 0, 1, 0x1B0);
    pub = pubRead(m.data, 0, 0, 1, 0x1B0);
    other = ddrcRead(m.data, 0, 0, 0, 0x1B0);
  }).completed);
  EXPECT_EQ(ddrc, 0x11u);
  EXPECT_EQ(pub, 0x22u);
  EXPECT_EQ(other, 0u) << "each channel has its own registers";
  EXPECT_EQ(m.ddr(0, 0, 1).ddrc().value(0x1B0), 0x11u);
  EXPECT_EQ(m.ddr(0, 0, 1).pub().value(0x1B0), 0x22u);
}

TEST(DdrAccess, ReturnsWhatTheRegisterReadsBack) {
  Machine m{test::ddrReads(1, 0, 1, DdrSpace::Ddrc, 0x080, {{0x00030000}})};
  uint32_t value = 0;
  ASSERT_TRUE(m.run([&] { value = ddrcRead(m.data, 1, 0, 1, 0x080); }).completed);
  EXPECT_EQ(value, 0x00030000u);
}

struct CheckRow {
  Op op;
  uint32_t module, chan;
  const char* expression;
};

std::ostream& operator<<(std::ostream& out, const CheckRow& r) {
  return out << opName(r.op) << " module " << r.module << " chan " << r.chan;
}

class DdrChecks : public testing::TestWithParam<CheckRow> {};

TEST_P(DdrChecks, HaltBeforeAnyAccess) {
  const CheckRow& r = GetParam();
  Machine m;  // modules = 2
  sim::Platform::Outcome outcome = m.run([&] { call(r.op, m.data, r.module, 0, r.chan, 0x004, 5); });
  ASSERT_FALSE(outcome.completed);
  std::string expected = std::string(r.expression) + " failed at TARVO3/ZorPei/DdrAccess.cpp:";
  EXPECT_EQ(outcome.report.rfind(expected, 0), 0u) << outcome.report;
  EXPECT_EQ(m.log().rfind("\033[31m" + expected, 0), 0u) << m.log();
  EXPECT_TRUE(m.accesses().empty());
}

std::vector<CheckRow> checkRows() {
  std::vector<CheckRow> rows;
  for (Op op : {Op::DdrcRead, Op::DdrcWrite, Op::PubRead, Op::PubWrite, Op::DdrcPoll, Op::PubPoll}) {
    rows.push_back({op, 2, 0, "module < zorData->modules"});
    rows.push_back({op, 2, 2, "module < zorData->modules"});  // the module check comes first
    rows.push_back({op, 0xFFFFFFFF, 0, "module < zorData->modules"});
    rows.push_back({op, 1, 2, "chan < DDR_CHANNELS"});
    rows.push_back({op, 0, 0xFFFFFFFF, "chan < DDR_CHANNELS"});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(ModuleAndChannel, DdrChecks, testing::ValuesIn(checkRows()));

// Polls, counted in reads of the polled register. The trace is off: a poll
// that gives up reads 300000 times.
struct PollRow {
  const char* what;
  ReadScript reads;     // what PGSR0 (or STAT) reads back
  uint32_t mask, value;
  uint8_t bounded;
  uint64_t expectedReads;
  uint32_t expectedResult;
};

std::ostream& operator<<(std::ostream& out, const PollRow& r) { return out << r.what; }

class DdrPoll : public testing::TestWithParam<std::tuple<DdrSpace, PollRow>> {};

TEST_P(DdrPoll, ReadsUntilTheValueOrTheBound) {
  auto [space, r] = GetParam();
  uint32_t reg = space == DdrSpace::Pub ? 0x00D : 0x004;
  Machine m{test::ddrReads(0, 1, 1, space, reg, r.reads)};
  m.platform.trace().setRecording(false);
  uint64_t pausesBefore = m.platform.pauses();
  uint64_t readsBefore = m.platform.bus().mmioReads();
  uint64_t writesBefore = m.platform.bus().mmioWrites();
  uint32_t result = 0;
  ASSERT_TRUE(m.run([&] {
    result = space == DdrSpace::Pub ? pubPoll(m.data, 0, 1, 1, reg, r.mask, r.value, r.bounded)
                                    : ddrcPoll(m.data, 0, 1, 1, reg, r.mask, r.value, r.bounded);
  }).completed);
  EXPECT_EQ(result, r.expectedResult);
  EXPECT_EQ(m.ddr(0, 1, 1).space(space).reads(reg), r.expectedReads);
  // Two bus accesses per read: the index is written again every time.
  EXPECT_EQ(m.platform.bus().mmioReads() - readsBefore, r.expectedReads);
  EXPECT_EQ(m.platform.bus().mmioWrites() - writesBefore, r.expectedReads);
  EXPECT_EQ(m.platform.pauses() - pausesBefore, r.expectedReads) << "a pause before every read";
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, DdrPoll,
    testing::Combine(
        testing::Values(DdrSpace::Ddrc, DdrSpace::Pub),
        testing::Values(
            PollRow{"matches at once", {{0x80000001}}, 1, 1, 1, 1, 0x80000001},
            PollRow{"matches on the sixth read", {{0, 5}, {7}}, 7, 7, 1, 6, 7},
            PollRow{"never matches", {{0x80000000}}, 1, 1, 1, 300000, 0x80000000},
            // The result is the 300000th read, whatever it holds.
            PollRow{"gives up on a changing value", {{0x10, 299999}, {0x20}}, 0xFF, 0x30, 1, 300000, 0x20},
            PollRow{"matches on the last read allowed", {{0, 299999}, {1}}, 1, 1, 1, 300000, 1},
            PollRow{"misses by one read", {{0, 300000}, {1}}, 1, 1, 1, 300000, 0},
            PollRow{"unbounded goes on past the bound", {{0, 400000}, {0xA0000001}}, 1, 1, 0, 400001, 0xA0000001},
            PollRow{"any non-zero flag bounds", {{0}}, 1, 1, 0x80, 300000, 0},
            PollRow{"whole-word compare", {{0x101, 3}, {1}}, 0xFFFFFFFF, 1, 1, 4, 1})));

TEST(DdrPoll, EachReadRewritesTheIndexAfterAPause) {
  Machine m{test::ddrReads(0, 0, 0, DdrSpace::Pub, 0x00D, {{0, 2}, {1}})};
  uint64_t pausesBefore = m.platform.pauses();
  ASSERT_TRUE(m.run([&] { pubPoll(m.data, 0, 0, 0, 0x00D, 1, 1, 1); }).completed);
  std::vector<Access> pair = {{'W', 0xFB002C08, 0x00D}, {'R', 0xFB002C0C, 0}};
  std::vector<Access> expected;
  for (uint32_t v : {0u, 0u, 1u}) {
    expected.push_back(pair[0]);
    expected.push_back({'R', 0xFB002C0C, v});
  }
  EXPECT_EQ(m.accesses(), expected);
  EXPECT_EQ(m.platform.pauses() - pausesBefore, 3u);
}

TEST(DdrPoll, UnboundedPollOnAStuckRegisterHangs) {
  Machine m{test::ddrReads(0, 0, 1, DdrSpace::Ddrc, 0x324, {{0}})};
  m.platform.trace().setRecording(false);
  m.platform.bus().setHangLimit(400000);
  sim::Platform::Outcome outcome = m.run([&] { ddrcPoll(m.data, 0, 0, 1, 0x324, 0xFFFFFFFF, 1, 0); });
  ASSERT_FALSE(outcome.completed);
  EXPECT_EQ(m.platform.stopKind(), sim::MachineStopped::Kind::Hang);
  EXPECT_NE(outcome.report.find("hung polling FB002D04 (M0R0 DDR1.DDRC[0x324] SWSTAT)"), std::string::npos)
      << outcome.report;
}

}  // namespace
