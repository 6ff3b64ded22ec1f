#include "Chip.h"

#include <cstdio>
#include <stdexcept>

namespace sim::zor {

Unit::Unit(std::string name, uint32_t base, uint32_t size, std::vector<Reg> regs)
    : name_(std::move(name)), base_(base), size_(size), regs_(std::move(regs)) {}

const Reg* Unit::find(uint32_t offset) const {
  for (const auto& r : regs_)
    if (r.offset == offset) return &r;
  return nullptr;
}

uint32_t Unit::read(Chip& chip, uint32_t offset) { return chip.reg(offset); }

void Unit::write(Chip& chip, uint32_t offset, uint32_t value) { chip.setReg(offset, value); }

std::string Unit::describe(const Chip&, uint32_t offset) const {
  if (const Reg* r = find(offset)) return name_ + "." + r->name;
  char text[32];
  std::snprintf(text, sizeof text, "+0x%X", offset - base_);
  return name_ + text;
}

Chip::Chip(uint32_t module, uint32_t rail, const ChipConfig& config, Clock& clock)
    : module_(module), rail_(rail), config_(config), clock_(clock) {
  addStandardUnits(*this);
}

Unit& Chip::add(std::unique_ptr<Unit> unit) {
  units_.push_back(std::move(unit));
  return *units_.back();
}

Unit* Chip::unitAt(uint32_t offset) const {
  for (auto it = units_.rbegin(); it != units_.rend(); ++it)
    if ((*it)->contains(offset)) return it->get();
  return nullptr;
}

uint32_t Chip::reg(uint32_t offset) const {
  if (auto it = regs_.find(offset); it != regs_.end()) return it->second;
  if (Unit* u = unitAt(offset))
    if (const Reg* r = u->find(offset)) return r->reset;
  return 0;
}

uint32_t Chip::read32(uint64_t address) {
  uint32_t offset = static_cast<uint32_t>(address - base());
  if (Unit* u = unitAt(offset)) return u->read(*this, offset);
  return reg(offset);
}

void Chip::write32(uint64_t address, uint32_t value) {
  uint32_t offset = static_cast<uint32_t>(address - base());
  if (Unit* u = unitAt(offset))
    u->write(*this, offset, value);
  else
    setReg(offset, value);
}

std::string Chip::tag() const {
  char text[16];
  std::snprintf(text, sizeof text, "M%uR%u", module_, rail_);
  return text;
}

std::string Chip::describe(uint64_t address) const {
  uint32_t offset = static_cast<uint32_t>(address - base());
  if (Unit* u = unitAt(offset)) return tag() + " " + u->describe(*this, offset);
  char text[32];
  std::snprintf(text, sizeof text, " +0x%05X", offset);
  return tag() + text;
}

ZorMachine::ZorMachine(const Config& config, Bus& bus, Clock& clock)
    : modules_(config.modules), rails_(config.rails) {
  if (modules_ < 1 || modules_ > 16) throw std::invalid_argument("a machine has 1 to 16 modules");
  if (rails_ < 1 || rails_ > 2) throw std::invalid_argument("a ZOR has 1 or 2 rails");
  for (uint32_t rail = 0; rail < rails_; ++rail) {
    for (uint32_t module = 0; module < modules_; ++module) {
      ChipConfig chipConfig;
      if (auto it = config.chips.find({module, rail}); it != config.chips.end())
        chipConfig = it->second;
      chips_.push_back(std::make_unique<Chip>(module, rail, chipConfig, clock));
      bus.mapMmio(windowBase(module, rail), kWindowSize, chips_.back().get());
    }
  }
}

Chip* ZorMachine::find(uint32_t module, uint32_t rail) const {
  for (const auto& c : chips_)
    if (c->module() == module && c->rail() == rail) return c.get();
  return nullptr;
}

Chip& ZorMachine::chip(uint32_t module, uint32_t rail) const {
  if (Chip* c = find(module, rail)) return *c;
  throw std::out_of_range("no ZOR for module " + std::to_string(module) + " rail " +
                          std::to_string(rail));
}

}  // namespace sim::zor
