// The address map of a ZOR as the firmware programmed it: who (module and
// socket) owns each MMIO-L megabyte range, MMIO-H rule, I/O range, MMCFG bus
// range, APIC group and DRAM rule. Ranges, not entries: consecutive entries
// with the same owner print as one line.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "Simulator/Zor/Chip.h"

namespace zorsim {

class Runner;

// The map of one chip (one module and rail), without a heading.
std::string addressMapText(const sim::zor::Chip& chip);

// The maps of module's rails 0 to lastRail, each under a heading; a rail
// whose map equals rail 0's says so in one line.
void printAddressMap(std::ostream& out, const sim::zor::ZorMachine& machine, uint32_t module, uint32_t lastRail);

// The map of the local ZOR after a run: the local module and biRail as the
// firmware's record holds them (the scenario's [machine] when ZorPei is not
// installed).
void printLocalAddressMap(Runner& runner, std::ostream& out);

}  // namespace zorsim
