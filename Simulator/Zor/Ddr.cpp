#include "Ddr.h"

#include <cstdio>
#include <stdexcept>

namespace sim::zor {

RegisterSpace::RegisterSpace(std::string label, std::vector<Def> defs) : label_(std::move(label)) {
  for (auto& d : defs) defs_[d.index] = std::move(d);
}

uint32_t RegisterSpace::value(uint32_t reg) const {
  if (auto it = values_.find(reg); it != values_.end()) return it->second;
  if (auto it = defs_.find(reg); it != defs_.end()) return it->second.reset;
  return 0;
}

void RegisterSpace::script(uint32_t reg, ReadScript steps) {
  if (steps.empty()) {
    scripts_.erase(reg);
    return;
  }
  scripts_[reg] = Script{std::move(steps), 0, 0};
}

uint32_t RegisterSpace::next(Script& s) {
  const ReadStep& step = s.steps[s.step];
  if (s.step + 1 < s.steps.size() && ++s.used >= step.reads) {
    ++s.step;
    s.used = 0;
  }
  return step.value;
}

uint32_t RegisterSpace::read(uint32_t reg) {
  ++reads_[reg];
  if (auto it = scripts_.find(reg); it != scripts_.end()) return next(it->second);
  if (auto it = readHooks_.find(reg); it != readHooks_.end()) return it->second(*this, reg);
  return value(reg);
}

void RegisterSpace::write(uint32_t reg, uint32_t value) {
  ++writes_[reg];
  if (auto it = writeHooks_.find(reg); it != writeHooks_.end())
    it->second(*this, reg, value);
  else
    setValue(reg, value);
}

uint64_t RegisterSpace::reads(uint32_t reg) const {
  auto it = reads_.find(reg);
  return it == reads_.end() ? 0 : it->second;
}

uint64_t RegisterSpace::writes(uint32_t reg) const {
  auto it = writes_.find(reg);
  return it == writes_.end() ? 0 : it->second;
}

std::string RegisterSpace::name(uint32_t reg) const {
  auto it = defs_.find(reg);
  return it == defs_.end() ? std::string() : it->second.name;
}

std::string RegisterSpace::describe(uint32_t reg) const {
  char text[24];
  std::snprintf(text, sizeof text, "[0x%03X]", reg);
  std::string named = name(reg);
  return label_ + text + (named.empty() ? "" : " " + named);
}

namespace {

std::string channelName(uint32_t channel) { return "DDR" + std::to_string(channel); }

}  // namespace

DdrChannel::DdrChannel(uint32_t channel, const ChipConfig& config)
    : Unit(channelName(channel), kBase + channel * kStride, kStride,
           {{kBase + channel * kStride + kDdrcIndex, "DDRC_INDEX"},
            {kBase + channel * kStride + kDdrcData, "DDRC_DATA"},
            {kBase + channel * kStride + kPubIndex, "PUB_INDEX"},
            {kBase + channel * kStride + kPubData, "PUB_DATA"}}),
      channel_(channel),
      ddrc_(channelName(channel) + ".DDRC", ddrcRegisters()),
      pub_(channelName(channel) + ".PUB", pubRegisters()) {
  for (const DdrReadback& r : config.ddrReadbacks)
    if (r.channel == channel) space(r.space).script(r.reg, r.reads);
}

uint32_t DdrChannel::read(Chip& chip, uint32_t offset) {
  switch (offset - base()) {
    case kDdrcData: return ddrc_.read(chip.reg(base() + kDdrcIndex));
    case kPubData: return pub_.read(chip.reg(base() + kPubIndex));
    default: return chip.reg(offset);
  }
}

void DdrChannel::write(Chip& chip, uint32_t offset, uint32_t value) {
  switch (offset - base()) {
    case kDdrcData: ddrc_.write(chip.reg(base() + kDdrcIndex), value); break;
    case kPubData: pub_.write(chip.reg(base() + kPubIndex), value); break;
    default: chip.setReg(offset, value);
  }
}

// Called after the access: an index register then holds the register it
// selects, a data register's access went to the register its index names.
std::string DdrChannel::describe(const Chip& chip, uint32_t offset) const {
  auto selected = [&](const RegisterSpace& space, uint32_t index) {
    std::string named = space.name(chip.reg(index));
    return named.empty() ? std::string() : " (" + named + ")";
  };
  switch (offset - base()) {
    case kDdrcIndex: return Unit::describe(chip, offset) + selected(ddrc_, offset);
    case kPubIndex: return Unit::describe(chip, offset) + selected(pub_, offset);
    case kDdrcData: return ddrc_.describe(chip.reg(base() + kDdrcIndex));
    case kPubData: return pub_.describe(chip.reg(base() + kPubIndex));
    default: return Unit::describe(chip, offset);
  }
}

DdrChannel& ddrChannel(Chip& chip, uint32_t channel) {
  if (channel < 2)
    if (auto* unit = dynamic_cast<DdrChannel*>(chip.unitAt(DdrChannel::kBase + channel * DdrChannel::kStride)))
      return *unit;
  throw std::out_of_range(chip.tag() + " has no DDR channel " + std::to_string(channel));
}

namespace {

void add(std::vector<RegisterSpace::Def>& defs, uint32_t index, const std::string& name, uint32_t reset = 0) {
  defs.push_back({index, name, reset});
}

// name0 .. name(count-1) at index, index + stride, ...
void addSeries(std::vector<RegisterSpace::Def>& defs, uint32_t index, const std::string& name, uint32_t first,
               uint32_t count, uint32_t stride = 1) {
  for (uint32_t n = 0; n < count; ++n) add(defs, index + n * stride, name + std::to_string(first + n));
}

}  // namespace

std::vector<RegisterSpace::Def> ddrcRegisters() {
  std::vector<RegisterSpace::Def> d;
  add(d, 0x000, "MSTR");
  add(d, 0x004, "STAT");
  addSeries(d, 0x010, "MRCTRL", 0, 2, 4);
  add(d, 0x018, "MRSTAT");
  add(d, 0x020, "DERATEEN");
  add(d, 0x024, "DERATEINT");
  add(d, 0x030, "PWRCTL");
  add(d, 0x034, "PWRTMG");
  add(d, 0x038, "HWLPCTL");
  addSeries(d, 0x050, "RFSHCTL", 0, 2, 4);
  add(d, 0x060, "RFSHCTL3");
  add(d, 0x064, "RFSHTMG");
  addSeries(d, 0x070, "ECCCFG", 0, 2, 4);
  add(d, 0x078, "ECCSTAT");
  add(d, 0x07C, "ECCCLR");
  add(d, 0x080, "ECCERRCNT");
  addSeries(d, 0x084, "ECCCADDR", 0, 2, 4);
  addSeries(d, 0x08C, "ECCCSYN", 0, 3, 4);
  addSeries(d, 0x098, "ECCBITMASK", 0, 3, 4);
  addSeries(d, 0x0A4, "ECCUADDR", 0, 2, 4);
  addSeries(d, 0x0AC, "ECCUSYN", 0, 3, 4);
  addSeries(d, 0x0B8, "ECCPOISONADDR", 0, 2, 4);
  addSeries(d, 0x0C0, "CRCPARCTL", 0, 3, 4);
  add(d, 0x0CC, "CRCPARSTAT");
  addSeries(d, 0x0D0, "INIT", 0, 8, 4);
  add(d, 0x0F0, "DIMMCTL");
  add(d, 0x0F4, "RANKCTL");
  addSeries(d, 0x100, "DRAMTMG", 0, 16, 4);
  addSeries(d, 0x180, "ZQCTL", 0, 3, 4);
  add(d, 0x18C, "ZQSTAT");
  addSeries(d, 0x190, "DFITMG", 0, 2, 4);
  addSeries(d, 0x198, "DFILPCFG", 0, 2, 4);
  addSeries(d, 0x1A0, "DFIUPD", 0, 3, 4);
  add(d, 0x1B0, "DFIMISC");
  add(d, 0x1B4, "DFITMG2");
  add(d, 0x1B8, "DFITMG3");
  add(d, 0x1BC, "DFISTAT");
  add(d, 0x1C0, "DBICTL");
  add(d, 0x1C4, "DFIPHYMSTR");
  addSeries(d, 0x200, "ADDRMAP", 0, 12, 4);
  add(d, 0x240, "ODTCFG");
  add(d, 0x244, "ODTMAP");
  add(d, 0x250, "SCHED");
  add(d, 0x254, "SCHED1");
  add(d, 0x25C, "PERFHPR1");
  add(d, 0x264, "PERFLPR1");
  add(d, 0x26C, "PERFWR1");
  addSeries(d, 0x300, "DBG", 0, 2, 4);
  add(d, 0x308, "DBGCAM");
  add(d, 0x30C, "DBGCMD");
  add(d, 0x310, "DBGSTAT");
  add(d, 0x320, "SWCTL");
  add(d, 0x324, "SWSTAT");
  add(d, 0x36C, "POISONCFG");
  add(d, 0x370, "POISONSTAT");
  add(d, 0x3FC, "PSTAT");
  add(d, 0x400, "PCCFG");
  for (uint32_t port = 0; port < 16; ++port) {
    add(d, 0x404 + 0xB0 * port, "PCFGR_" + std::to_string(port));
    add(d, 0x408 + 0xB0 * port, "PCFGW_" + std::to_string(port));
    add(d, 0x490 + 0xB0 * port, "PCTRL_" + std::to_string(port));
  }
  add(d, 0xF24, "SBRCTL");
  add(d, 0xF28, "SBRSTAT");
  addSeries(d, 0xF2C, "SBRWDATA", 0, 2, 4);
  return d;
}

std::vector<RegisterSpace::Def> pubRegisters() {
  std::vector<RegisterSpace::Def> d;
  add(d, 0x000, "RIDR");
  add(d, 0x001, "PIR");
  addSeries(d, 0x004, "PGCR", 0, 8);
  addSeries(d, 0x00D, "PGSR", 0, 2);
  addSeries(d, 0x010, "PTR", 0, 7);
  add(d, 0x020, "PLLCR");
  add(d, 0x022, "DXCCR");
  add(d, 0x024, "DSGCR");
  add(d, 0x026, "ODTCR");
  add(d, 0x028, "AACR");
  addSeries(d, 0x030, "GPR", 0, 2);
  add(d, 0x040, "DCR");
  addSeries(d, 0x044, "DTPR", 0, 7);
  addSeries(d, 0x050, "RDIMMGCR", 0, 3);
  addSeries(d, 0x054, "RDIMMCR", 0, 5);
  addSeries(d, 0x05A, "SCHCR", 0, 2);
  addSeries(d, 0x060, "MR", 0, 8);
  addSeries(d, 0x080, "DTCR", 0, 2);
  addSeries(d, 0x082, "DTAR", 0, 3);
  addSeries(d, 0x086, "DTDR", 0, 2);
  addSeries(d, 0x08C, "DTEDR", 0, 3);
  add(d, 0x08F, "VTDR");
  addSeries(d, 0x090, "CATR", 0, 2);
  addSeries(d, 0x094, "DQSDR", 0, 2);
  add(d, 0x100, "BISTRR");
  add(d, 0x101, "BISTWCR");
  addSeries(d, 0x102, "BISTMSKR", 0, 3);
  add(d, 0x105, "BISTLSR");
  addSeries(d, 0x106, "BISTAR", 0, 5);
  add(d, 0x10B, "BISTUDPR");
  add(d, 0x10C, "BISTGSR");
  addSeries(d, 0x10D, "BISTWER", 0, 2);
  addSeries(d, 0x10F, "BISTBER", 0, 5);
  add(d, 0x114, "BISTWCSR");
  addSeries(d, 0x115, "BISTFWR", 0, 3);
  add(d, 0x118, "BISTBER5");
  add(d, 0x137, "RANKIDR");
  addSeries(d, 0x138, "RIOCR", 0, 6);
  addSeries(d, 0x140, "ACIOCR", 0, 6);
  addSeries(d, 0x148, "IOVCR", 0, 2);
  addSeries(d, 0x14A, "VTCR", 0, 2);
  add(d, 0x1A0, "ZQCR");
  for (uint32_t n = 0; n < 4; ++n) {
    std::string z = "ZQ" + std::to_string(n);
    add(d, 0x1A1 + 4 * n, z + "PR");
    add(d, 0x1A2 + 4 * n, z + "DR");
    add(d, 0x1A3 + 4 * n, z + "SR");
  }
  // Byte lanes 0 to 8 (eight data lanes and the ECC lane), 0x40 apart.
  for (uint32_t lane = 0; lane < 9; ++lane) {
    uint32_t base = 0x1C0 + 0x40 * lane;
    std::string dx = "DX" + std::to_string(lane);
    addSeries(d, base + 0x00, dx + "GCR", 0, 10);
    addSeries(d, base + 0x10, dx + "BDLR", 0, 7);
    addSeries(d, base + 0x20, dx + "LCDLR", 0, 6);
    addSeries(d, base + 0x28, dx + "MDLR", 0, 2);
    add(d, base + 0x30, dx + "GTR0");
    addSeries(d, base + 0x34, dx + "RSR", 0, 4);
    addSeries(d, base + 0x38, dx + "GSR", 0, 7);
  }
  return d;
}

}  // namespace sim::zor
