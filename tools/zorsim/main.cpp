// zorsim: runs the firmware modules on the simulated platform.
#include <unistd.h>

#include <iostream>

#include <CLI/CLI.hpp>

#include "AddressMap.h"
#include "Runner.h"
#include "Scenario.h"
#include "SpdTool.h"

namespace {

const char* kScenarioHelp = R"(Scenario (TOML); every key is optional unless marked:
  [machine]   modules, localModule, biRail, cmm2s, buriedCA, physicalModule,
              cpbMask: the topology handed to setModuleInfo (default: 2
              modules, local module 0, biRail 1, cmm2s 0, buriedCA 0,
              physicalModule 0, cpbMask 0x3).
  [[dimm]]    rail, channel, spd (required): the SPD image of that channel,
              raw binary of up to 512 bytes or a text dump as `hexdump -C`
              or i2cdump print it; paths relative to the scenario file.
  [[chip]]    module, rail, chipId: settings of one ZOR chip model.
  [[ddr]]     module, rail, channel (default 0 each), the register (one of
              ddrc = byte offset of a memory-controller register, pub =
              word index of a PHY utility block register) and reads
              (required): the values the register reads back, taken in
              turn, the last one holding; times (optional, as long as
              reads): how many reads each value lasts (default 1 each).
              One value makes the register read it whatever is written.
              Example: pub = 0x00D, reads = [0, 0x8000000F], times =
              [1000, 1]: PGSR0 reads 0 a thousand times, then 0x8000000F.
  [pei]       hobBytes (size of the HOB list memory), failAllocatePool and
              failInstallPpi (that many calls of the service fail).
  [sim]       hangLimit: identical poll reads before a hang is reported.
  [rtc]       The CMOS real-time clock at ports 0x70/0x71, driven by virtual
              time. start: its date and time at virtual time 0, a TOML
              local date-time (start = 2026-03-14 09:26:53; default
              2024-01-01 00:00:00; years 1970 to 2099); phaseUs: how far
              into that second (default 0). binary, hour12: status B at
              reset (default false: BCD, 24-hour). nmiMasked: bit 7 of the
              index port at reset (default false). updateUs: how long the
              update-in-progress flag is up before each once-a-second
              update (default 244). stuckAtUs, stuckForUs: the flag is
              also held up from that virtual time for that long (default 0:
              never; a window that covers a StoreEvent and the 100000 us
              after it makes it give up and store six zero time bytes).
              accessUs: virtual time each port access takes (default 0).
  [pcd]       The platform's PCD database (EFI_PEI_PCD_PPI), installed
              before the modules are dispatched. absent = true: no PCD PPI
              at all.
  [[pcd.token]]  One dynamic-ex token of the database: number (required),
              space (token-space GUID, default the event vault's
              D1B99B46-E509-4EDA-89AC-7A6738BB821A), size (1, 2, 4 or 8
              bytes, default 4), default (value, default 0), rejectFirstSet
              (the first Set fails with EFI_INVALID_PARAMETER and leaves the
              value). A Set of an undeclared token gets EFI_NOT_FOUND.
              Without [[pcd.token]] the database holds 0xA030B and 0xA030C,
              4 bytes each, default 0.
  [[call]]    op (required) = an operation, then its arguments by name:
                indirectRead   rail block indexHigh indexLow
                indirectWrite  rail block indexHigh indexLow value
                noOp
                setModuleInfo  modules localModule biRail cmm2s buriedCA
                               physicalModule cpbMask (omitted ones come
                               from [machine])
                setSpdByte     rail channel index value
                stageSpd       (setSpdByte for every byte of every DIMM)
                directRead     module index
                directWrite    module index value
                enableRemoteAccess, waitForPeers, checkErrors, lateInit
                routeMmioH     base limit dm ds
                routeMmioL     base limit dm ds
                routeIo        base limit dm ds
                routeMmcfg     base limit dm ds
                routeX2apic    base limit dm ds
                routeDram      base limit dm ds type
                StoreEvent     type data (EVENT_VAULT_PPI; data may be
                               left out: 0, stored only for type 8)
              Without a call list the standard order runs: setModuleInfo,
              stageSpd, a routing plan for every module and socket of
              [machine] (MMIO-L, MMIO-H, IO, MMCFG, x2APIC, one AEP control
              region, DRAM), then lateInit.
              The standard order ends with three events: StoreEvent type 1,
              type 3, and type 8 with data 0x1122334455667788.
Unknown keys, wrong types and out-of-range numbers are errors naming the
file, line and key.

At the end of a run zorsim lists the event HOBs found by their GUID in the
HOB list (type, record length, the six time bytes in hex as the clock keeps
them: year month day hour minute second, and data for type 8) and the
values of PcdEventVaultBase (0xA030B) and PcdEventVaultSize (0xA030C).
--json carries them as "events" (objects with type, length, time as six
numbers, data when present) and "pcds" (token number to value, null when
not set).

Exit status: 0 when the run ends normally, 1 after a halt or hang, 2 for a
scenario or command-line error.)";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zorsim: runs the ZorPei, EventVaultPei and VaultPolicyPei firmware modules on a simulated "
               "platform (PEI Foundation, ZOR chips, CMOS clock, PCD database, virtual time)."};
  app.footer(kScenarioHelp);
  std::string scenarioPath;
  zorsim::RunOptions options;
  bool noColour = false;
  app.add_option("scenario", scenarioPath, "Scenario file (TOML); without one the built-in default runs");
  app.add_option("--trace", options.tracePath, "Write every register, port and delay access to FILE");
  app.add_option("--json", options.jsonPath, "Write a summary (each call with its result, halts, hangs, event HOBs, PCD values) to FILE");
  app.add_flag("--no-color", noColour, "Print the firmware's text without colour escapes");
  bool showMap = false;
  app.add_flag("--map", showMap,
               "After the run, print the address map of the local ZOR: the owner (module.socket) of each "
               "MMIO-L, IO and x2APIC range, the MMIO-H, local MMIO and DRAM rules, the late-init settings");
  std::vector<std::string> spdFiles;
  CLI::App* spd = app.add_subcommand(
      "spd",
      "Decode DDR4 SPD dumps with the firmware's own SPD decode and print its listing and each DIMM's capacity. "
      "A file is raw binary (up to 512 bytes) or a text dump as `hexdump -C` or i2cdump print it. Exit status: "
      "0 when every DIMM can be used, 1 when one cannot (the firmware's reason is printed), 2 when a file cannot "
      "be read.");
  spd->add_option("files", spdFiles, "SPD dump files")->required();
  spd->add_flag("--no-color", noColour, "Print the firmware's text without colour escapes");
  spd->footer("Example: zorsim spd dimm0.bin dimm1.txt scenarios/spd/ref-32GB-2Rx4.bin (files under scenarios/spd/ "
              "are built into zorsim).");
  CLI11_PARSE(app, argc, argv);
  if (*spd) return zorsim::runSpdTool(spdFiles, !noColour && isatty(STDOUT_FILENO), std::cout, std::cerr);

  options.colour = !noColour && isatty(STDOUT_FILENO);
  try {
    zorsim::Scenario scenario =
        scenarioPath.empty() ? zorsim::defaultScenario() : zorsim::loadScenarioFile(scenarioPath);
    zorsim::Runner runner(scenario, options, std::cout);
    int status = runner.run();
    if (showMap) zorsim::printLocalAddressMap(runner, std::cout);
    return status;
  } catch (const zorsim::ScenarioError& e) {
    std::cerr << "zorsim: " << e.what() << '\n';
    return 2;
  }
}
