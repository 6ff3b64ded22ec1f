#include "Runner.h"

#include <cstdio>

#include "Calls.h"

extern "C" {
EFI_STATUS EFIAPI ZorPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES** PeiServices);
EFI_STATUS EFIAPI EventVaultPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES** PeiServices);
EFI_STATUS EFIAPI VaultPolicyPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES** PeiServices);
#include <Guid/EventVaultHob.h>
#include <Guid/EventVaultTokenSpace.h>
}

namespace zorsim {
namespace {

struct Module {
  const char* name;
  EFI_PEIM_ENTRY_POINT2 entry;
};

// The modules in dispatch order. The PCD database (EFI_PEI_PCD_PPI) is
// installed before any of them, as the PEI core dispatches the PCD PEIM
// first; VaultPolicyPei depends on it. The three modules do not call each
// other, so their own order is free: ZorPei keeps its place first.
const Module kModules[] = {
    {"ZorPei", ZorPeiEntryPoint},
    {"EventVaultPei", EventVaultPeiEntryPoint},
    {"VaultPolicyPei", VaultPolicyPeiEntryPoint},
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
  if (const OpSpec* operation = findOperation(call.op)) {
    for (const ArgSpec& arg : operation->args) {
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
  if (scenario_.pcd.absent) {
    say("== PCD database absent: no EFI_PEI_PCD_PPI");
    summary_["pcdDatabase"] = "absent";
  } else {
    EFI_STATUS status = platform_->pcd().install(platform_->pei());
    size_t tokens = platformConfig(scenario_).pcd.tokens.size();
    say("== PCD database: EFI_PEI_PCD_PPI " +
        (EFI_ERROR(status) ? "not installed: " + statusText(status)
                           : "installed, " + std::to_string(tokens) + (tokens == 1 ? " token" : " tokens")));
    summary_["pcdDatabase"] = EFI_ERROR(status) ? "absent" : "installed";
  }
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
  vault_ = static_cast<EVENT_VAULT_PPI*>(platform_->pei().locate(gEventVaultPpiGuid));
}

void Runner::makeCall(const Call& call) {
  const OpSpec* operation = findOperation(call.op);
  nlohmann::json entry = {{"op", call.op}, {"args", call.args}, {"result", nullptr}};
  std::optional<uint64_t> result;
  sim::Platform::Outcome outcome;
  if (!zor_ && std::string(call.op) != "StoreEvent") {
    outcome.refused = true;
    outcome.report = "TARVO3_ZOR_PPI is not installed";
  } else if (!vault_ && std::string(call.op) == "StoreEvent") {
    outcome.refused = true;
    outcome.report = "EVENT_VAULT_PPI is not installed";
  } else {
    outcome = platform_->run(formatCall(call), [&] { result = operation->invoke(*this, call); });
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

void Runner::reportEvents() {
  // What a later phase finds: every GUID HOB named gEventVaultHobGuid, in
  // list order, decoded as EVENT_VAULT_RECORD.
  auto hobs = platform_->pei().guidHobs(gEventVaultHobGuid);
  nlohmann::json events = nlohmann::json::array();
  say("== event HOBs: " + std::to_string(hobs.size()));
  for (size_t i = 0; i < hobs.size(); ++i) {
    const std::vector<uint8_t>& d = hobs[i];
    std::string line = "== event " + std::to_string(i + 1) + ":";
    if (d.size() < EVENT_VAULT_RECORD_LENGTH) {
      say(line + " " + std::to_string(d.size()) + " bytes, too short for a record");
      events.push_back({{"bytes", d}});
      continue;
    }
    char text[96];
    std::snprintf(text, sizeof text, " type 0x%02X, length %u, time %02X %02X %02X %02X %02X %02X", d[0], d[1], d[2],
                  d[3], d[4], d[5], d[6], d[7]);
    nlohmann::json event = {{"type", d[0]}, {"length", d[1]}, {"time", {d[2], d[3], d[4], d[5], d[6], d[7]}}};
    line += text;
    if (d[0] == EVENT_VAULT_TYPE_WITH_DATA && d.size() >= EVENT_VAULT_RECORD_LENGTH_WITH_DATA) {
      uint64_t data = 0;
      for (size_t b = 0; b < 8; ++b) data |= static_cast<uint64_t>(d[8 + b]) << (8 * b);
      line += ", data " + hex(data);
      event["data"] = data;
    }
    say(line);
    events.push_back(event);
  }
  summary_["events"] = events;
}

void Runner::reportPcds() {
  struct Pcd {
    const char* name;
    uint32_t token;
  };
  static const Pcd kPcds[] = {{"PcdEventVaultBase", EVENT_VAULT_PCD_BASE_TOKEN},
                              {"PcdEventVaultSize", EVENT_VAULT_PCD_SIZE_TOKEN}};
  nlohmann::json pcds = nlohmann::json::object();
  for (const Pcd& pcd : kPcds) {
    std::string line = "== PCD " + hex(pcd.token) + " (" + pcd.name + ")";
    std::optional<uint64_t> value;
    if (platform_->pcd().installed()) value = platform_->pcd().value(gEventVaultTokenSpaceGuid, pcd.token);
    if (value)
      say(line + " = " + hex(*value));
    else
      say(line + (platform_->pcd().installed() ? ": not in the PCD database" : ": no PCD database"));
    pcds[hex(pcd.token)] = value ? nlohmann::json(*value) : nlohmann::json(nullptr);
  }
  summary_["pcds"] = pcds;
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
  reportEvents();
  reportPcds();
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
