// Behavioural model of one ZOR chip: the 1 MB CSR window of one module and
// rail. The window is divided into units (IOA, SIU, PE, LC6, DDR, ...), each
// declaring its registers in a table (name, window offset, reset value) and
// overriding read/write only for the few registers that do something. Every
// other register is plain storage with its reset value.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "../Bus.h"
#include "../Clock.h"

namespace sim::zor {

// Chip ID that a ZOR reports at window offset 0x20C0.
constexpr uint32_t kZorChipId = 0x19D9957F;

// Window rule: module m of rail r at 0xFB000000 + m MB - r * 16 MB.
constexpr uint64_t windowBase(uint32_t module, uint32_t rail) {
  return 0xFB000000ull + module * 0x100000ull - rail * 0x1000000ull;
}
constexpr uint32_t kWindowSize = 0x100000;

// What a register reads back when a scenario or a test says so: values taken
// in turn by successive reads, each for `reads` reads, the last one holding
// for good. One step makes the register read that value whatever is written.
struct ReadStep {
  uint32_t value;
  uint64_t reads = 1;
};
using ReadScript = std::vector<ReadStep>;

// The two register spaces behind a DDR channel's index/data pairs: the
// memory controller (DDRC, registers by byte offset) and the PHY utility
// block (PUB, registers by word index).
enum class DdrSpace { Ddrc, Pub };

// A DDRC or PUB register of one channel that reads back chosen values.
struct DdrReadback {
  uint32_t channel = 0;
  DdrSpace space = DdrSpace::Ddrc;
  uint32_t reg = 0;
  ReadScript reads;
};

// What a scenario can set per chip. Later behaviour adds its settings and
// faults here.
struct ChipConfig {
  uint32_t chipId = kZorChipId;
  std::vector<DdrReadback> ddrReadbacks;
};

struct Reg {
  uint32_t offset;  // window offset
  const char* name;
  uint32_t reset = 0;
};

class Chip;

class Unit {
 public:
  Unit(std::string name, uint32_t base, uint32_t size, std::vector<Reg> regs = {});
  virtual ~Unit() = default;

  const std::string& name() const { return name_; }
  uint32_t base() const { return base_; }
  uint32_t size() const { return size_; }
  bool contains(uint32_t offset) const { return offset >= base_ && offset - base_ < size_; }
  const std::vector<Reg>& regs() const { return regs_; }
  const Reg* find(uint32_t offset) const;

  // Behaviour hooks, called with the window offset. The defaults keep plain
  // storage in the chip.
  virtual uint32_t read(Chip& chip, uint32_t offset);
  virtual void write(Chip& chip, uint32_t offset, uint32_t value);
  // "IOA.CHIP_ID" for a named register, "IOA+0x118" otherwise.
  virtual std::string describe(const Chip& chip, uint32_t offset) const;

 private:
  std::string name_;
  uint32_t base_;
  uint32_t size_;
  std::vector<Reg> regs_;
};

class Chip : public MmioDevice {
 public:
  Chip(uint32_t module, uint32_t rail, const ChipConfig& config, Clock& clock);

  uint32_t module() const { return module_; }
  uint32_t rail() const { return rail_; }
  uint64_t base() const { return windowBase(module_, rail_); }
  const ChipConfig& config() const { return config_; }
  Clock& clock() const { return clock_; }

  // Adds a unit. A unit added later takes precedence over earlier ones where
  // they overlap, so behaviour can be carved out of a larger plain unit.
  Unit& add(std::unique_ptr<Unit> unit);
  template <class U>
  U* unit() const {
    for (const auto& u : units_)
      if (auto* p = dynamic_cast<U*>(u.get())) return p;
    return nullptr;
  }
  Unit* unitAt(uint32_t offset) const;

  // Register storage by window offset: the value last stored, else the
  // register's reset value, else 0.
  uint32_t reg(uint32_t offset) const;
  void setReg(uint32_t offset, uint32_t value) { regs_[offset] = value; }
  bool written(uint32_t offset) const { return regs_.count(offset) != 0; }

  // Bus side (absolute addresses).
  uint32_t read32(uint64_t address) override;
  void write32(uint64_t address, uint32_t value) override;
  std::string describe(uint64_t address) const override;

  // "M0R1"
  std::string tag() const;

 private:
  uint32_t module_;
  uint32_t rail_;
  ChipConfig config_;
  Clock& clock_;
  std::vector<std::unique_ptr<Unit>> units_;
  std::unordered_map<uint32_t, uint32_t> regs_;
};

// Adds the units every ZOR has (Units.cpp).
void addStandardUnits(Chip& chip);

// All chips of the machine: one per module and rail.
class ZorMachine {
 public:
  struct Config {
    uint32_t modules = 2;
    uint32_t rails = 2;
    std::map<std::pair<uint32_t, uint32_t>, ChipConfig> chips;  // (module, rail)
  };

  ZorMachine(const Config& config, Bus& bus, Clock& clock);

  uint32_t modules() const { return modules_; }
  uint32_t rails() const { return rails_; }
  Chip* find(uint32_t module, uint32_t rail) const;
  Chip& chip(uint32_t module, uint32_t rail) const;

 private:
  uint32_t modules_;
  uint32_t rails_;
  std::vector<std::unique_ptr<Chip>> chips_;
};

}  // namespace sim::zor
