// Runs a scenario on the simulated platform: dispatches the modules, makes
// the scenario's calls in order, prints the firmware's debug text as it comes
// and each call's result, and gathers a summary.
#pragma once

#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "Scenario.h"

extern "C" {
#include <PiPei.h>
#include <Ppi/Tarvo3ZorPpi.h>
#include <Ppi/EventVaultPpi.h>
}

namespace zorsim {

struct RunOptions {
  bool colour = false;        // keep colour escapes in the output
  std::string tracePath;      // write the access trace here
  std::string jsonPath;       // write the summary here
  bool recordTrace = false;   // keep trace records in memory (tests)
};

class Runner {
 public:
  Runner(const Scenario& scenario, RunOptions options, std::ostream& out);
  ~Runner();

  // Runs everything; returns the exit status: 0 when the run ended normally,
  // 1 after a halt or hang.
  int run();

  sim::Platform& platform() { return *platform_; }
  const Scenario& scenario() const { return scenario_; }
  TARVO3_ZOR_PPI* zor() const { return zor_; }
  EVENT_VAULT_PPI* vault() const { return vault_; }
  nlohmann::json& summary() { return summary_; }

  // Prints a line of the runner's own (not firmware text).
  void say(const std::string& line);

 private:
  void dispatchModules();
  void makeCall(const Call& call);
  void writeSummary();
  // The event HOBs in the HOB list and the two event-vault PCDs, printed and
  // put in the summary ("events", "pcds").
  void reportEvents();
  void reportPcds();

  Scenario scenario_;
  RunOptions options_;
  std::ostream& out_;
  std::unique_ptr<sim::Platform> platform_;
  std::ofstream trace_;
  TARVO3_ZOR_PPI* zor_ = nullptr;
  EVENT_VAULT_PPI* vault_ = nullptr;
  nlohmann::json summary_;
  bool atLineStart_ = true;
};

std::string formatCall(const Call& call);

}  // namespace zorsim
