#include "Bus.h"

#include <cstdio>

#include "Stop.h"

namespace sim {

void Bus::mapMmio(uint64_t base, uint64_t size, MmioDevice* device) {
  mmio_.push_back({base, size, device});
}

void Bus::mapPorts(uint16_t first, uint16_t last, PortDevice* device) {
  ports_.push_back({first, last, device});
}

MmioDevice* Bus::find(uint64_t address) const {
  for (const auto& r : mmio_)
    if (address >= r.base && address - r.base < r.size) return r.device;
  return nullptr;
}

PortDevice* Bus::findPort(uint16_t port) const {
  for (const auto& r : ports_)
    if (port >= r.first && port <= r.last) return r.device;
  return nullptr;
}

std::string Bus::describe(uint64_t address) const {
  if (auto* d = find(address)) return d->describe(address);
  return "unmapped";
}

uint32_t Bus::read32(uint64_t address) {
  ++reads_;
  MmioDevice* device = find(address);
  uint32_t value = device ? device->read32(address) : kUnmappedRead;
  if (trace_.on()) trace_.mmio('R', address, value, describe(address));
  watchRead(address, value);
  return value;
}

void Bus::write32(uint64_t address, uint32_t value) {
  ++writes_;
  watchWrite(address, value);
  MmioDevice* device = find(address);
  if (device) device->write32(address, value);
  if (trace_.on()) trace_.mmio('W', address, value, describe(address));
}

uint8_t Bus::in8(uint16_t port) {
  PortDevice* device = findPort(port);
  uint8_t value = device ? device->in8(port) : 0xFF;
  if (trace_.on()) trace_.port('I', port, value, device ? device->describe(port) : "unmapped");
  return value;
}

void Bus::out8(uint16_t port, uint8_t value) {
  PortDevice* device = findPort(port);
  if (device) device->out8(port, value);
  if (trace_.on()) trace_.port('O', port, value, device ? device->describe(port) : "unmapped");
  run_ = 0;
}

void Bus::watchWrite(uint64_t address, uint32_t value) {
  if (address == lastWriteAddress_ && value == lastWriteValue_) return;
  lastWriteAddress_ = address;
  lastWriteValue_ = value;
  run_ = 0;
}

void Bus::watchRead(uint64_t address, uint32_t value) {
  if (run_ > 0 && address == runAddress_ && value == runValue_) {
    if (++run_ >= hangLimit_) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "hung polling %08llX (%s): read %llu times, always 0x%08X",
                    static_cast<unsigned long long>(address), describe(address).c_str(),
                    static_cast<unsigned long long>(run_), value);
      run_ = 0;
      if (trace_.on()) trace_.comment(text);
      throw MachineStopped{MachineStopped::Kind::Hang, text};
    }
    return;
  }
  runAddress_ = address;
  runValue_ = value;
  run_ = 1;
}

}  // namespace sim
