// The processor's view of memory-mapped registers and I/O ports. Each access
// is routed by address to the device model that serves it, traced, and
// watched for polls that can never end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Trace.h"

namespace sim {

class MmioDevice {
 public:
  virtual ~MmioDevice() = default;
  virtual uint32_t read32(uint64_t address) = 0;
  virtual void write32(uint64_t address, uint32_t value) = 0;
  // Names the register at address for traces and reports ("M0R0 IOA.CHIP_ID").
  virtual std::string describe(uint64_t address) const = 0;
};

class PortDevice {
 public:
  virtual ~PortDevice() = default;
  virtual uint8_t in8(uint16_t port) = 0;
  virtual void out8(uint16_t port, uint8_t value) = 0;
  virtual std::string describe(uint16_t port) const = 0;
};

// Value of a read that no device serves (a master abort).
constexpr uint32_t kUnmappedRead = 0xFFFFFFFF;

class Bus {
 public:
  explicit Bus(Trace& trace) : trace_(trace) {}

  // The device serves [base, base + size). Later maps do not overlap earlier ones.
  void mapMmio(uint64_t base, uint64_t size, MmioDevice* device);
  void mapPorts(uint16_t first, uint16_t last, PortDevice* device);

  uint32_t read32(uint64_t address);
  void write32(uint64_t address, uint32_t value);
  uint8_t in8(uint16_t port);
  void out8(uint16_t port, uint8_t value);

  std::string describe(uint64_t address) const;

  // A poll that can never end shows as a long run of reads that return the
  // same value from the same register, with no other traffic than repeats of
  // the same write (an index register rewritten before each read). After
  // this many such reads the bus stops the machine. Bounded polls give up
  // after 300000 reads, so the limit lies well above that.
  void setHangLimit(uint64_t reads) { hangLimit_ = reads; }
  uint64_t hangLimit() const { return hangLimit_; }
  // Anything other than bus traffic that can change what a register reads
  // (a model's own time-driven change) ends a run.
  void breakPollRun() { run_ = 0; }

  uint64_t mmioReads() const { return reads_; }
  uint64_t mmioWrites() const { return writes_; }

 private:
  struct MmioRange {
    uint64_t base;
    uint64_t size;
    MmioDevice* device;
  };
  struct PortRange {
    uint16_t first;
    uint16_t last;
    PortDevice* device;
  };

  MmioDevice* find(uint64_t address) const;
  PortDevice* findPort(uint16_t port) const;
  void watchRead(uint64_t address, uint32_t value);
  void watchWrite(uint64_t address, uint32_t value);

  Trace& trace_;
  std::vector<MmioRange> mmio_;
  std::vector<PortRange> ports_;

  uint64_t hangLimit_ = 2'000'000;
  uint64_t run_ = 0;
  uint64_t runAddress_ = ~0ull;
  uint32_t runValue_ = 0;
  uint64_t lastWriteAddress_ = ~0ull;
  uint32_t lastWriteValue_ = 0;
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

}  // namespace sim
