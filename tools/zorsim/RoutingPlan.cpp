#include "RoutingPlan.h"

#include <algorithm>

namespace zorsim {
namespace {

constexpr uint64_t kMB = 1ull << 20;
constexpr uint64_t kGB = 1ull << 30;

constexpr uint64_t kMmcfgBase = 0x80000000;
constexpr uint64_t kMmcfgBuses = 256;
constexpr uint64_t kMmioLBase = 0x90000000;
constexpr uint64_t kMmioLEnd = 0xF8000000;  // first byte after
constexpr uint64_t kMmioHBase = 1ull << 40;
constexpr uint64_t kMmioHSize = 64 * kGB;
constexpr uint64_t kIoSpace = 0x10000;
constexpr uint64_t kApicIdsPerSocket = 64;
constexpr uint64_t kLowRegion = 2 * kGB;
constexpr uint64_t kDramPerSocket = 16 * kGB;
constexpr uint64_t kAepBase = 768 * kGB;
constexpr uint64_t kAepSize = 1 * kGB;
constexpr uint32_t kAepMaxModules = 8;
constexpr uint32_t kSockets = 2;

Call route(const char* op, uint64_t base, uint64_t limit, uint32_t dm, uint32_t ds) {
  return {op, {{"base", base}, {"limit", limit}, {"dm", dm}, {"ds", ds}}, "routing plan"};
}

}  // namespace

std::vector<Call> routingPlan(const MachineInfo& machine) {
  uint32_t modules = std::clamp<uint32_t>(machine.modules, 1, 16);
  uint32_t sockets = modules * kSockets;
  uint64_t mmioL = (kMmioLEnd - kMmioLBase) / kMB / sockets * kMB;
  uint64_t io = kIoSpace / 1024 / sockets * 1024;
  uint64_t buses = kMmcfgBuses / sockets;

  std::vector<Call> calls;
  auto forEachSocket = [&](auto body) {
    for (uint32_t m = 0; m < modules; ++m)
      for (uint32_t s = 0; s < kSockets; ++s) body(m, s, m * kSockets + s);
  };
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    calls.push_back(route("routeMmioL", kMmioLBase + i * mmioL, kMmioLBase + (i + 1) * mmioL - 1, m, s));
  });
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    calls.push_back(route("routeMmioH", kMmioHBase + i * kMmioHSize, kMmioHBase + (i + 1) * kMmioHSize - 1, m, s));
  });
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    calls.push_back(route("routeIo", i * io, (i + 1) * io - 1, m, s));
  });
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    calls.push_back(route("routeMmcfg", kMmcfgBase + i * buses * kMB, kMmcfgBase + (i + 1) * buses * kMB - 1, m, s));
  });
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    calls.push_back(route("routeX2apic", i * kApicIdsPerSocket, (i + 1) * kApicIdsPerSocket - 1, m, s));
  });
  if (modules <= kAepMaxModules) {
    Call aep = route("routeDram", kAepBase, kAepBase + kAepSize - 1, modules - 1, 1);
    aep.args["type"] = 2;
    calls.push_back(aep);
  }
  forEachSocket([&](uint32_t m, uint32_t s, uint64_t i) {
    uint64_t base = i == 0 ? 0 : kLowRegion + i * kDramPerSocket;
    Call dram = route("routeDram", base, kLowRegion + (i + 1) * kDramPerSocket - 1, m, s);
    dram.args["type"] = 0;
    calls.push_back(dram);
  });
  calls.push_back({"lateInit", {}, "routing plan"});
  return calls;
}

}  // namespace zorsim
