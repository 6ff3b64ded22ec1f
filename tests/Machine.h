// A simulated machine with ZorPei dispatched, in one line:
//   Machine m{modules(2), rails(2)};
//   m.zor->setModuleInfo(m.zor, ...);   or   m.run([&] { ... });
// Trace records are kept, so a test can compare the register traffic.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Simulator/Platform.h"
#include "Simulator/Zor/Ddr.h"
#include "ZorPei.h"

extern "C" EFI_STATUS EFIAPI ZorPeiEntryPoint(EFI_PEI_FILE_HANDLE, CONST EFI_PEI_SERVICES**);

namespace test {

// Options of the machine, composable: Machine m{modules(4), rails(1)}.
struct Option {
  std::function<void(sim::Platform::Config&)> apply;
};
inline Option modules(uint32_t n) {
  return {[n](sim::Platform::Config& c) { c.zor.modules = n; }};
}
inline Option rails(uint32_t n) {
  return {[n](sim::Platform::Config& c) { c.zor.rails = n; }};
}
inline Option chipId(uint32_t module, uint32_t rail, uint32_t id) {
  return {[=](sim::Platform::Config& c) { c.zor.chips[{module, rail}].chipId = id; }};
}
// A DDRC or PUB register of a channel that reads back chosen values: each
// step's value for its count of reads, the last one holding.
inline Option ddrReads(uint32_t module, uint32_t rail, uint32_t chan, sim::zor::DdrSpace space, uint32_t reg,
                       sim::zor::ReadScript reads) {
  return {[=](sim::Platform::Config& c) {
    c.zor.chips[{module, rail}].ddrReadbacks.push_back({chan, space, reg, reads});
  }};
}
inline Option hobBytes(size_t bytes) {
  return {[bytes](sim::Platform::Config& c) { c.hobBytes = bytes; }};
}

struct Access {
  char op;
  uint64_t address;
  uint64_t value;
  bool operator==(const Access&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Access& a) {
  return out << a.op << ' ' << std::hex << std::uppercase << a.address << ' ' << a.value << std::dec;
}

class Machine {
 public:
  Machine(std::initializer_list<Option> options = {}) : platform(configure(options)) {
    platform.trace().setRecording(true);
    sim::Platform::Outcome outcome;
    status = platform.dispatch("ZorPei", ZorPeiEntryPoint, &outcome);
    if (EFI_ERROR(status) || !outcome.completed) return;
    zor = static_cast<TARVO3_ZOR_PPI*>(platform.pei().locate(gTarvo3ZorPpiGuid));
    if (zor) data = ZOR_DATA_FROM_PPI(zor);
    platform.trace().clear();
    platform.clearDebug();
  }

  // Runs a firmware call; a halt or hang ends it (see outcome.report).
  sim::Platform::Outcome run(const std::function<void()>& call) { return platform.run("test call", call); }

  // MMIO accesses recorded since the last clear, without annotations.
  std::vector<Access> accesses() const {
    std::vector<Access> list;
    for (const auto& r : platform.trace().records())
      if (r.op == 'R' || r.op == 'W') list.push_back({r.op, r.address, r.value});
    return list;
  }
  std::vector<Access> writes() const {
    std::vector<Access> list;
    for (const auto& a : accesses())
      if (a.op == 'W') list.push_back(a);
    return list;
  }
  void clear() {
    platform.trace().clear();
    platform.clearDebug();
  }
  std::string log() const { return platform.debugLog(); }

  // setModuleInfo with a topology; cpbMask defaults to the lowest bits.
  // The DDR channel model of a chip: its DDRC and PUB register spaces.
  sim::zor::DdrChannel& ddr(uint32_t module, uint32_t rail, uint32_t chan) {
    return sim::zor::ddrChannel(platform.zor().chip(module, rail), chan);
  }

  // Stages an SPD image through setSpdByte, byte 0 first.
  void stageSpd(uint32_t rail, uint32_t chan, const std::vector<uint8_t>& spd) {
    for (size_t i = 0; i < spd.size(); ++i) zor->setSpdByte(zor, rail, chan, static_cast<UINT16>(i), spd[i]);
  }

  void setModuleInfo(uint32_t modules, uint32_t localModule, uint32_t biRail, uint32_t cpbMask = 0xFFFF) {
    zor->setModuleInfo(zor, modules, localModule, biRail, 0, 0, 0, cpbMask);
  }

  sim::Platform platform;
  EFI_STATUS status = EFI_NOT_READY;
  TARVO3_ZOR_PPI* zor = nullptr;
  ZOR_DATA* data = nullptr;

 private:
  static sim::Platform::Config configure(std::initializer_list<Option> options) {
    sim::Platform::Config config;
    for (const auto& o : options) o.apply(config);
    return config;
  }
};

}  // namespace test
