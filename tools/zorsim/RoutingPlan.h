// The routing plan of the standard call order: the calls that platform code
// makes to tell the local ZOR who owns each address range of the machine
// described in [machine], followed by lateInit.
#pragma once

#include <vector>

#include "Scenario.h"

namespace zorsim {

// For every module m and socket s of the machine, in this order of kinds
// (each kind for all modules and sockets, M0.0 first):
//   routeMmioL   a slice of 0x90000000-0xF7FFFFFF (whole megabytes)
//   routeMmioH   64 GB at 1 TB + (2m + s) * 64 GB
//   routeIo      a slice of the 64 KB of I/O space (whole kilobytes)
//   routeMmcfg   a slice of the 256 buses at 0x80000000
//   routeX2apic  64 APIC IDs from (2m + s) * 64
//   routeDram    16 GB per socket, contiguous from 0; M0.0 has 2 GB more at
//                the bottom: the low region and the hole below 4 GB that
//                lateInit deducts on module 0
// and one AEP control region (1 GB at 768 GB, type 2) for the last module's
// socket 1, routed before the DRAM so that the regular DRAM sets the host
// range when that module is the local one. Its rule (16 + 2m + 1) is one no
// regular DRAM rule uses only while the machine has at most 8 modules; a
// larger machine gets no AEP region. Then lateInit.
std::vector<Call> routingPlan(const MachineInfo& machine);

}  // namespace zorsim
