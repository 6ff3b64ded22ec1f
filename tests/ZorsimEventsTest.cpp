// zorsim and the event-log storage: StoreEvent calls, the event HOBs and PCD
// values it reports at the end of a run, and the [rtc] and [pcd] sections.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Calls.h"
#include "Runner.h"
#include "Scenario.h"

namespace {

struct RunResult {
  int status;
  std::string out;
  nlohmann::json summary;
};

RunResult runText(const std::string& text) {
  zorsim::Scenario s = zorsim::loadScenarioText(text, "events.toml", ".");
  std::ostringstream out;
  zorsim::Runner runner(s, {}, out);
  int status = runner.run();
  return {status, out.str(), runner.summary()};
}

std::vector<std::string> linesFrom(const std::string& out, const std::string& first) {
  std::vector<std::string> lines;
  std::istringstream in(out.substr(out.find(first)));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char* kTwoEvents = R"(
[rtc]
start = 2026-03-14 09:26:53

[[call]]
op = "StoreEvent"
type = 3
data = 0x55

[[call]]
op = "StoreEvent"
type = 8
data = 0x1122334455667788
)";

TEST(ZorsimEvents, ListsTheEventHobsAndBothPcdsAtTheEnd) {
  RunResult run = runText(kTwoEvents);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(linesFrom(run.out, "== StoreEvent"),
            (std::vector<std::string>{
                "== StoreEvent(type 0x3, data 0x55) = 0x0",
                "== StoreEvent(type 0x8, data 0x1122334455667788) = 0x0",
                "== event HOBs: 2",
                "== event 1: type 0x03, length 8, time 26 03 14 09 26 53",
                "== event 2: type 0x08, length 16, time 26 03 14 09 26 53, data 0x1122334455667788",
                "== PCD 0xA030B (PcdEventVaultBase) = 0xFFCA4020",
                "== PCD 0xA030C (PcdEventVaultSize) = 0x4DE0",
                "== run ended normally",
            }));
  EXPECT_NE(run.out.find("== PCD database: EFI_PEI_PCD_PPI installed, 2 tokens\n"
                         "== dispatch ZorPei -> EFI_SUCCESS\n"
                         "== dispatch EventVaultPei -> EFI_SUCCESS\n"
                         "== dispatch VaultPolicyPei -> EFI_SUCCESS\n"),
            std::string::npos)
      << run.out;

  const nlohmann::json events = nlohmann::json::parse(R"([
    {"type": 3, "length": 8, "time": [38, 3, 20, 9, 38, 83]},
    {"type": 8, "length": 16, "time": [38, 3, 20, 9, 38, 83], "data": 1234605616436508552}
  ])");
  EXPECT_EQ(run.summary["events"], events);
  EXPECT_EQ(run.summary["pcds"], nlohmann::json::parse(R"({"0xA030B": 4291444768, "0xA030C": 19936})"));
}

TEST(ZorsimEvents, JsonFileCarriesEventsAndPcds) {
  std::string scenario = testing::TempDir() + "events.toml";
  std::string json = testing::TempDir() + "events.json";
  std::ofstream(scenario) << kTwoEvents;
  std::string command = std::string(ZORSIM_BINARY) + " --no-color --json " + json + " " + scenario + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(json);
  nlohmann::json summary = nlohmann::json::parse(in);
  ASSERT_EQ(summary["events"].size(), 2u);
  EXPECT_EQ(summary["events"][1]["data"], 0x1122334455667788ull);
  EXPECT_FALSE(summary["events"][0].contains("data"));
  EXPECT_EQ(summary["pcds"]["0xA030C"], 0x4DE0);
}

