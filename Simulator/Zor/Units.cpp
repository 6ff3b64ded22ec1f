// The units of a ZOR window and their register tables. Registers named here
// are named in traces; behaviour lives in unit classes of their own files,
// added at the end so that they take precedence over the plain units.
#include <cstdio>

#include "Chip.h"
#include "Ddr.h"
#include "Routing.h"

namespace sim::zor {
namespace {

// Any 4 KB block holds an index register at 0x40 and a data register at 0x44
// that the raw register slots use; other units' tables name them where they
// fall inside a unit.
class WindowUnit : public Unit {
 public:
  WindowUnit() : Unit("WIN", 0, kWindowSize) {}
  std::string describe(const Chip&, uint32_t offset) const override {
    char text[40];
    uint32_t inBlock = offset & 0xFFF;
    if (inBlock == 0x40 || inBlock == 0x44)
      std::snprintf(text, sizeof text, "BLK%u.%s", offset >> 12, inBlock == 0x40 ? "INDEX" : "DATA");
    else
      std::snprintf(text, sizeof text, "+0x%05X", offset);
    return text;
  }
};

std::vector<Reg> blockPair(uint32_t block) {
  return {{block * 0x1000 + 0x40, "BLK_INDEX"}, {block * 0x1000 + 0x44, "BLK_DATA"}};
}

std::vector<Reg> ioaRegs(const ChipConfig& config) {
  std::vector<Reg> regs = {
      {0x20C0, "CHIP_ID", config.chipId},
      {0x2104, "GIDNID_MAP"},
      {0x211C, "ROUTE_PORT"},
  };
  for (auto& r : blockPair(2)) regs.push_back(r);
  return regs;
}

}  // namespace

void addStandardUnits(Chip& chip) {
  chip.add(std::make_unique<WindowUnit>());
  chip.add(std::make_unique<Unit>("ULC0", 0x0000, 0x1000, blockPair(0)));
  chip.add(std::make_unique<Unit>("ULC1", 0x1000, 0x1000, blockPair(1)));
  chip.add(std::make_unique<Unit>("IOA", 0x2000, 0x200, ioaRegs(chip.config())));
  chip.add(std::make_unique<Unit>("DIRECT", 0x21E0, 0x20));
  chip.add(std::make_unique<Unit>("MMIOH", 0x2200, 0x100));
  chip.add(std::make_unique<Unit>("SIU0", 0x2300, 0x40));
  chip.add(std::make_unique<Unit>("SIU1", 0x2340, 0x40));
  chip.add(std::make_unique<Unit>("PE0", 0x2400, 0x200));
  chip.add(std::make_unique<Unit>("PE1", 0x2600, 0x200));
  for (uint32_t port = 0; port < 16; ++port)
    chip.add(std::make_unique<Unit>("LC6_" + std::to_string(port), 0x2800 + port * 0x40, 0x40));
  chip.add(std::make_unique<Unit>("DDR0", 0x2C00, 0x100));
  chip.add(std::make_unique<Unit>("DDR1", 0x2D00, 0x100));
  chip.add(std::make_unique<Unit>("TBL", 0x3200, 0x4));
  chip.add(std::make_unique<Unit>("TBL", 0x4000, 0x30));
  addRoutingUnits(chip);
  chip.add(std::make_unique<DdrChannel>(0, chip.config()));
  chip.add(std::make_unique<DdrChannel>(1, chip.config()));
}

}  // namespace sim::zor
