#include "AddressMap.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <optional>

#include "Runner.h"
#include "Simulator/Zor/Routing.h"
#include "ZorPei.h"

namespace zorsim {
namespace {

using sim::zor::RouteTable;
using sim::zor::RoutingView;
using sim::zor::Target;
namespace routing = sim::zor::routing;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char text[256];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

unsigned long long ull(uint64_t v) { return static_cast<unsigned long long>(v); }

std::string owner(const std::optional<Target>& target) { return target ? toString(*target) : "unset"; }

// Runs of equal entries of a routing table: body(first, last, owner).
void forEachRun(const RoutingView& view, RouteTable table, uint32_t entries,
                const std::function<void(uint32_t, uint32_t, const std::optional<Target>&)>& body) {
  uint32_t first = 0;
  std::optional<Target> current = view.tableEntry(table, 0);
  for (uint32_t i = 1; i <= entries; ++i) {
    std::optional<Target> next = i < entries ? view.tableEntry(table, i) : std::nullopt;
    if (i == entries || next != current) {
      body(first, i - 1, current);
      first = i;
      current = next;
    }
  }
}

std::string dramRules(const RoutingView& view, uint32_t pe) {
  std::string text;
  for (uint32_t k = 0; k < routing::kDramRules; ++k) {
    sim::zor::DramRule rule = view.dramRule(pe, k);
    if (!rule.valid) continue;
    // Rules 16 to 31 serve the AEP control regions of modules 0 to 7 and
    // the regular DRAM of modules 8 to 15; the target tells which.
    bool aep = k == 16 + rule.target.byte();
    text += format("  rule %-2u  %012llX-%012llX  %s%s\n", k, ull(rule.base), ull(rule.limit),
                   toString(rule.target).c_str(), aep ? " (AEP control region)" : "");
  }
  return text.empty() ? "  none valid\n" : text;
}

std::string lateInitLine(const RoutingView& view, uint32_t pe) {
  return format("tag mode %u, CMM2S %u, CONFIG %08X, presence mask %08X", view.tagMode(pe),
                (view.tagModeRegister(pe) >> 2) & 1, view.peConfig(pe), view.presenceMask(pe));
}

}  // namespace

std::string addressMapText(const sim::zor::Chip& chip) {
  RoutingView view(chip);
  std::string text;

  text += "MMIO-L table (1 MB entries below 4 GB):\n";
  forEachRun(view, RouteTable::MmioL, routing::kMmioLEntries,
             [&](uint32_t first, uint32_t last, const std::optional<Target>& t) {
               text += format("  %08llX-%08llX  %s\n", ull(uint64_t{first} << 20),
                              ull((uint64_t{last} << 20) | 0xFFFFF), owner(t).c_str());
             });

  text += "MMIO-H rules:\n";
  bool any = false;
  for (uint32_t k = 0; k < routing::kMmioHRules; ++k) {
    sim::zor::MmioHRule rule = view.mmioHRule(k);
    if (!rule.valid) continue;
    any = true;
    text += format("  rule %-2u  %012llX-%012llX  %s\n", k, ull(rule.base), ull(rule.limit),
                   toString(rule.target).c_str());
  }
  if (!any) text += "  none valid\n";

  std::string rules;
  uint32_t inUse = 0;
  for (uint32_t r = 0; r < routing::kLocalMmioRules; ++r) {
    sim::zor::LocalMmioRule rule = view.localMmioRule(r);
    if (!rule.valid) continue;
    ++inUse;
    rules += format("  rule %u  %012llX-%012llX  socket %u\n", r, ull(rule.base), ull(rule.limit), rule.socket);
  }
  text += format("Local IOA MMIO rules (%u of %u valid):\n", inUse, routing::kLocalMmioRules) + rules;

  text += "PCI IO table (1 KB entries):\n";
  forEachRun(view, RouteTable::PciIo, routing::kPciIoEntries,
             [&](uint32_t first, uint32_t last, const std::optional<Target>& t) {
               text += format("  %04X-%04X  %s\n", first << 10, (last << 10) | 0x3FF, owner(t).c_str());
             });

  text += "Local IO and MMCFG decode:\n";
  for (uint32_t s = 0; s < routing::kLocalSockets; ++s) {
    sim::zor::IoDecode io = view.localIo(s);
    sim::zor::MmcfgDecode cfg = view.localMmcfg(s);
    text += format("  socket %u  IO ", s);
    text += io.valid ? format("%04X-%04X (socket field %u)", io.base, io.limit, io.socket) : std::string("unset");
    text += ", MMCFG ";
    text += cfg.valid ? format("buses %02X-%02X (socket field %u)", cfg.firstBus, cfg.lastBus, cfg.socket)
                      : std::string("unset");
    text += "\n";
  }

  text += "x2APIC table (groups of 32 APIC IDs):\n";
  forEachRun(view, RouteTable::X2apic, routing::kX2apicEntries,
             [&](uint32_t first, uint32_t last, const std::optional<Target>& t) {
               text += format("  %03X-%03X  groups %u-%u  %s\n", first << 5, (last << 5) | 0x1F, first, last,
                              owner(t).c_str());
             });
  if (chip.written(routing::kGidnidMap)) {
    text += format("GIDNID map %08X: node of groups g with g & 7 = 0..7:", view.gidnidMap());
    for (uint32_t f = 0; f < 8; ++f) {
      uint32_t node = view.gidnidNode(f);
      text += node == 7 ? std::string(" -") : format(" %u", node);
    }
    text += "\n";
  } else {
    text += "GIDNID map not written\n";
  }

  std::string pe0 = dramRules(view, 0);
  std::string pe1 = dramRules(view, 1);
  if (pe0 == pe1) {
    text += "DRAM rules (PE0 and PE1 alike):\n" + pe0;
  } else {
    text += "DRAM rules of PE0:\n" + pe0 + "DRAM rules of PE1:\n" + pe1;
  }

  if (!view.lateInitWritten()) {
    text += "Late init: not run\n";
  } else if (lateInitLine(view, 0) == lateInitLine(view, 1)) {
    text += "Late init (PE0 and PE1 alike): " + lateInitLine(view, 0) + "\n";
  } else {
    text += "Late init: PE0 " + lateInitLine(view, 0) + "; PE1 " + lateInitLine(view, 1) + "\n";
  }
  return text;
}

void printAddressMap(std::ostream& out, const sim::zor::ZorMachine& machine, uint32_t module, uint32_t lastRail) {
  std::string rail0;
  for (uint32_t rail = 0; rail <= lastRail; ++rail) {
    const sim::zor::Chip* chip = machine.find(module, rail);
    if (!chip) {
      out << "== address map of M" << module << " rail " << rail << ": no such ZOR in this machine\n";
      continue;
    }
    std::string text = addressMapText(*chip);
    if (rail > 0 && text == rail0) {
      out << "== address map of M" << module << " rail " << rail << ": the same as rail 0\n";
      continue;
    }
    if (rail == 0) rail0 = text;
    out << "== address map of M" << module << " rail " << rail << "\n" << text;
  }
}

void printLocalAddressMap(Runner& runner, std::ostream& out) {
  uint32_t localModule = runner.scenario().machine.localModule;
  uint32_t biRail = runner.scenario().machine.biRail;
  if (TARVO3_ZOR_PPI* ppi = runner.zor()) {
    const ZOR_DATA* zorData = ZOR_DATA_FROM_PPI(ppi);
    localModule = zorData->localModule;
    biRail = zorData->biRail;
  }
  const sim::zor::ZorMachine& machine = runner.platform().zor();
  uint32_t lastRail = std::min(biRail, machine.rails() - 1);
  printAddressMap(out, machine, localModule, lastRail);
}

}  // namespace zorsim
