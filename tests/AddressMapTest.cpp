// zorsim's routing phase: the routing plan of the standard order, and the
// address map that --map prints after a run.
#include <gmock/gmock.h>

#include <sstream>

#include "AddressMap.h"
#include "Calls.h"
#include "RoutingPlan.h"
#include "Runner.h"
#include "Scenario.h"
#include "Simulator/Zor/Routing.h"
#include "ZorsimCommand.h"

namespace {

using ::testing::HasSubstr;
using sim::zor::RoutingView;
using sim::zor::Target;

std::vector<std::string> ops(const std::vector<zorsim::Call>& calls) {
  std::vector<std::string> names;
  for (const auto& c : calls) names.push_back(c.op);
  return names;
}

zorsim::Scenario machine(uint32_t modules, uint32_t localModule, uint32_t biRail) {
  std::ostringstream text;
  text << "[machine]\nmodules = " << modules << "\nlocalModule = " << localModule << "\nbiRail = " << biRail
       << "\ncpbMask = 0xFFFF\n";
  return zorsim::loadScenarioText(text.str(), "test.toml", ".");
}

TEST(RoutingPlan, TheStandardOrderRoutesEverySocketThenRunsLateInit) {
  std::vector<zorsim::Call> calls = zorsim::standardCalls(zorsim::defaultScenario());
  std::vector<std::string> names = ops(calls);
  auto first = std::find(names.begin(), names.end(), "routeMmioL");
  auto late = std::find(names.begin(), names.end(), "lateInit");
  ASSERT_NE(first, names.end());
  ASSERT_NE(late, names.end());
  EXPECT_EQ(std::vector<std::string>(names.begin(), first), (std::vector<std::string>{"setModuleInfo", "stageSpd"}));
  std::vector<std::string> routing(first, late);
  for (const char* op : {"routeMmioL", "routeMmioH", "routeIo", "routeMmcfg", "routeX2apic"})
    EXPECT_EQ(std::count(routing.begin(), routing.end(), op), 4) << op;  // 2 modules x 2 sockets
  EXPECT_EQ(std::count(routing.begin(), routing.end(), "routeDram"), 5);  // 4 sockets + one AEP region
  EXPECT_EQ(routing.size(), 25u);
}

TEST(RoutingPlan, TheDefaultMachinesDramAndAepRegion) {
  std::vector<zorsim::Call> dram;
  for (const auto& c : zorsim::routingPlan(zorsim::defaultScenario().machine))
    if (c.op == "routeDram") dram.push_back(c);
  ASSERT_EQ(dram.size(), 5u);
  // The AEP control region comes first, so regular DRAM sets the host range.
  EXPECT_EQ(dram[0].args, (std::map<std::string, uint64_t>{
                              {"base", 0xC000000000}, {"limit", 0xC03FFFFFFF}, {"dm", 1}, {"ds", 1}, {"type", 2}}));
  EXPECT_EQ(dram[1].args, (std::map<std::string, uint64_t>{
                              {"base", 0x0}, {"limit", 0x47FFFFFFF}, {"dm", 0}, {"ds", 0}, {"type", 0}}));
  EXPECT_EQ(dram[4].args, (std::map<std::string, uint64_t>{
                              {"base", 0xC80000000}, {"limit", 0x107FFFFFFF}, {"dm", 1}, {"ds", 1}, {"type", 0}}));
}

// Every machine size runs the standard order to its end: every range passes
// the slots' checks, local ranges need at most 4 of the 8 local MMIO rules,
// and the AEP region (machines of up to 8 modules) takes a rule no regular
// DRAM uses.
class PlanForMachine : public ::testing::TestWithParam<std::tuple<uint32_t, uint32_t>> {};

TEST_P(PlanForMachine, RunsToTheEndAndRoutesEverySocket) {
  auto [modules, localModule] = GetParam();
  zorsim::Scenario scenario = machine(modules, localModule, 1);
  std::ostringstream out;
  zorsim::Runner runner(scenario, {}, out);
  ASSERT_EQ(runner.run(), 0) << out.str();
  EXPECT_THAT(out.str(), HasSubstr("- TARVO3_ZOR_local_lateInit\n"));
  EXPECT_THAT(out.str(), ::testing::Not(HasSubstr("not routed")));
  for (uint32_t rail = 0; rail < 2; ++rail) {
    RoutingView view(runner.platform().zor().chip(localModule, rail));
    for (uint32_t m = 0; m < modules; ++m) {
      for (uint32_t s = 0; s < 2; ++s) {
        uint32_t i = 2 * m + s;
        EXPECT_EQ(view.ownerOfApic(64 * i), (Target{m, s}));
        EXPECT_EQ(view.dramRule(0, i).target, (Target{m, s}));
        EXPECT_EQ(view.dramRule(1, i).target, (Target{m, s}));
        EXPECT_EQ(view.mmioHRule(i).target, (Target{m, s}));
        EXPECT_EQ(view.ownerOfMmio(0x10000000000ull + i * 0x1000000000ull), (Target{m, s}));
        EXPECT_EQ(view.ownerOfMmioL(0x90000000), (Target{0, 0}));
        EXPECT_EQ(view.ownerOfIo(0), (Target{0, 0}));
      }
    }
    // Up to 8 modules the AEP region of the last module's socket 1 takes
    // rule 2 * modules + 15; a larger machine uses rules 16 to 31 for its
    // modules 8 to 15 (checked above) and routes no AEP region.
    if (modules <= 8) {
      auto aep = view.dramRule(0, 2 * modules + 15);
      EXPECT_TRUE(aep.valid);
      EXPECT_EQ(aep.target, (Target{modules - 1, 1}));
      EXPECT_EQ(aep.base, 0xC000000000u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, PlanForMachine,
                         ::testing::Values(std::tuple{1u, 0u}, std::tuple{2u, 0u}, std::tuple{2u, 1u},
                                           std::tuple{3u, 2u}, std::tuple{8u, 7u}, std::tuple{9u, 4u},
                                           std::tuple{16u, 15u}),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) + "ModulesLocal" +
                                  std::to_string(std::get<1>(info.param));
                         });

TEST(RoutingPlan, TheDefaultRunShowsTheRoutingPhase) {
  std::ostringstream out;
  zorsim::Runner runner(zorsim::defaultScenario(), {}, out);
  ASSERT_EQ(runner.run(), 0) << out.str();
  std::string text = out.str();
  for (const char* line : {"Routing MMIO-L 90000000:A9FFFFFF to 0.0\n",
                           "Routing MMIO-H 13000000000:13FFFFFFFFF to 1.1\n",
                           "Routing IO 0000:3FFF to 0.0\n",
                           "Routing MMCFG 08C000000:08FFFFFFF to 1.1\n",
                           "Routing x2APIC 040:07F to 0.1\n",
                           "Routing DRAM 00C000000000:00C03FFFFFFF to 1.1 (AEP control region)\n",
                           "Routing DRAM 000000000000:00047FFFFFFF to 0.0 (regular DDR4 DRAM)\n",
                           "+ TARVO3_ZOR_local_lateInit\nGIDNID map 00FFF240\n"
                           "0MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 3\n- TARVO3_ZOR_local_lateInit\n",
                           "== lateInit()\n"})
    EXPECT_THAT(text, HasSubstr(line));
}

TEST(AddressMap, OfTheDefaultRunListsRangesNotEntries) {
  std::ostringstream out;
  zorsim::Runner runner(zorsim::defaultScenario(), {}, out);
  ASSERT_EQ(runner.run(), 0);
  std::ostringstream map;
  zorsim::printLocalAddressMap(runner, map);
  EXPECT_EQ(map.str(),
            "== address map of M0 rail 0\n"
            "MMIO-L table (1 MB entries below 4 GB):\n"
            "  00000000-8FFFFFFF  unset\n"
            "  90000000-A9FFFFFF  M0.0\n"
            "  AA000000-C3FFFFFF  M0.1\n"
            "  C4000000-DDFFFFFF  M1.0\n"
            "  DE000000-F7FFFFFF  M1.1\n"
            "  F8000000-FFFFFFFF  unset\n"
            "MMIO-H rules:\n"
            "  rule 0   010000000000-010FFFFFFFFF  M0.0\n"
            "  rule 1   011000000000-011FFFFFFFFF  M0.1\n"
            "  rule 2   012000000000-012FFFFFFFFF  M1.0\n"
            "  rule 3   013000000000-013FFFFFFFFF  M1.1\n"
            "Local IOA MMIO rules (4 of 8 valid):\n"
            "  rule 0  000090000000-0000A9FFFFFF  socket 0\n"
            "  rule 1  0000AA000000-0000C3FFFFFF  socket 1\n"
            "  rule 2  010000000000-010FFFFFFFFF  socket 0\n"
            "  rule 3  011000000000-011FFFFFFFFF  socket 1\n"
            "PCI IO table (1 KB entries):\n"
            "  0000-3FFF  M0.0\n"
            "  4000-7FFF  M0.1\n"
            "  8000-BFFF  M1.0\n"
            "  C000-FFFF  M1.1\n"
            "Local IO and MMCFG decode:\n"
            "  socket 0  IO 0000-3FFF (socket field 0), MMCFG buses 00-3F (socket field 0)\n"
            "  socket 1  IO 4000-7FFF (socket field 1), MMCFG buses 40-7F (socket field 1)\n"
            "x2APIC table (groups of 32 APIC IDs):\n"
            "  000-03F  groups 0-1  M0.0\n"
            "  040-07F  groups 2-3  M0.1\n"
            "  080-0BF  groups 4-5  M1.0\n"
            "  0C0-0FF  groups 6-7  M1.1\n"
            "  100-FFF  groups 8-127  unset\n"
            "GIDNID map 01FFF240: node of groups g with g & 7 = 0..7: 0 0 1 1 - - - -\n"
            "DRAM rules (PE0 and PE1 alike):\n"
            "  rule 0   000000000000-00047FFFFFFF  M0.0\n"
            "  rule 1   000480000000-00087FFFFFFF  M0.1\n"
            "  rule 2   000880000000-000C7FFFFFFF  M1.0\n"
            "  rule 3   000C80000000-00107FFFFFFF  M1.1\n"
            "  rule 19  00C000000000-00C03FFFFFFF  M1.1 (AEP control region)\n"
            "Late init (PE0 and PE1 alike): tag mode 3, CMM2S 1, CONFIG 80000000, presence mask 0000000F\n"
            "== address map of M0 rail 1: the same as rail 0\n");
}

TEST(AddressMap, OfAnUntouchedChipSaysUnset) {
  sim::Platform platform;
  std::string text = zorsim::addressMapText(platform.zor().chip(1, 1));
  EXPECT_THAT(text, HasSubstr("MMIO-L table (1 MB entries below 4 GB):\n  00000000-FFFFFFFF  unset\n"));
  EXPECT_THAT(text, HasSubstr("MMIO-H rules:\n  none valid\n"));
  EXPECT_THAT(text, HasSubstr("Local IOA MMIO rules (0 of 8 valid):\nPCI IO"));
  EXPECT_THAT(text, HasSubstr("  000-FFF  groups 0-127  unset\nGIDNID map not written\n"));
  EXPECT_THAT(text, HasSubstr("DRAM rules (PE0 and PE1 alike):\n  none valid\nLate init: not run\n"));
}

TEST(AddressMap, ShowsRailsAndEnginesThatDiffer) {
  sim::Platform platform;
  platform.bus().write32(0xFA00211C, 0x00000003);  // rail 1 only: MMIO-L entry 0 to M1.1
  platform.bus().write32(0xFB002680, 0x00000001);  // PE 1 only: rule 0
  platform.bus().write32(0xFB002700, 0x00004002);
  std::ostringstream out;
  zorsim::printAddressMap(out, platform.zor(), 0, 1);
  std::string text = out.str();
  EXPECT_THAT(text, HasSubstr("DRAM rules of PE0:\n  none valid\nDRAM rules of PE1:\n"
                              "  rule 0   000000000000-00007FFFFFFF  M1.0\n"));
  EXPECT_THAT(text, HasSubstr("== address map of M0 rail 1\nMMIO-L table (1 MB entries below 4 GB):\n"
                              "  00000000-000FFFFF  M1.1\n  00100000-FFFFFFFF  unset\n"));
}

TEST(AddressMap, ZorsimPrintsItWithMap) {
  test::CommandResult run = test::zorsim("--no-color --map");
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string& out = run.out;
  size_t ended = out.find("== run ended normally\n");
  size_t map = out.find("== address map of M0 rail 0\n");
  ASSERT_NE(ended, std::string::npos);
  ASSERT_NE(map, std::string::npos);
  EXPECT_LT(ended, map);
  EXPECT_THAT(out, HasSubstr("== address map of M0 rail 1: the same as rail 0\n"));
}

}  // namespace