TEST(ZorsimEvents, WithoutAPcdDatabaseTheRunGoesOnAndSaysSo) {
  RunResult run = runText("[pcd]\nabsent = true\n[[call]]\nop = \"StoreEvent\"\ntype = 1\n");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("== PCD database absent: no EFI_PEI_PCD_PPI\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030B of token space "
                         "D1B99B46-E509-4EDA-89AC-7A6738BB821A not set to 0xFFCA4020\n"
                         "PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030C of token space "
                         "D1B99B46-E509-4EDA-89AC-7A6738BB821A not set to 0x4DE0\n"
                         "== dispatch VaultPolicyPei -> EFI_SUCCESS\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("== PCD 0xA030B (PcdEventVaultBase): no PCD database\n"
                         "== PCD 0xA030C (PcdEventVaultSize): no PCD database\n"),
            std::string::npos);
  EXPECT_TRUE(run.summary["pcds"]["0xA030B"].is_null());
  EXPECT_TRUE(run.summary["pcds"]["0xA030C"].is_null());
  EXPECT_EQ(run.summary["events"].size(), 1u);
}

TEST(ZorsimEvents, DeclaredTokensDecideWhatIsSet) {
  RunResult run = runText(R"(
[[pcd.token]]
number = 0xA030B
default = 0x1000
rejectFirstSet = true

[[pcd.token]]
space = "11111111-2222-3333-4444-555555555555"
number = 0xA030C

[[call]]
op = "StoreEvent"
type = 1
)");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("== PCD 0xA030B (PcdEventVaultBase) = 0x1000\n"
                         "== PCD 0xA030C (PcdEventVaultSize): not in the PCD database\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.summary["pcds"]["0xA030B"], 0x1000);
  EXPECT_TRUE(run.summary["pcds"]["0xA030C"].is_null());
}

TEST(ZorsimEvents, AStuckClockGivesZeroTimeAndSuccess) {
  RunResult run = runText("[rtc]\nstuckForUs = 1000000\n[[call]]\nop = \"StoreEvent\"\ntype = 2\n");
  EXPECT_NE(run.out.find("== StoreEvent(type 0x2) = 0x0\n== event HOBs: 1\n"
                         "== event 1: type 0x02, length 8, time 00 00 00 00 00 00\n"),
            std::string::npos)
      << run.out;
}

TEST(ZorsimEvents, StandardOrderEndsWithAFewEvents) {
  auto calls = zorsim::standardCalls(zorsim::Scenario{});
  ASSERT_GE(calls.size(), 3u);
  std::vector<std::string> last;
  for (size_t i = calls.size() - 3; i < calls.size(); ++i) last.push_back(zorsim::formatCall(calls[i]));
  EXPECT_EQ(last, (std::vector<std::string>{"StoreEvent(type 0x1)", "StoreEvent(type 0x3)",
                                            "StoreEvent(type 0x8, data 0x1122334455667788)"}));
}

TEST(ZorsimEvents, DefaultScenarioDeclaresBothPcdsAndAClock) {
  zorsim::Scenario s = zorsim::defaultScenario();
  ASSERT_TRUE(s.pcd.tokens);
  ASSERT_EQ(s.pcd.tokens->size(), 2u);
  EXPECT_EQ(s.pcd.tokens->at(0).number, 0xA030Bu);
  EXPECT_EQ(s.pcd.tokens->at(1).number, 0xA030Cu);
  EXPECT_FALSE(s.pcd.absent);
  EXPECT_EQ(s.rtc.year, 2026u);
}

