// The chip model's DDR channels: the DDRC and PUB spaces behind each
// channel's index/data pairs, their names in traces, registers that read
// back chosen values (from a test or a scenario's [[ddr]]), and the hooks
// later behaviour builds on.
#include <gtest/gtest.h>

#include <sstream>

#include "Machine.h"
#include "Runner.h"
#include "Scenario.h"

extern "C" {
#include <Library/IoLib.h>
}

namespace {

using sim::zor::DdrSpace;
using sim::zor::RegisterSpace;
using test::Machine;

std::vector<std::string> notes(const Machine& m) {
  std::vector<std::string> list;
  for (const auto& r : m.platform.trace().records())
    if (r.op == 'R' || r.op == 'W') list.push_back(r.note);
  return list;
}

TEST(DdrModel, TracesNameTheSelectedRegister) {
  Machine m;
  m.run([&] {
    MmioWrite32(0xFA002D08, 0x00D);  // rail 1, channel 1, PUB index
    MmioRead32(0xFA002D0C);
    MmioWrite32(0xFB002C00, 0x324);  // rail 0, channel 0, DDRC index
    MmioWrite32(0xFB002C04, 1);
    MmioWrite32(0xFB002C00, 0xABC);  // a register the table does not name
    MmioRead32(0xFB002C04);
  });
  EXPECT_EQ(notes(m), (std::vector<std::string>{"M0R1 DDR1.PUB_INDEX (PGSR0)", "M0R1 DDR1.PUB[0x00D] PGSR0",
                                                "M0R0 DDR0.DDRC_INDEX (SWSTAT)", "M0R0 DDR0.DDRC[0x324] SWSTAT",
                                                "M0R0 DDR0.DDRC_INDEX", "M0R0 DDR0.DDRC[0xABC]"}));
}

TEST(DdrModel, RegisterTablesNameLaneAndPortRegisters) {
  Machine m;
  RegisterSpace& pub = m.ddr(0, 0, 0).pub();
  RegisterSpace& ddrc = m.ddr(0, 0, 0).ddrc();
  EXPECT_EQ(pub.name(0x1C5), "DX0GCR5");
  EXPECT_EQ(pub.name(0x1C5 + 0x40 * 8), "DX8GCR5");
  EXPECT_EQ(pub.name(0x1F0 + 0x40 * 3), "DX3GTR0");
  EXPECT_EQ(pub.name(0x1A6), "ZQ1DR");
  EXPECT_EQ(pub.name(0x10C), "BISTGSR");
  EXPECT_EQ(pub.name(0x08F), "VTDR");
  EXPECT_EQ(ddrc.name(0x080), "ECCERRCNT");
  EXPECT_EQ(ddrc.name(0x404 + 0xB0), "PCFGR_1");
  EXPECT_EQ(ddrc.name(0x490), "PCTRL_0");
  EXPECT_EQ(ddrc.name(0xF28), "SBRSTAT");
  EXPECT_EQ(ddrc.name(0x13C), "DRAMTMG15");
}

TEST(DdrModel, SpacesArePlainStoragePerChipAndChannel) {
  Machine m;
  m.run([&] {
    MmioWrite32(0xFB002C00, 0x1B0);
    MmioWrite32(0xFB002C04, 0x11);
    MmioWrite32(0xFB002C08, 0x1B0);
    MmioWrite32(0xFB002C0C, 0x22);
    MmioWrite32(0xFB102D00, 0x1B0);
    MmioWrite32(0xFB102D04, 0x33);
  });
  EXPECT_EQ(m.ddr(0, 0, 0).ddrc().value(0x1B0), 0x11u);
  EXPECT_EQ(m.ddr(0, 0, 0).pub().value(0x1B0), 0x22u);
  EXPECT_EQ(m.ddr(1, 0, 1).ddrc().value(0x1B0), 0x33u);
  EXPECT_EQ(m.ddr(0, 0, 1).ddrc().value(0x1B0), 0u);
  EXPECT_EQ(m.ddr(0, 1, 0).ddrc().value(0x1B0), 0u);
  EXPECT_EQ(m.ddr(0, 0, 0).ddrc().writes(0x1B0), 1u);
}

TEST(DdrModel, ReadScriptTakesEachValueForItsCountAndHoldsTheLast) {
  Machine m{test::ddrReads(1, 1, 0, DdrSpace::Pub, 0x00D, {{0x0, 2}, {0x5}, {0x80000001}})};
  std::vector<uint32_t> seen;
  m.run([&] {
    MmioWrite32(0xFA102C08, 0x00D);
    for (int i = 0; i < 6; ++i) seen.push_back(MmioRead32(0xFA102C0C));
    MmioWrite32(0xFA102C0C, 0x1234);  // a write is stored, the script still decides the reads
    seen.push_back(MmioRead32(0xFA102C0C));
  });
  EXPECT_EQ(seen, (std::vector<uint32_t>{0, 0, 5, 0x80000001, 0x80000001, 0x80000001, 0x80000001}));
  EXPECT_EQ(m.ddr(1, 1, 0).pub().value(0x00D), 0x1234u);
  EXPECT_EQ(m.ddr(1, 1, 0).pub().reads(0x00D), 7u);
}

TEST(DdrModel, ScriptsCanBeSetAndRemovedThroughTheChip) {
  Machine m;
  RegisterSpace& ddrc = m.ddr(0, 0, 1).ddrc();
  ddrc.setValue(0x004, 3);
  ddrc.script(0x004, {{1}});
  EXPECT_EQ(ddrc.read(0x004), 1u);
  ddrc.script(0x004, {});
  EXPECT_EQ(ddrc.read(0x004), 3u);
}

TEST(DdrModel, BehaviourHooksSitOnTheSameStorage) {
  Machine m;
  RegisterSpace& pub = m.ddr(0, 0, 0).pub();
  // A run request that completes at once: PIR bit 0 sets PGSR0 bit 0.
  pub.onWrite(0x001, [](RegisterSpace& s, uint32_t reg, uint32_t value) {
    s.setValue(reg, value);
    if (value & 1) s.setValue(0x00D, s.value(0x00D) | 1);
  });
  pub.onRead(0x00D, [](RegisterSpace& s, uint32_t reg) { return s.value(reg) | 0x80000000; });
  uint32_t status = 0;
  m.run([&] {
    MmioWrite32(0xFB002C08, 0x001);
    MmioWrite32(0xFB002C0C, 0x41);
    MmioWrite32(0xFB002C08, 0x00D);
    status = MmioRead32(0xFB002C0C);
  });
  EXPECT_EQ(status, 0x80000001u);
  // A scripted value takes precedence over the behaviour.
  pub.script(0x00D, {{0xA0000001}});
  EXPECT_EQ(pub.read(0x00D), 0xA0000001u);
}

// --- [[ddr]] in a scenario ------------------------------------------------------

zorsim::Scenario load(const std::string& text) { return zorsim::loadScenarioText(text, "s.toml", "."); }

std::string loadError(const std::string& text) {
  try {
    load(text);
  } catch (const zorsim::ScenarioError& e) {
    return e.what();
  }
  return "no error";
}

TEST(DdrScenario, DeclaresReadBacksPerChip) {
  zorsim::Scenario s = load(R"(
[machine]
modules = 2
biRail = 1

[[ddr]]
module = 1
rail = 1
channel = 1
pub = 0x00D
reads = [0, 0x8000000F]
times = [1000, 1]

[[ddr]]
ddrc = 0x080
reads = [0x00030000]
)");
  const auto& far = s.chips.at({1, 1}).ddrReadbacks;
  ASSERT_EQ(far.size(), 1u);
  EXPECT_EQ(far[0].channel, 1u);
  EXPECT_EQ(far[0].space, DdrSpace::Pub);
  EXPECT_EQ(far[0].reg, 0x00Du);
  ASSERT_EQ(far[0].reads.size(), 2u);
  EXPECT_EQ(far[0].reads[0].value, 0u);
  EXPECT_EQ(far[0].reads[0].reads, 1000u);
  EXPECT_EQ(far[0].reads[1].value, 0x8000000Fu);
  const auto& near = s.chips.at({0, 0}).ddrReadbacks;
  ASSERT_EQ(near.size(), 1u);
  EXPECT_EQ(near[0].channel, 0u);
  EXPECT_EQ(near[0].space, DdrSpace::Ddrc);
  EXPECT_EQ(near[0].reg, 0x080u);
  EXPECT_EQ(near[0].reads[0].reads, 1u);
}

struct ErrorRow {
  const char* toml;
  const char* error;
};

class DdrScenarioError : public testing::TestWithParam<ErrorRow> {};

TEST_P(DdrScenarioError, NamesTheLineAndKey) { EXPECT_EQ(loadError(GetParam().toml), GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Errors, DdrScenarioError,
    testing::Values(
        ErrorRow{"[[ddr]]\nreads = [1]\n", "s.toml:1: ddr[0].ddrc: missing or pub: the register (exactly one of them)"},
        ErrorRow{"[[ddr]]\nddrc = 4\npub = 13\nreads = [1]\n",
                 "s.toml:1: ddr[0].ddrc: missing or pub: the register (exactly one of them)"},
        ErrorRow{"[[ddr]]\npub = 13\n", "s.toml:1: ddr[0].reads: missing (the values the register reads back)"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = []\n", "s.toml:3: ddr[0].reads: expected a list of integers"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = [1, \"x\"]\n",
                 "s.toml:3: ddr[0].reads: expected integers from 0 to 4294967295"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = [0x100000000]\n",
                 "s.toml:3: ddr[0].reads: expected integers from 0 to 4294967295"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = [1, 2]\ntimes = [5]\n",
                 "s.toml:4: ddr[0].times: expected one count per value of reads"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = [1, 2]\ntimes = [5, 0]\n",
                 "s.toml:4: ddr[0].times: expected integers from 1 to 1099511627776"},
        ErrorRow{"[[ddr]]\npub = 0x400\nreads = [1]\n", "s.toml:2: ddr[0].pub: value 1024 out of range 0 to 1023"},
        ErrorRow{"[[ddr]]\nchannel = 2\npub = 13\nreads = [1]\n",
                 "s.toml:2: ddr[0].channel: value 2 out of range 0 to 1"},
        ErrorRow{"[machine]\nmodules = 2\n[[ddr]]\nmodule = 2\npub = 13\nreads = [1]\n",
                 "s.toml:3: ddr[0].module: no ZOR chip M2R0 in this machine ([machine] modules and biRail)"},
        ErrorRow{"[machine]\nbiRail = 0\n[[ddr]]\nrail = 1\npub = 13\nreads = [1]\n",
                 "s.toml:3: ddr[0].module: no ZOR chip M0R1 in this machine ([machine] modules and biRail)"},
        ErrorRow{"[[ddr]]\npub = 13\nreads = [1]\nvalue = 3\n", "s.toml:4: ddr[0].value: unknown key"}));

// The raw word-array slots reach the DDR pairs of the local window: a
// scenario's calls see the values its [[ddr]] declares.
TEST(DdrScenario, RunnerCallsSeeTheDeclaredValues) {
  zorsim::Scenario s = load(R"(
[machine]
modules = 2
biRail = 0

[[ddr]]
module = 1
channel = 1
pub = 0x00D
reads = [0x0, 0x80000001]

[[call]]
op = "directWrite"
module = 1
index = 0x2CA      # window offset 0x2D08: channel 1 PUB index
value = 0x00D

[[call]]
op = "directRead"
module = 1
index = 0x2CB      # 0x2D0C: channel 1 PUB data

[[call]]
op = "directRead"
module = 1
index = 0x2CB
)");
  std::ostringstream out;
  zorsim::Runner runner(s, {}, out);
  EXPECT_EQ(runner.run(), 0) << out.str();
  EXPECT_NE(out.str().find("== directRead(module 0x1, index 0x2CB) = 0x0\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("== directRead(module 0x1, index 0x2CB) = 0x80000001\n"), std::string::npos)
      << out.str();
}

}  // namespace
