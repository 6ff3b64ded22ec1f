#include "Routing.h"

#include <cstdio>
#include <ostream>
#include <set>

namespace sim::zor {
namespace {

using namespace routing;

// Register names built at run time ("BASE17") need storage that outlives
// every chip: Reg keeps a plain pointer.
const char* keepName(const std::string& name) {
  static std::set<std::string> names;
  return names.insert(name).first->c_str();
}

std::vector<Reg> numbered(const char* prefix, uint32_t first, uint32_t count, uint32_t offset) {
  std::vector<Reg> regs;
  for (uint32_t i = 0; i < count; ++i)
    regs.push_back({offset + 4 * i, keepName(prefix + std::to_string(first + i))});
  return regs;
}

std::vector<Reg> concat(std::vector<std::vector<Reg>> parts) {
  std::vector<Reg> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Plain storage for part of a larger unit (IOA, a PE): names its registers
// and describes the others relative to the larger unit's start, so a trace
// reads "PE1+0x18C" whichever piece of PE 1 serves the offset.
class RegisterBlock : public Unit {
 public:
  RegisterBlock(std::string name, uint32_t origin, uint32_t base, uint32_t size, std::vector<Reg> regs)
      : Unit(std::move(name), base, size, std::move(regs)), origin_(origin) {}
  std::string describe(const Chip&, uint32_t offset) const override {
    if (const Reg* r = find(offset)) return name() + "." + r->name;
    char text[32];
    std::snprintf(text, sizeof text, "+0x%X", offset - origin_);
    return name() + text;
  }

 private:
  uint32_t origin_;
};

}  // namespace

std::string toString(const Target& target) {
  return "M" + std::to_string(target.module) + "." + std::to_string(target.socket);
}

std::ostream& operator<<(std::ostream& out, const Target& target) { return out << toString(target); }

RoutingPortUnit::RoutingPortUnit() : Unit("IOA", kRoutePort, 4, {{kRoutePort, "ROUTE_PORT"}}) {}

uint32_t RoutingPortUnit::read(Chip&, uint32_t) { return 0; }

void RoutingPortUnit::write(Chip&, uint32_t, uint32_t value) {
  uint32_t table = value >> 30;
  uint32_t index = (value >> 8) & 0xFFF;
  uint8_t target = static_cast<uint8_t>(value & 0xFF);
  if ((value & 0x3FF00000) != 0) {
    ++rejected_;
    return;
  }
  switch (table) {
    case static_cast<uint32_t>(RouteTable::MmioL):
      if (index < mmioL_.size()) return void(mmioL_[index] = target);
      break;
    case static_cast<uint32_t>(RouteTable::PciIo):
      if (index < pciIo_.size()) return void(pciIo_[index] = target);
      break;
    case static_cast<uint32_t>(RouteTable::X2apic):
      if (index < x2apic_.size()) return void(x2apic_[index] = target);
      break;
    default:
      break;
  }
  ++rejected_;
}

std::optional<Target> RoutingPortUnit::entry(RouteTable table, uint32_t index) const {
  const std::optional<uint8_t>* slot = nullptr;
  switch (table) {
    case RouteTable::MmioL:
      if (index < mmioL_.size()) slot = &mmioL_[index];
      break;
    case RouteTable::PciIo:
      if (index < pciIo_.size()) slot = &pciIo_[index];
      break;
    case RouteTable::X2apic:
      if (index < x2apic_.size()) slot = &x2apic_[index];
      break;
  }
  if (!slot || !*slot) return std::nullopt;
  return Target::fromByte(**slot);
}

void addRoutingUnits(Chip& chip) {
  chip.add(std::make_unique<RoutingPortUnit>());
  chip.add(std::make_unique<RegisterBlock>(
      "IOA", 0x2000, kLocalMmioBase, 0x80,
      concat({numbered("MMIO_BASE", 0, kLocalMmioRules, kLocalMmioBase),
              numbered("MMIO_LIMIT", 0, kLocalMmioRules, kLocalMmioLimit),
              numbered("MMIO_HIGH", 0, kLocalMmioRules, kLocalMmioHigh),
              numbered("IO_DECODE", 0, kLocalSockets, kIoDecode),
              numbered("MMCFG_DECODE", 0, kLocalSockets, kMmcfgDecode)})));
  chip.add(std::make_unique<RegisterBlock>(
      "MMIOH", kMmioHBase, kMmioHBase, 0x100,
      concat({numbered("BASE", 0, kMmioHRules, kMmioHBase), numbered("LIMIT", 0, kMmioHRules, kMmioHLimit)})));
  for (uint32_t pe = 0; pe < kPeCount; ++pe) {
    uint32_t origin = kPeBase + pe * kPeStride;
    std::string name = "PE" + std::to_string(pe);
    chip.add(std::make_unique<RegisterBlock>(
        name, origin, origin + kPeDramBase, 0x100,
        concat({numbered("DRAM_BASE", 0, kDramRules, origin + kPeDramBase),
                numbered("DRAM_LIMIT", 0, kDramRules, origin + kPeDramLimit)})));
    chip.add(std::make_unique<RegisterBlock>(
        name, origin, origin + kPeConfig, 8,
        std::vector<Reg>{{origin + kPeConfig, "CONFIG"}, {origin + kPePresence, "PRESENCE"}}));
    chip.add(std::make_unique<RegisterBlock>(name, origin, origin + kPeTagMode, 4,
                                             std::vector<Reg>{{origin + kPeTagMode, "TAG_MODE"}}));
  }
}

RoutingView::RoutingView(const Chip& chip) : chip_(chip), port_(chip.unit<RoutingPortUnit>()) {}

uint32_t RoutingView::reg(uint32_t offset) const { return chip_.reg(offset); }

std::optional<Target> RoutingView::tableEntry(RouteTable table, uint32_t index) const {
  if (!port_) return std::nullopt;
  return port_->entry(table, index);
}

std::optional<Target> RoutingView::ownerOfMmioL(uint64_t address) const {
  if (address >= (1ull << 32)) return std::nullopt;
  return tableEntry(RouteTable::MmioL, static_cast<uint32_t>(address >> 20));
}

std::optional<Target> RoutingView::ownerOfIo(uint32_t port) const {
  if (port > 0xFFFF) return std::nullopt;
  return tableEntry(RouteTable::PciIo, port >> 10);
}

std::optional<Target> RoutingView::ownerOfApic(uint32_t apicId) const {
  if (apicId >= kX2apicEntries * 32) return std::nullopt;
  return tableEntry(RouteTable::X2apic, apicId >> 5);
}

MmioHRule RoutingView::mmioHRule(uint32_t index) const {
  uint32_t baseWord = reg(kMmioHBase + 4 * index);
  uint32_t limitWord = reg(kMmioHLimit + 4 * index);
  MmioHRule rule;
  rule.index = index;
  rule.valid = (baseWord & 1) != 0;
  rule.base = static_cast<uint64_t>(baseWord >> 16) << 32;
  rule.limit = static_cast<uint64_t>(limitWord >> 16) << 32 | 0xFFFFFFFFull;
  rule.target = {(limitWord >> 1) & 0x7FFF, limitWord & 1};
  return rule;
}

std::optional<MmioHRule> RoutingView::mmioHRuleFor(uint64_t address) const {
  for (uint32_t k = 0; k < kMmioHRules; ++k) {
    MmioHRule rule = mmioHRule(k);
    if (rule.valid && rule.base <= address && address <= rule.limit) return rule;
  }
  return std::nullopt;
}

std::optional<Target> RoutingView::ownerOfMmio(uint64_t address) const {
  if (address < (1ull << 32)) return ownerOfMmioL(address);
  if (auto rule = mmioHRuleFor(address)) return rule->target;
  return std::nullopt;
}

LocalMmioRule RoutingView::localMmioRule(uint32_t index) const {
  uint32_t baseWord = reg(kLocalMmioBase + 4 * index);
  uint32_t limitWord = reg(kLocalMmioLimit + 4 * index);
  uint32_t highWord = reg(kLocalMmioHigh + 4 * index);
  LocalMmioRule rule;
  rule.index = index;
  rule.valid = (baseWord & 1) != 0;
  rule.base = static_cast<uint64_t>(baseWord >> 8) << 16 | static_cast<uint64_t>(highWord & 0xFF) << 40;
  rule.limit = static_cast<uint64_t>(limitWord >> 8) << 16 | 0xFFFF |
               static_cast<uint64_t>((highWord >> 16) & 0xFF) << 40;
  rule.socket = limitWord & 0xFF;
  return rule;
}

std::optional<uint32_t> RoutingView::localSocketOfMmio(uint64_t address) const {
  for (uint32_t r = 0; r < kLocalMmioRules; ++r) {
    LocalMmioRule rule = localMmioRule(r);
    if (rule.valid && rule.base <= address && address <= rule.limit) return rule.socket;
  }
  return std::nullopt;
}

IoDecode RoutingView::localIo(uint32_t socket) const {
  uint32_t word = reg(kIoDecode + 4 * socket);
  return {(word & 1) != 0, ((word >> 16) & 0x3F) << 10, ((word >> 24) & 0x3F) << 10 | 0x3FF, (word >> 8) & 0xFF};
}

MmcfgDecode RoutingView::localMmcfg(uint32_t socket) const {
  uint32_t word = reg(kMmcfgDecode + 4 * socket);
  return {(word & 1) != 0, (word >> 16) & 0xFF, word >> 24, (word >> 8) & 0xFF};
}

DramRule RoutingView::dramRule(uint32_t pe, uint32_t index) const {
  uint32_t origin = kPeBase + pe * kPeStride;
  uint32_t baseWord = reg(origin + kPeDramBase + 4 * index);
  uint32_t limitWord = reg(origin + kPeDramLimit + 4 * index);
  DramRule rule;
  rule.pe = pe;
  rule.index = index;
  rule.valid = (baseWord & 1) != 0;
  rule.base = static_cast<uint64_t>(baseWord >> 14) << 30;
  rule.limit = static_cast<uint64_t>(limitWord >> 14) << 30 | 0x3FFFFFFFull;
  rule.target = {(limitWord >> 1) & 0x1FFF, limitWord & 1};
  return rule;
}

std::optional<DramRule> RoutingView::dramRuleFor(uint64_t address, uint32_t pe) const {
  for (uint32_t k = 0; k < kDramRules; ++k) {
    DramRule rule = dramRule(pe, k);
    if (rule.valid && rule.base <= address && address <= rule.limit) return rule;
  }
  return std::nullopt;
}

std::optional<Target> RoutingView::ownerOfDram(uint64_t address, uint32_t pe) const {
  if (auto rule = dramRuleFor(address, pe)) return rule->target;
  return std::nullopt;
}

uint32_t RoutingView::gidnidMap() const { return reg(kGidnidMap); }

uint32_t RoutingView::gidnidNode(uint32_t group) const { return (gidnidMap() >> (3 * (group & 7))) & 7; }

uint32_t RoutingView::tagModeRegister(uint32_t pe) const { return reg(kPeBase + pe * kPeStride + kPeTagMode); }

uint32_t RoutingView::peConfig(uint32_t pe) const { return reg(kPeBase + pe * kPeStride + kPeConfig); }

uint32_t RoutingView::presenceMask(uint32_t pe) const { return reg(kPeBase + pe * kPeStride + kPePresence); }

bool RoutingView::lateInitWritten() const { return chip_.written(kPeBase + kPeTagMode); }

}  // namespace sim::zor
