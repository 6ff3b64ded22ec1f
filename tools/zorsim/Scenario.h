// A scenario: one platform and what its code does. TOML, read strictly:
// unknown keys, wrong types and out-of-range numbers are errors that name
// the file, the line and the key.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Simulator/Platform.h"

namespace zorsim {

struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The machine as the platform code describes it to setModuleInfo.
struct MachineInfo {
  uint32_t modules = 2;
  uint32_t localModule = 0;
  uint32_t biRail = 1;
  uint32_t cmm2s = 0;
  uint32_t buriedCA = 0;
  uint32_t physicalModule = 0;
  uint32_t cpbMask = 0x3;
};

struct Dimm {
  uint32_t rail = 0;
  uint32_t channel = 0;
  std::string file;
  std::vector<uint8_t> spd;
};

// One call the platform code makes: an operation (a PPI slot, or a step such
// as stageSpd) with its arguments by name.
struct Call {
  std::string op;
  std::map<std::string, uint64_t> args;
  std::string where;  // "file:line", for messages
};

struct PeiSettings {
  uint32_t hobBytes = 64 * 1024;
  uint32_t failAllocatePool = 0;  // that many AllocatePool calls fail
  uint32_t failInstallPpi = 0;    // that many InstallPpi calls fail
};

// The PCD database of [pcd]: absent, or holding the declared tokens.
struct PcdSettings {
  bool absent = false;  // no EFI_PEI_PCD_PPI is installed
  // Without [[pcd.token]]: the two event-vault PCDs (standardPcdTokens).
  std::optional<std::vector<sim::PcdToken>> tokens;
};

struct Scenario {
  std::string name;  // the file, or "built-in default"
  MachineInfo machine;
  std::vector<Dimm> dimms;
  std::map<std::pair<uint32_t, uint32_t>, sim::zor::ChipConfig> chips;  // (module, rail)
  PeiSettings pei;
  uint64_t hangLimit = 2'000'000;
  sim::RtcConfig rtc;
  PcdSettings pcd;
  std::optional<std::vector<Call>> calls;
};

Scenario loadScenarioFile(const std::string& path);
// `name` names the text in messages; SPD files are found relative to baseDir.
Scenario loadScenarioText(const std::string& text, const std::string& name, const std::string& baseDir);
// The built-in default: a two-module machine, both rails, four good RDIMMs,
// every link up.
Scenario defaultScenario();

sim::Platform::Config platformConfig(const Scenario& scenario);

// What a platform's PCD database holds for the event-log storage policy:
// PcdEventVaultBase (0xA030B) and PcdEventVaultSize (0xA030C), dynamic-ex
// UINT32 in the event-vault token space, both 0 by default.
std::vector<sim::PcdToken> standardPcdTokens();

}  // namespace zorsim
