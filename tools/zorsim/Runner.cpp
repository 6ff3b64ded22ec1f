#include "Runner.h"

#include <cstdio>

#include "Calls.h"

extern "C" {
EFI_STATUS EFIAPI ZorPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES** PeiServices);
}

namespace zorsim {
namespace {

struct Module {
  const char* name;
  EFI_PEIM_ENTRY_POINT2 entry;
};

// The modules in dispatch order.
const Module kModules[] = {
    {"ZorPei", ZorPeiEntryPoint},
};

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string statusText(EFI_STATUS status) {
  switch (status) {
    case EFI_SUCCESS: return "EFI_SUCCESS";
    case EFI_INVALID_PARAMETER: return "EFI_INVALID_PARAMETER";
    case EFI_UNSUPPORTED: return "EFI_UNSUPPORTED";
    case EFI_OUT_OF_RESOURCES: return "EFI_OUT_OF_RESOURCES";
    case EFI_NOT_FOUND: return "EFI_NOT_FOUND";
    default: return hex(status);
  }
}

}  // namespace

std::string formatCall(const Call& call) {
  std::string text = call.op + "(";
  bool first = true;
  if (const OpSpec* spec = findOperation(call.op)) {
    for (const ArgSpec& arg : spec->args) {
      auto it = call.args.find(arg.name);
      if (it == call.args.end()) continue;
      text += (first ? "" : ", ") + std::string(arg.name) + " " + hex(it->second);
      first = false;
    }
  }
  return text + ")";
}

Runner::Runner(const Scenario& scenario, RunOptions options, std::ostream& out)
    : scenario_(scenario), options_(std::move(options)), out_(out) {
  platform_ = std::make_unique<sim::Platform>(platformConfig(scenario_));
  platform_->bus().setHangLimit(scenario_.hangLimit);
  platform_->pei().failAllocatePool(scenario_.pei.failAllocatePool);
  platform_->pei().failInstallPpi(scenario_.pei.failInstallPpi);
  if (!options_.tracePath.empty()) {
    trace_.open(options_.tracePath);
    if (!trace_) throw ScenarioError(options_.tracePath + ": cannot write the trace");
    platform_->trace().setStream(&trace_);
  }
  platform_->trace().setRecording(options_.recordTrace);
  platform_->setDebugEcho([this](const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i)
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) shown += text[i];
    if (!options_.colour) shown = sim::stripColour(shown);
    if (shown.empty()) return;
    out_ << shown;
    atLineStart_ = shown.back() == '\n';
  });
  summary_["scenario"] = scenario_.name;
  summary_["dispatch"] = nlohmann::json::array();
  summary_["calls"] = nlohmann::json::array();
  summary_["halt"] = nullptr;
  summary_["hang"] = nullptr;
}

Runner::~Runner() = default;

void Runner::say(const std::string& line) {
  // A print without a line feed is continued by the next firmware print;
  // runner lines start on a line of their own.
  if (!atLineStart_) out_ << '\n';
  out_ << line << '\n';
  atLineStart_ = true;
}

void Runner::dispatchModules() {
  for (const Module& module : kModules) {
    sim::Platform::Outcome outcome;
    EFI_STATUS status = platform_->dispatch(module.name, module.entry, &outcome);
    nlohmann::json entry = {{"module", module.name}};
    if (outcome.completed) {
      say(std::string("== dispatch ") + module.name + " -> " + statusText(status));
      entry["status"] = status;
    } else {
      say(std::string("!! dispatch ") + module.name + ": " + outcome.report);
      entry["status"] = nullptr;
    }
    summary_["dispatch"].push_back(entry);
  }
  void* ppi = platform_->pei().locate(gTarvo3ZorPpiGuid);
  zor_ = static_cast<TARVO3_ZOR_PPI*>(ppi);
}

void Runner::makeCall(const Call& call) {
  const OpSpec* spec = findOperation(call.op);
  nlohmann::json entry = {{"op", call.op}, {"args", call.args}, {"result", nullptr}};
  std::optional<uint64_t> result;
  sim::Platform::Outcome outcome;
  if (!zor_ && std::string(call.op) != "StoreEvent") {
    outcome.refused = true;
    outcome.report = "TARVO3_ZOR_PPI is not installed";
  } else {
    outcome = platform_->run(formatCall(call), [&] { result = spec->invoke(*this, call); });
  }
  if (outcome.completed) {
    say("== " + formatCall(call) + (result ? " = " + hex(*result) : ""));
    if (result) entry["result"] = *result;
    entry["completed"] = true;
  } else if (outcome.refused) {
    say("-- " + formatCall(call) + " not made: " + outcome.report);
    entry["completed"] = false;
    entry["refused"] = outcome.report;
  } else {
    bool halt = platform_->stopKind() == sim::MachineStopped::Kind::Halt;
    say(std::string("!! ") + (halt ? "halted" : "hung") + " in " + formatCall(call) + ": " + outcome.report);
    entry["completed"] = false;
    summary_[halt ? "halt" : "hang"] = {{"op", call.op}, {"report", outcome.report}};
  }
  summary_["calls"].push_back(entry);
}

void Runner::writeSummary() {
  if (options_.jsonPath.empty()) return;
  std::ofstream json(options_.jsonPath);
  if (!json) throw ScenarioError(options_.jsonPath + ": cannot write the summary");
  json << summary_.dump(2) << '\n';
}

int Runner::run() {
  say("== scenario " + scenario_.name);
  dispatchModules();
  std::vector<Call> calls = scenario_.calls ? *scenario_.calls : standardCalls(scenario_);
  for (const Call& call : calls) makeCall(call);
  summary_["stopped"] = platform_->stopped();
  writeSummary();
  if (platform_->stopped()) {
    say(std::string("== run ended: machine ") +
        (platform_->stopKind() == sim::MachineStopped::Kind::Halt ? "halted: " : "hung: ") +
        platform_->stopReport());
    return 1;
  }
  say("== run ended normally");
  return 0;
}

}  // namespace zorsim
