#include "Calls.h"

#include "RoutingPlan.h"
#include "Runner.h"

namespace zorsim {
namespace {

using Result = std::optional<uint64_t>;

uint32_t u32(const Call& c, const char* name) { return static_cast<uint32_t>(c.args.at(name)); }
uint64_t u64(const Call& c, const char* name) { return c.args.at(name); }
uint16_t u16(const Call& c, const char* name) { return static_cast<uint16_t>(c.args.at(name)); }
uint8_t u8(const Call& c, const char* name) { return static_cast<uint8_t>(c.args.at(name)); }

// An argument of setModuleInfo: the call's own, else the machine's.
uint32_t machineArg(const Call& c, const char* name, uint32_t fallback) {
  auto it = c.args.find(name);
  return it != c.args.end() ? static_cast<uint32_t>(it->second) : fallback;
}

std::vector<OpSpec> buildOperations() {
  std::vector<OpSpec> ops;
  ops.push_back({"indirectRead", {{"rail", 32}, {"block", 32}, {"indexHigh", 32}, {"indexLow", 32}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   return r.zor()->indirectRead(r.zor(), u32(c, "rail"), u32(c, "block"), u32(c, "indexHigh"),
                                                u32(c, "indexLow"));
                 }});
  ops.push_back({"indirectWrite",
                 {{"rail", 32}, {"block", 32}, {"indexHigh", 32}, {"indexLow", 32}, {"value", 32}},
                 false,
                 [](Runner& r, const Call& c) -> Result {
                   return r.zor()->indirectWrite(r.zor(), u32(c, "rail"), u32(c, "block"), u32(c, "indexHigh"),
                                                 u32(c, "indexLow"), u32(c, "value"));
                 }});
  ops.push_back({"noOp", {}, false, [](Runner& r, const Call&) -> Result {
                   r.zor()->noOp(r.zor());
                   return std::nullopt;
                 }});
  ops.push_back({"setModuleInfo",
                 {{"modules", 32},
                  {"localModule", 32},
                  {"biRail", 32},
                  {"cmm2s", 32},
                  {"buriedCA", 32},
                  {"physicalModule", 32},
                  {"cpbMask", 32}},
                 true,
                 [](Runner& r, const Call& c) -> Result {
                   const MachineInfo& m = r.scenario().machine;
                   r.zor()->setModuleInfo(r.zor(), machineArg(c, "modules", m.modules),
                                          machineArg(c, "localModule", m.localModule),
                                          machineArg(c, "biRail", m.biRail), machineArg(c, "cmm2s", m.cmm2s),
                                          machineArg(c, "buriedCA", m.buriedCA),
                                          machineArg(c, "physicalModule", m.physicalModule),
                                          machineArg(c, "cpbMask", m.cpbMask));
                   return std::nullopt;
                 }});
  ops.push_back({"setSpdByte", {{"rail", 32}, {"channel", 32}, {"index", 16}, {"value", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->setSpdByte(r.zor(), u32(c, "rail"), u32(c, "channel"), u16(c, "index"), u8(c, "value"));
                   return std::nullopt;
                 }});
  // Every SPD byte of every DIMM of the scenario, through setSpdByte.
  ops.push_back({"stageSpd", {}, false, [](Runner& r, const Call&) -> Result {
                   for (const Dimm& d : r.scenario().dimms)
                     for (size_t i = 0; i < d.spd.size(); ++i)
                       r.zor()->setSpdByte(r.zor(), d.rail, d.channel, static_cast<uint16_t>(i), d.spd[i]);
                   return std::nullopt;
                 }});
  ops.push_back({"directRead", {{"module", 32}, {"index", 32}}, false, [](Runner& r, const Call& c) -> Result {
                   return r.zor()->directRead(r.zor(), u32(c, "module"), u32(c, "index"));
                 }});
  ops.push_back({"directWrite", {{"module", 32}, {"index", 32}, {"value", 32}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   return r.zor()->directWrite(r.zor(), u32(c, "module"), u32(c, "index"), u32(c, "value"));
                 }});
  ops.push_back({"enableRemoteAccess", {}, false, [](Runner& r, const Call&) -> Result {
                   return r.zor()->enableRemoteAccess(r.zor());
                 }});
  ops.push_back({"waitForPeers", {}, false, [](Runner& r, const Call&) -> Result {
                   return r.zor()->waitForPeers(r.zor());
                 }});
  ops.push_back({"checkErrors", {}, false, [](Runner& r, const Call&) -> Result {
                   return r.zor()->checkErrors(r.zor());
                 }});
  ops.push_back({"routeMmioH", {{"base", 64}, {"limit", 64}, {"dm", 8}, {"ds", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeMmioH(r.zor(), u64(c, "base"), u64(c, "limit"), u8(c, "dm"), u8(c, "ds"));
                   return std::nullopt;
                 }});
  ops.push_back({"routeMmioL", {{"base", 32}, {"limit", 32}, {"dm", 8}, {"ds", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeMmioL(r.zor(), u32(c, "base"), u32(c, "limit"), u8(c, "dm"), u8(c, "ds"));
                   return std::nullopt;
                 }});
  ops.push_back({"routeIo", {{"base", 16}, {"limit", 16}, {"dm", 8}, {"ds", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeIo(r.zor(), u16(c, "base"), u16(c, "limit"), u8(c, "dm"), u8(c, "ds"));
                   return std::nullopt;
                 }});
  ops.push_back({"routeMmcfg", {{"base", 64}, {"limit", 64}, {"dm", 8}, {"ds", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeMmcfg(r.zor(), u64(c, "base"), u64(c, "limit"), u8(c, "dm"), u8(c, "ds"));
                   return std::nullopt;
                 }});
  ops.push_back({"routeX2apic", {{"base", 32}, {"limit", 32}, {"dm", 8}, {"ds", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeX2apic(r.zor(), u32(c, "base"), u32(c, "limit"), u8(c, "dm"), u8(c, "ds"));
                   return std::nullopt;
                 }});
  ops.push_back({"routeDram", {{"base", 64}, {"limit", 64}, {"dm", 8}, {"ds", 8}, {"type", 8}}, false,
                 [](Runner& r, const Call& c) -> Result {
                   r.zor()->routeDram(r.zor(), u64(c, "base"), u64(c, "limit"), u8(c, "dm"), u8(c, "ds"),
                                      u8(c, "type"));
                   return std::nullopt;
                 }});
  ops.push_back({"lateInit", {}, false, [](Runner& r, const Call&) -> Result {
                   r.zor()->lateInit(r.zor());
                   return std::nullopt;
                 }});
  // EVENT_VAULT_PPI's one operation; data may be left out (0), since only
  // type 8 stores it. Returns the EFI_STATUS.
  ops.push_back({"StoreEvent", {{"type", 8}, {"data", 64, true}}, false, [](Runner& r, const Call& c) -> Result {
                   auto data = c.args.find("data");
                   return r.vault()->StoreEvent(r.platform().pei().services(), r.vault(), u8(c, "type"),
                                                data != c.args.end() ? data->second : 0);
                 }});
  return ops;
}

}  // namespace

const std::vector<OpSpec>& operations() {
  static const std::vector<OpSpec> ops = buildOperations();
  return ops;
}

const OpSpec* findOperation(const std::string& name) {
  for (const OpSpec& op : operations())
    if (name == op.name) return &op;
  return nullptr;
}

std::vector<Call> standardCalls(const Scenario& scenario) {
  (void)scenario;
  std::vector<Call> calls;
  calls.push_back({"setModuleInfo", {}, "standard order"});
  calls.push_back({"stageSpd", {}, "standard order"});
  // The routing phase: who owns each range of [machine], then lateInit.
  for (Call& call : routingPlan(scenario.machine)) calls.push_back(std::move(call));
  // A few events: plain ones and one carrying data (type 8).
  calls.push_back({"StoreEvent", {{"type", 1}}, "standard order"});
  calls.push_back({"StoreEvent", {{"type", 3}}, "standard order"});
  calls.push_back({"StoreEvent", {{"type", 8}, {"data", 0x1122334455667788ull}}, "standard order"});
  return calls;
}

}  // namespace zorsim
