// The DDR channels of a ZOR: each channel has a memory controller (DDRC) and
// a PHY utility block (PUB), each register space reached through an
// index/data pair in the window at 0x2C00 + 0x100 * channel:
//   +0x0 DDRC index   +0x4 DDRC data   +0x8 PUB index   +0xC PUB data
// The index selects a register (a DDRC byte offset, a PUB word index); the
// data register reads and writes it.
//
// Each space is a RegisterSpace: plain storage with reset values from a
// register table that also names the registers in traces
// ("M0R1 DDR1.PUB[0x00D] PGSR0"). Behaviour sits on the same storage in two
// layers, consulted in this order when the data register is read:
//   1. a read script (ReadScript): values that a scenario or a test makes
//      the register read back, to show a fault or a status;
//   2. a behaviour hook that the model installs for a register that does
//      something (a run that completes, a status that follows a request);
//   3. the stored value.
// A write goes to the register's write hook if it has one, else to storage.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Chip.h"

namespace sim::zor {

class RegisterSpace {
 public:
  struct Def {
    uint32_t index;
    std::string name;
    uint32_t reset = 0;
  };
  using ReadHook = std::function<uint32_t(RegisterSpace&, uint32_t reg)>;
  using WriteHook = std::function<void(RegisterSpace&, uint32_t reg, uint32_t value)>;

  // label names the space in traces: "DDR1.PUB".
  RegisterSpace(std::string label, std::vector<Def> defs);

  // The data register's side: what the firmware sees. Counts the access.
  uint32_t read(uint32_t reg);
  void write(uint32_t reg, uint32_t value);

  // Storage without side effects: the value last stored, else the reset
  // value, else 0.
  uint32_t value(uint32_t reg) const;
  void setValue(uint32_t reg, uint32_t value) { values_[reg] = value; }
  bool written(uint32_t reg) const { return values_.count(reg) != 0; }

  // Makes reads of reg follow the script from its first step; replaces any
  // earlier script of reg. An empty script removes it.
  void script(uint32_t reg, ReadScript steps);

  void onRead(uint32_t reg, ReadHook hook) { readHooks_[reg] = std::move(hook); }
  void onWrite(uint32_t reg, WriteHook hook) { writeHooks_[reg] = std::move(hook); }

  // Accesses through the data register since the model was built.
  uint64_t reads(uint32_t reg) const;
  uint64_t writes(uint32_t reg) const;

  const std::string& label() const { return label_; }
  // "PGSR0", or empty for a register the table does not name.
  std::string name(uint32_t reg) const;
  // "DDR1.PUB[0x00D] PGSR0", or "DDR1.DDRC[0x1B8]" for an unnamed register.
  std::string describe(uint32_t reg) const;

 private:
  struct Script {
    ReadScript steps;
    size_t step = 0;     // the step now being read
    uint64_t used = 0;   // reads taken from it so far
  };
  uint32_t next(Script& s);

  std::string label_;
  std::map<uint32_t, Def> defs_;
  std::map<uint32_t, uint32_t> values_;
  std::map<uint32_t, Script> scripts_;
  std::map<uint32_t, ReadHook> readHooks_;
  std::map<uint32_t, WriteHook> writeHooks_;
  std::map<uint32_t, uint64_t> reads_;
  std::map<uint32_t, uint64_t> writes_;
};

// One channel's four pair registers, with its DDRC and PUB spaces. The
// chip's configuration supplies the read scripts of the channel.
class DdrChannel : public Unit {
 public:
  static constexpr uint32_t kBase = 0x2C00;
  static constexpr uint32_t kStride = 0x100;
  static constexpr uint32_t kDdrcIndex = 0x0;
  static constexpr uint32_t kDdrcData = 0x4;
  static constexpr uint32_t kPubIndex = 0x8;
  static constexpr uint32_t kPubData = 0xC;

  DdrChannel(uint32_t channel, const ChipConfig& config);

  uint32_t channel() const { return channel_; }
  RegisterSpace& ddrc() { return ddrc_; }
  RegisterSpace& pub() { return pub_; }
  RegisterSpace& space(DdrSpace s) { return s == DdrSpace::Ddrc ? ddrc_ : pub_; }

  uint32_t read(Chip& chip, uint32_t offset) override;
  void write(Chip& chip, uint32_t offset, uint32_t value) override;
  std::string describe(const Chip& chip, uint32_t offset) const override;

 private:
  uint32_t channel_;
  RegisterSpace ddrc_;
  RegisterSpace pub_;
};

// The channel's unit of a chip (channel 0 or 1).
DdrChannel& ddrChannel(Chip& chip, uint32_t channel);

// Register tables of the two spaces (names in the manner of the uMCTL2 and
// PUB databooks).
std::vector<RegisterSpace::Def> ddrcRegisters();
std::vector<RegisterSpace::Def> pubRegisters();

}  // namespace sim::zor
