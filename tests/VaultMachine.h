// A simulated machine with the PCD database installed and EventVaultPei and
// VaultPolicyPei dispatched, in one line:
//   VaultMachine m{rtcStart(2024, 3, 15, 13, 45, 30), pcdAbsent()};
//   EXPECT_EQ(m.store(8, 0x1122334455667788), EFI_SUCCESS);
// Trace records are kept (and cleared after dispatch), so a test can read
// the port traffic of a call.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Simulator/Platform.h"

extern "C" {
#include <PiPei.h>
#include <Ppi/EventVaultPpi.h>
#include <Ppi/PiPcd.h>
EFI_STATUS EFIAPI EventVaultPeiEntryPoint(EFI_PEI_FILE_HANDLE, CONST EFI_PEI_SERVICES**);
EFI_STATUS EFIAPI VaultPolicyPeiEntryPoint(EFI_PEI_FILE_HANDLE, CONST EFI_PEI_SERVICES**);
}

namespace test {

// The documented GUIDs, written out here rather than taken from the build.
constexpr EFI_GUID kEventVaultPpiGuid = {0xAC7F30C2, 0xF774, 0x47D3, {0x8C, 0x24, 0xE9, 0xC9, 0x94, 0x5F, 0x3C, 0x49}};
constexpr EFI_GUID kEventVaultHobGuid = {0x5106BA40, 0x59A7, 0x4BF6, {0x97, 0xFC, 0xA7, 0xDE, 0x16, 0x75, 0xCB, 0x86}};
constexpr EFI_GUID kTokenSpaceGuid = {0xD1B99B46, 0xE509, 0x4EDA, {0x89, 0xAC, 0x7A, 0x67, 0x38, 0xBB, 0x82, 0x1A}};
constexpr EFI_GUID kPcdPpiGuid = {0x01F34D25, 0x4DE2, 0x23AD, {0x3F, 0xF3, 0x36, 0x35, 0x3F, 0xF3, 0x23, 0xF1}};

inline bool sameGuid(const EFI_GUID& a, const EFI_GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline sim::PcdToken token(uint32_t number, uint32_t size = 4, uint64_t value = 0, bool rejectFirstSet = false) {
  sim::PcdToken t;
  t.space = kTokenSpaceGuid;
  t.number = number;
  t.size = size;
  t.value = value;
  t.rejectFirstSet = rejectFirstSet;
  return t;
}

struct VaultConfig {
  sim::Platform::Config platform;
  bool pcdAbsent = false;
  std::vector<std::function<void(sim::Platform&)>> beforeDispatch;
};

// Options of the machine, composable.
struct VaultOption {
  std::function<void(VaultConfig&)> apply;
};
inline VaultOption rtcStart(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
                            uint32_t second) {
  return {[=](VaultConfig& c) {
    auto& r = c.platform.rtc;
    r.year = year, r.month = month, r.day = day, r.hour = hour, r.minute = minute, r.second = second;
  }};
}
inline VaultOption rtc(std::function<void(sim::RtcConfig&)> change) {
  return {[change](VaultConfig& c) { change(c.platform.rtc); }};
}
inline VaultOption pcdTokens(std::vector<sim::PcdToken> tokens) {
  return {[tokens](VaultConfig& c) { c.platform.pcd.tokens = tokens; }};
}
inline VaultOption pcdAbsent() {
  return {[](VaultConfig& c) { c.pcdAbsent = true; }};
}
inline VaultOption hobMemory(size_t bytes) {
  return {[bytes](VaultConfig& c) { c.platform.hobBytes = bytes; }};
}
inline VaultOption before(std::function<void(sim::Platform&)> step) {
  return {[step](VaultConfig& c) { c.beforeDispatch.push_back(step); }};
}

// One GUID extension HOB as it lies in the list.
struct RawHob {
  uint16_t type;
  uint16_t length;
  uint32_t reserved;
  EFI_GUID name;
  std::vector<uint8_t> data;
};

class VaultMachine {
 public:
  VaultMachine(std::initializer_list<VaultOption> options = {}) : config_(configure(options)), platform(config_.platform) {
    platform.trace().setRecording(true);
    if (!config_.pcdAbsent) platform.pcd().install(platform.pei());
    for (auto& step : config_.beforeDispatch) step(platform);
    vaultStatus = platform.dispatch("EventVaultPei", EventVaultPeiEntryPoint, &vaultOutcome);
    policyStatus = platform.dispatch("VaultPolicyPei", VaultPolicyPeiEntryPoint, &policyOutcome);
    vault = static_cast<EVENT_VAULT_PPI*>(platform.pei().locate(kEventVaultPpiGuid));
    dispatchLog = platform.debugLog();
    clear();
  }

  // StoreEvent through the PPI, as platform code calls it.
  EFI_STATUS store(uint8_t type, uint64_t data = 0) {
    EFI_STATUS status = EFI_NOT_READY;
    auto outcome = platform.run("StoreEvent", [&] { status = vault->StoreEvent(platform.pei().services(), vault, type, data); });
    EXPECT_TRUE(outcome.completed) << outcome.report;
    return status;
  }

  // Every GUID extension HOB in list order.
  std::vector<RawHob> guidHobs() {
    std::vector<RawHob> hobs;
    auto* p = reinterpret_cast<uint8_t*>(platform.pei().hobList());
    for (;;) {
      auto* h = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(p);
      if (h->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST) break;
      if (h->HobType == EFI_HOB_TYPE_GUID_EXTENSION) {
        RawHob hob{h->HobType, h->HobLength, h->Reserved, reinterpret_cast<EFI_HOB_GUID_TYPE*>(h)->Name, {}};
        hob.data.assign(p + sizeof(EFI_HOB_GUID_TYPE), p + h->HobLength);
        hobs.push_back(hob);
      }
      p += h->HobLength;
    }
    return hobs;
  }
  std::vector<RawHob> eventHobs() {
    std::vector<RawHob> events;
    for (auto& h : guidHobs())
      if (sameGuid(h.name, kEventVaultHobGuid)) events.push_back(h);
    return events;
  }

  // Port accesses and interrupt-flag changes recorded since the last clear,
  // in the trace's text form ("O 0070 0B", "# interrupts off").
  std::vector<std::string> portTraffic() const {
    std::vector<std::string> lines;
    for (const auto& r : platform.trace().records()) {
      if (r.op == 'I' || r.op == 'O' || r.op == 'D') {
        sim::TraceRecord plain = r;
        plain.note.clear();
        lines.push_back(sim::Trace::format(plain));
      } else if (r.op == '#' && r.note.rfind("interrupts", 0) == 0) {
        lines.push_back("# " + r.note);
      }
    }
    for (auto& l : lines)
      while (!l.empty() && l.back() == ' ') l.pop_back();
    return lines;
  }

  // The CMOS register behind each read of the data port, in order.
  std::vector<uint8_t> cmosReads() const {
    std::vector<uint8_t> reads;
    uint8_t index = 0;
    for (const auto& r : platform.trace().records()) {
      if (r.op == 'O' && r.address == 0x70) index = static_cast<uint8_t>(r.value & 0x7F);
      if (r.op == 'I' && r.address == 0x71) reads.push_back(index);
    }
    return reads;
  }

  size_t delays(uint64_t us) const {
    size_t n = 0;
    for (const auto& r : platform.trace().records()) n += r.op == 'D' && r.value == us;
    return n;
  }

  void clear() {
    platform.trace().clear();
    platform.clearDebug();
  }
  std::string log() const { return platform.debugLog(); }

  EFI_PEI_PCD_PPI* pcdPpi() { return static_cast<EFI_PEI_PCD_PPI*>(platform.pei().locate(kPcdPpiGuid)); }

 private:
  static VaultConfig configure(std::initializer_list<VaultOption> options) {
    VaultConfig config;
    config.platform.pcd.tokens = {token(0xA030B), token(0xA030C)};
    config.platform.rtc.year = 2024, config.platform.rtc.month = 3, config.platform.rtc.day = 15;
    config.platform.rtc.hour = 13, config.platform.rtc.minute = 45, config.platform.rtc.second = 30;
    for (const auto& o : options) o.apply(config);
    return config;
  }

  VaultConfig config_;

 public:
  sim::Platform platform;
  EFI_STATUS vaultStatus = EFI_NOT_READY;
  EFI_STATUS policyStatus = EFI_NOT_READY;
  sim::Platform::Outcome vaultOutcome;
  sim::Platform::Outcome policyOutcome;
  EVENT_VAULT_PPI* vault = nullptr;
  std::string dispatchLog;  // debug text of the two dispatches
};

}  // namespace test
