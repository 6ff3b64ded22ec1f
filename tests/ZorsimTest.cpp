// zorsim end to end: the command on small scenarios, its output, trace and
// summary, and the scenario loader's errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Scenario.h"
#include "ZorsimCommand.h"

namespace {

using test::CommandResult;
using test::zorsim;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Compares with a golden file; ZOR_UPDATE_GOLDEN=1 rewrites it instead (only
// on purpose: the diff of a golden file is what review reads).
void expectGolden(const std::string& actual, const std::string& name) {
  std::string path = std::string(ZOR_TEST_DIR) + "/golden/" + name;
  if (std::getenv("ZOR_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, readFile(path)) << "golden file " << path << " differs";
}

std::string golden(const std::string& name) { return std::string(ZOR_TEST_DIR) + "/golden/" + name; }

TEST(Zorsim, SmallScenarioOutputAndTraceMatchTheGoldenFiles) {
  std::string trace = testing::TempDir() + "small.trace";
  std::string json = testing::TempDir() + "small.json";
  // Run from the tests folder so that paths in the output are stable.
  CommandResult run = zorsim("--no-color --trace " + trace + " --json " + json + " " + golden("small.toml"));
  EXPECT_EQ(run.status, 0) << run.out;
  std::string out = run.out;
  out.replace(out.find(golden("small.toml")), golden("small.toml").size(), "small.toml");
  expectGolden(out, "small.out");
  expectGolden(readFile(trace), "small.trace");

  auto summary = nlohmann::json::parse(readFile(json));
  EXPECT_TRUE(summary["halt"].is_null());
  EXPECT_TRUE(summary["hang"].is_null());
  bool found = false;
  for (const auto& call : summary["calls"]) {
    if (call["op"] == "indirectRead") {
      EXPECT_EQ(call["result"], 0xFEEDF00Du);
      EXPECT_EQ(call["args"]["indexLow"], 0x20u);
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST(Zorsim, HaltEndsTheRunWithStatusOneAndRefusesLaterCalls) {
  std::string json = testing::TempDir() + "halt.json";
  CommandResult run = zorsim("--no-color --json " + json + " " + golden("halt.toml"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("localModule < modules failed at TARVO3/ZorPei/ModuleInfo.cpp:"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("-- directRead(module 0x0, index 0x0) not made: "), std::string::npos) << run.out;
  auto summary = nlohmann::json::parse(readFile(json));
  EXPECT_EQ(summary["halt"]["op"], "setModuleInfo");
  EXPECT_EQ(summary["halt"]["report"].get<std::string>().rfind("localModule < modules failed at", 0), 0u);
}

// Every change of the default boot's register traffic or text shows up as a
// diff of these two files.
TEST(Zorsim, DefaultBootMatchesTheGoldenTraceAndText) {
  std::string trace = testing::TempDir() + "default.trace";
  CommandResult run = zorsim("--no-color --trace " + trace);
  EXPECT_EQ(run.status, 0) << run.out;
  expectGolden(run.out, "default.out");
  expectGolden(readFile(trace), "default.trace");
}

TEST(Zorsim, DefaultScenarioRunsToTheEnd) {
  CommandResult run = zorsim("--no-color");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("== scenario built-in default"), std::string::npos);
  EXPECT_NE(run.out.find("== run ended normally"), std::string::npos);
}

TEST(Zorsim, ColourIsStrippedWithNoColor) {
  CommandResult run = zorsim("--no-color " + golden("halt.toml"));
  EXPECT_EQ(run.out.find('\033'), std::string::npos);
}

struct BadScenarioRow {
  const char* text;
  const char* message;
};

class BadScenario : public ::testing::TestWithParam<BadScenarioRow> {};

TEST_P(BadScenario, IsAnErrorNamingFileLineAndKey) {
  try {
    zorsim::loadScenarioText(GetParam().text, "bad.toml", ".");
    FAIL() << "accepted";
  } catch (const zorsim::ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, BadScenario,
    ::testing::Values(
        BadScenarioRow{"[machine]\nmodules = 2\nmodulez = 3\n", "bad.toml:3: machine.modulez: unknown key"},
        BadScenarioRow{"[machine]\nbiRail = \"one\"\n", "bad.toml:2: machine.biRail: expected an integer"},
        BadScenarioRow{"[[call]]\nop = \"routeIo\"\nbase = 0x10000\nlimit = 0\ndm = 0\nds = 0\n",
                       "bad.toml:3: call[0].base: value 65536 out of range 0 to 65535"},
        BadScenarioRow{"[[call]]\nop = \"fly\"\n", "bad.toml:2: call[0].op: unknown operation 'fly'"},
        BadScenarioRow{"[[call]]\nop = \"directRead\"\nmodule = 1\n",
                       "bad.toml:1: call[0].index: missing argument of directRead"},
        BadScenarioRow{"[machine]\n\n[[dimm]]\nrail = 1\n", "bad.toml:3: dimm[0].spd: missing (the SPD file)"},
        BadScenarioRow{"[[dimm]]\nrail = 2\nspd = \"x.bin\"\n",
                       "bad.toml:2: dimm[0].rail: value 2 out of range 0 to 1"},
        BadScenarioRow{"[[chip]]\nmodule = 1\nchipID = 5\n", "bad.toml:3: chip[0].chipID: unknown key"},
        BadScenarioRow{"colour = true\n", "bad.toml:1: colour: unknown key"},
        BadScenarioRow{"[machine\n", "bad.toml:1: Error while parsing table header: expected ']', saw '\\n'"}));

TEST(Scenario, SetModuleInfoArgumentsMayComeFromTheMachine) {
  zorsim::Scenario s = zorsim::loadScenarioText("[[call]]\nop = \"setModuleInfo\"\nbiRail = 0\n", "s.toml", ".");
  ASSERT_TRUE(s.calls);
  EXPECT_EQ(s.calls->at(0).args.size(), 1u);
  EXPECT_EQ(s.calls->at(0).args.at("biRail"), 0u);
}

}  // namespace