TEST(ZorsimEvents, ScenarioSectionsAreRead) {
  zorsim::Scenario s = zorsim::loadScenarioText(R"(
[rtc]
start = 1999-12-31 23:59:58
phaseUs = 5
binary = true
hour12 = true
nmiMasked = true
updateUs = 1984
stuckAtUs = 7
stuckForUs = 8
accessUs = 1

[pcd]
absent = true

[[pcd.token]]
number = 0x10
size = 1
default = 0xFF
)",
                                                "s.toml", ".");
  EXPECT_EQ(s.rtc.year, 1999u);
  EXPECT_EQ(s.rtc.month, 12u);
  EXPECT_EQ(s.rtc.day, 31u);
  EXPECT_EQ(s.rtc.hour, 23u);
  EXPECT_EQ(s.rtc.minute, 59u);
  EXPECT_EQ(s.rtc.second, 58u);
  EXPECT_EQ(s.rtc.phaseUs, 5u);
  EXPECT_TRUE(s.rtc.binary);
  EXPECT_TRUE(s.rtc.hour12);
  EXPECT_TRUE(s.rtc.nmiMasked);
  EXPECT_EQ(s.rtc.updateUs, 1984u);
  EXPECT_EQ(s.rtc.stuckAtUs, 7u);
  EXPECT_EQ(s.rtc.stuckForUs, 8u);
  EXPECT_EQ(s.rtc.accessUs, 1u);
  EXPECT_TRUE(s.pcd.absent);
  ASSERT_TRUE(s.pcd.tokens);
  EXPECT_EQ(s.pcd.tokens->at(0).size, 1u);
  EXPECT_EQ(s.pcd.tokens->at(0).value, 0xFFu);
}

struct BadRow {
  const char* text;
  const char* message;
};

class BadEventScenario : public testing::TestWithParam<BadRow> {};

TEST_P(BadEventScenario, IsAnErrorNamingFileLineAndKey) {
  try {
    zorsim::loadScenarioText(GetParam().text, "bad.toml", ".");
    FAIL() << "accepted";
  } catch (const zorsim::ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RtcAndPcd, BadEventScenario,
    testing::Values(
        BadRow{"[rtc]\nstart = \"today\"\n",
               "bad.toml:2: rtc.start: expected a local date and time (start = 2024-03-15 13:45:30)"},
        BadRow{"[rtc]\nstart = 2024-03-15T13:45:30Z\n",
               "bad.toml:2: rtc.start: expected a local date and time (start = 2024-03-15 13:45:30)"},
        BadRow{"[rtc]\nstart = 2100-01-01 00:00:00\n", "bad.toml:2: rtc.start: year out of range 1970 to 2099"},
        BadRow{"[rtc]\nbinary = 1\n", "bad.toml:2: rtc.binary: expected true or false"},
        BadRow{"[rtc]\nphaseUs = 1000000\n", "bad.toml:2: rtc.phaseUs: value 1000000 out of range 0 to 999999"},
        BadRow{"[rtc]\nstuck = true\n", "bad.toml:2: rtc.stuck: unknown key"},
        BadRow{"[pcd]\nabsent = \"yes\"\n", "bad.toml:2: pcd.absent: expected true or false"},
        BadRow{"[pcd]\ntokens = 1\n", "bad.toml:2: pcd.tokens: unknown key"},
        BadRow{"[[pcd.token]]\nsize = 4\n", "bad.toml: pcd.token[0].number: missing (the token number)"},
        BadRow{"[[pcd.token]]\nnumber = 1\nsize = 3\n", "bad.toml:3: pcd.token[0].size: expected 1, 2, 4 or 8 (bytes)"},
        BadRow{"[[pcd.token]]\nnumber = 1\nsize = 1\ndefault = 256\n",
               "bad.toml:4: pcd.token[0].default: value 256 out of range 0 to 255"},
        BadRow{"[[pcd.token]]\nnumber = 1\nspace = \"D1B99B46\"\n",
               "bad.toml:3: pcd.token[0].space: expected a GUID (D1B99B46-E509-4EDA-89AC-7A6738BB821A)"},
        BadRow{"[[pcd.token]]\nnumber = 1\n[[pcd.token]]\nnumber = 1\n",
               "bad.toml:4: pcd.token[1].number: token declared twice"},
        BadRow{"[[pcd.token]]\nnumber = 1\nreject = true\n", "bad.toml:3: pcd.token[0].reject: unknown key"},
        BadRow{"[[call]]\nop = \"StoreEvent\"\ndata = 1\n", "bad.toml:1: call[0].type: missing argument of StoreEvent"},
        BadRow{"[[call]]\nop = \"StoreEvent\"\ntype = 256\n",
               "bad.toml:3: call[0].type: value 256 out of range 0 to 255"}));

}  // namespace
