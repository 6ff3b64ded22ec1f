// The ZOR's address routing as the model keeps it: the three routing tables
// behind the write-only port at IOA 0x211C (MMIO-L, PCI IO, x2APIC), the 32
// MMIO-H rules, the eight local IOA MMIO rules, the local IO and MMCFG decode
// registers, the DRAM rule tables of both protocol engines and the registers
// that late initialisation leaves.
//
// RoutingView answers "who owns this address / I/O port / APIC ID" for one
// chip (one module and rail) with the target that the firmware programmed.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "Chip.h"

namespace sim::zor {

// A routing target: destination module and socket, encoded in routing
// registers as module << 1 | socket.
struct Target {
  uint32_t module = 0;
  uint32_t socket = 0;
  static Target fromByte(uint32_t target) { return {target >> 1, target & 1}; }
  uint32_t byte() const { return module << 1 | socket; }
  bool operator==(const Target&) const = default;
};

// "M1.0"
std::string toString(const Target& target);
std::ostream& operator<<(std::ostream& out, const Target& target);

enum class RouteTable : uint32_t { MmioL = 0, PciIo = 2, X2apic = 3 };

// Window offsets of the routing registers, as the model names them.
namespace routing {
constexpr uint32_t kRoutePort = 0x211C;
constexpr uint32_t kMmioLEntries = 4096;  // 1 MB each, below 4 GB
constexpr uint32_t kPciIoEntries = 64;    // 1 KB each
constexpr uint32_t kX2apicEntries = 128;  // 32 APIC IDs each
constexpr uint32_t kLocalMmioRules = 8;
constexpr uint32_t kLocalMmioBase = 0x2120;   // + 4r
constexpr uint32_t kLocalMmioLimit = 0x2140;  // + 4r
constexpr uint32_t kLocalMmioHigh = 0x2160;   // + 4r
constexpr uint32_t kIoDecode = 0x2180;        // + 4s
constexpr uint32_t kMmcfgDecode = 0x2190;     // + 4s
constexpr uint32_t kLocalSockets = 2;
constexpr uint32_t kGidnidMap = 0x2104;
constexpr uint32_t kMmioHRules = 32;
constexpr uint32_t kMmioHBase = 0x2200;   // + 4k
constexpr uint32_t kMmioHLimit = 0x2280;  // + 4k
constexpr uint32_t kPeBase = 0x2400;      // + pe * 0x200
constexpr uint32_t kPeStride = 0x200;
constexpr uint32_t kPeCount = 2;
constexpr uint32_t kDramRules = 32;
constexpr uint32_t kPeDramBase = 0x080;   // PE offset + 4k
constexpr uint32_t kPeDramLimit = 0x100;  // PE offset + 4k
constexpr uint32_t kPeConfig = 0x000;
constexpr uint32_t kPePresence = 0x004;
constexpr uint32_t kPeTagMode = 0x188;
}  // namespace routing

// The routing-table port. Each write sets one entry of one table: bits 31:30
// the table (0 MMIO-L, 2 PCI IO, 3 x2APIC), 29:20 zero, 19:8 the entry, 7:0
// the target. The port reads as 0. A write that names table 1, sets bits
// 29:20 or an entry past its table changes nothing and is counted.
class RoutingPortUnit : public Unit {
 public:
  RoutingPortUnit();

  uint32_t read(Chip& chip, uint32_t offset) override;
  void write(Chip& chip, uint32_t offset, uint32_t value) override;

  // The target last written to an entry; none before the first write.
  std::optional<Target> entry(RouteTable table, uint32_t index) const;
  uint64_t rejectedWrites() const { return rejected_; }

 private:
  std::array<std::optional<uint8_t>, routing::kMmioLEntries> mmioL_;
  std::array<std::optional<uint8_t>, routing::kPciIoEntries> pciIo_;
  std::array<std::optional<uint8_t>, routing::kX2apicEntries> x2apic_;
  uint64_t rejected_ = 0;
};

// Adds the routing units to a chip (called at the end of addStandardUnits).
void addRoutingUnits(Chip& chip);

// Decoded views of the rule registers.
struct MmioHRule {
  uint32_t index = 0;
  bool valid = false;
  uint64_t base = 0;   // first byte
  uint64_t limit = 0;  // last byte
  Target target;
};

struct LocalMmioRule {
  uint32_t index = 0;
  bool valid = false;
  uint64_t base = 0;
  uint64_t limit = 0;
  uint32_t socket = 0;  // the target byte: the local socket
};

struct IoDecode {
  bool valid = false;
  uint32_t base = 0;   // first port
  uint32_t limit = 0;  // last port
  uint32_t socket = 0;
};

struct MmcfgDecode {
  bool valid = false;
  uint32_t firstBus = 0;
  uint32_t lastBus = 0;
  uint32_t socket = 0;
};

struct DramRule {
  uint32_t pe = 0;
  uint32_t index = 0;
  bool valid = false;
  uint64_t base = 0;
  uint64_t limit = 0;
  Target target;
};

// Read-only questions to one chip's routing state.
class RoutingView {
 public:
  explicit RoutingView(const Chip& chip);

  const Chip& chip() const { return chip_; }

  // The routing tables: the target of the entry that covers the address,
  // port or APIC ID; none when the entry was never written or the argument
  // lies beyond the table (4 GB, port 0xFFFF, APIC ID 4095).
  std::optional<Target> ownerOfMmioL(uint64_t address) const;
  std::optional<Target> ownerOfIo(uint32_t port) const;
  std::optional<Target> ownerOfApic(uint32_t apicId) const;
  std::optional<Target> tableEntry(RouteTable table, uint32_t index) const;

  // MMIO-H rules 0..31 and the first valid rule that covers an address.
  MmioHRule mmioHRule(uint32_t index) const;
  std::optional<MmioHRule> mmioHRuleFor(uint64_t address) const;
  // Who owns an MMIO address: the MMIO-L table below 4 GB, the MMIO-H rules
  // above.
  std::optional<Target> ownerOfMmio(uint64_t address) const;

  // Local IOA MMIO rules 0..7, and the local socket whose valid rule covers
  // an address.
  LocalMmioRule localMmioRule(uint32_t index) const;
  std::optional<uint32_t> localSocketOfMmio(uint64_t address) const;
  IoDecode localIo(uint32_t socket) const;
  MmcfgDecode localMmcfg(uint32_t socket) const;

  // DRAM rules 0..31 of protocol engine pe, and the first valid rule that
  // covers an address.
  DramRule dramRule(uint32_t pe, uint32_t index) const;
  std::optional<DramRule> dramRuleFor(uint64_t address, uint32_t pe = 0) const;
  std::optional<Target> ownerOfDram(uint64_t address, uint32_t pe = 0) const;

  // What late initialisation leaves: the GIDNID map register, and per PE the
  // tag mode (bits 1:0 of PE offset 0x188), the CMM2S bit (bit 2), the PE
  // configuration (offset 0x000) and the presence mask (offset 0x004).
  uint32_t gidnidMap() const;
  // Node ID that the GIDNID map gives the APIC group g (IDs 32g to 32g+31);
  // 7 means unset.
  uint32_t gidnidNode(uint32_t group) const;
  uint32_t tagModeRegister(uint32_t pe) const;
  uint32_t tagMode(uint32_t pe) const { return tagModeRegister(pe) & 3; }
  uint32_t peConfig(uint32_t pe) const;
  uint32_t presenceMask(uint32_t pe) const;
  bool lateInitWritten() const;

 private:
  uint32_t reg(uint32_t offset) const;
  const Chip& chip_;
  const RoutingPortUnit* port_;
};

}  // namespace sim::zor
