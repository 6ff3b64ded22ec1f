#include "Scenario.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include <toml++/toml.h>

#include "Calls.h"
#include "EmbeddedFiles.h"
#include "SpdImage.h"

extern "C" {
#include <PiPei.h>
#include <Guid/EventVaultTokenSpace.h>
}

namespace zorsim {
namespace {

std::string lineOf(const toml::node& node) {
  return std::to_string(node.source().begin.line);
}

// Reads one table and remembers which keys it took, so that finish() can
// reject the rest.
class Table {
 public:
  Table(const toml::table& table, std::string file, std::string path)
      : table_(table), file_(std::move(file)), path_(std::move(path)) {}

  [[noreturn]] void fail(const toml::node& node, const std::string& key, const std::string& what) const {
    throw ScenarioError(file_ + ":" + lineOf(node) + ": " + qualified(key) + ": " + what);
  }

  std::string qualified(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

  bool has(const std::string& key) const { return table_.contains(key); }

  [[noreturn]] void missing(const std::string& key, const std::string& what) const {
    throw ScenarioError(file_ + ":" + lineOf(table_) + ": " + qualified(key) + ": missing " + what);
  }

  std::optional<uint64_t> number(const std::string& key, uint64_t min, uint64_t max) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    used_.insert(key);
    auto value = node->value<int64_t>();
    if (!node->is_integer() || !value) fail(*node, key, "expected an integer");
    if (*value < 0 || static_cast<uint64_t>(*value) < min || static_cast<uint64_t>(*value) > max) {
      std::ostringstream range;
      range << "value " << *value << " out of range " << min << " to " << max;
      fail(*node, key, range.str());
    }
    return static_cast<uint64_t>(*value);
  }

  // A non-empty list of integers, each from min to max.
  std::optional<std::vector<uint64_t>> numbers(const std::string& key, uint64_t min, uint64_t max) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    used_.insert(key);
    const toml::array* array = node->as_array();
    if (!array || array->empty()) fail(*node, key, "expected a list of integers");
    std::vector<uint64_t> values;
    for (const toml::node& element : *array) {
      auto v = element.value<int64_t>();
      if (!element.is_integer() || !v || *v < 0 || static_cast<uint64_t>(*v) < min ||
          static_cast<uint64_t>(*v) > max)
        fail(element, key, "expected integers from " + std::to_string(min) + " to " + std::to_string(max));
      values.push_back(static_cast<uint64_t>(*v));
    }
    return values;
  }

  template <class T>
  void get(const std::string& key, T& field, uint64_t min, uint64_t max) {
    if (auto v = number(key, min, max)) field = static_cast<T>(*v);
  }

  std::optional<std::string> text(const std::string& key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    used_.insert(key);
    if (!node->is_string()) fail(*node, key, "expected a string");
    return *node->value<std::string>();
  }

  std::optional<bool> flag(const std::string& key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    used_.insert(key);
    if (!node->is_boolean()) fail(*node, key, "expected true or false");
    return *node->value<bool>();
  }

  // Marks a key as read by the caller itself (a nested table or array).
  void accept(const std::string& key) { used_.insert(key); }

  const toml::node& node(const std::string& key) const { return *table_.get(key); }
  const toml::table& raw() const { return table_; }

  void finish() const {
    for (const auto& [key, node] : table_)
      if (!used_.count(std::string(key.str())))
        fail(node, std::string(key.str()), "unknown key");
  }

 private:
  const toml::table& table_;
  std::string file_;
  std::string path_;
  std::set<std::string> used_;
};

}  // namespace

static void readArray(Table& top, const std::string& key, const std::string& file,
                      const std::function<void(Table&)>& body) {
  const toml::table& raw = top.raw();
  const toml::node* node = raw.get(key);
  if (!node) return;
  const toml::array* array = node->as_array();
  if (!array) top.fail(*node, key, "expected an array of tables ([[" + key + "]])");
  size_t index = 0;
  for (const toml::node& element : *array) {
    const toml::table* table = element.as_table();
    if (!table) top.fail(element, key, "expected a table");
    Table t(*table, file, key + "[" + std::to_string(index++) + "]");
    body(t);
    t.finish();
  }
}

static void readTable(Table& top, const std::string& key, const std::string& file,
                      const std::function<void(Table&)>& body) {
  const toml::node* node = top.raw().get(key);
  if (!node) return;
  const toml::table* table = node->as_table();
  if (!table) top.fail(*node, key, "expected a table ([" + key + "])");
  Table t(*table, file, key);
  body(t);
  t.finish();
}

Scenario loadScenarioText(const std::string& text, const std::string& name, const std::string& baseDir) {
  toml::table root;
  try {
    root = toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    throw ScenarioError(name + ":" + std::to_string(e.source().begin.line) + ": " +
                        std::string(e.description()));
  }

  Scenario s;
  s.name = name;
  Table top(root, name, "");
  std::set<std::string> sections = {"machine", "dimm", "chip", "pei", "sim", "call"};
  sections.insert({"rtc", "pcd"});

  readTable(top, "machine", name, [&](Table& t) {
    MachineInfo& m = s.machine;
    t.get("modules", m.modules, 0, 0xFFFFFFFF);
    t.get("localModule", m.localModule, 0, 0xFFFFFFFF);
    t.get("biRail", m.biRail, 0, 0xFFFFFFFF);
    t.get("cmm2s", m.cmm2s, 0, 0xFFFFFFFF);
    t.get("buriedCA", m.buriedCA, 0, 0xFFFFFFFF);
    t.get("physicalModule", m.physicalModule, 0, 0xFFFFFFFF);
    t.get("cpbMask", m.cpbMask, 0, 0xFFFFFFFF);
  });

  readArray(top, "dimm", name, [&](Table& t) {
    Dimm d;
    t.get("rail", d.rail, 0, 1);
    t.get("channel", d.channel, 0, 1);
    auto file = t.text("spd");
    if (!file) t.missing("spd", "(the SPD file)");
    d.file = *file;
    std::string path = std::filesystem::path(*file).is_absolute() ? *file : baseDir + "/" + *file;
    try {
      d.spd = parseSpdImage(readFileBytes(path), *file);
    } catch (const SpdError& e) {
      t.fail(t.node("spd"), "spd", e.what());
    }
    s.dimms.push_back(std::move(d));
  });

  readArray(top, "chip", name, [&](Table& t) {
    uint32_t module = 0, rail = 0;
    t.get("module", module, 0, 15);
    t.get("rail", rail, 0, 1);
    sim::zor::ChipConfig& c = s.chips[{module, rail}];
    t.get("chipId", c.chipId, 0, 0xFFFFFFFF);
  });

  // A DDRC or PUB register of one channel that reads back chosen values.
  sections.insert("ddr");
  readArray(top, "ddr", name, [&](Table& t) {
    uint32_t module = 0, rail = 0;
    sim::zor::DdrReadback r;
    t.get("module", module, 0, 15);
    t.get("rail", rail, 0, 1);
    t.get("channel", r.channel, 0, 1);
    if (module >= s.machine.modules || rail > s.machine.biRail)
      t.fail(t.raw(), "module", "no ZOR chip M" + std::to_string(module) + "R" + std::to_string(rail) +
                                    " in this machine ([machine] modules and biRail)");
    if (t.has("ddrc") == t.has("pub")) t.missing("ddrc", "or pub: the register (exactly one of them)");
    r.space = t.has("ddrc") ? sim::zor::DdrSpace::Ddrc : sim::zor::DdrSpace::Pub;
    t.get(t.has("ddrc") ? "ddrc" : "pub", r.reg, 0, r.space == sim::zor::DdrSpace::Ddrc ? 0xFFF : 0x3FF);
    auto reads = t.numbers("reads", 0, 0xFFFFFFFF);
    if (!reads) t.missing("reads", "(the values the register reads back)");
    std::vector<uint64_t> times(reads->size(), 1);
    if (auto counts = t.numbers("times", 1, 1ull << 40)) {
      if (counts->size() != reads->size()) t.fail(t.node("times"), "times", "expected one count per value of reads");
      times = *counts;
    }
    for (size_t i = 0; i < reads->size(); ++i) r.reads.push_back({static_cast<uint32_t>((*reads)[i]), times[i]});
    s.chips[{module, rail}].ddrReadbacks.push_back(std::move(r));
  });

  readTable(top, "pei", name, [&](Table& t) {
    t.get("hobBytes", s.pei.hobBytes, 64, 0x1000000);
    t.get("failAllocatePool", s.pei.failAllocatePool, 0, 1000);
    t.get("failInstallPpi", s.pei.failInstallPpi, 0, 1000);
  });

  readTable(top, "sim", name, [&](Table& t) { t.get("hangLimit", s.hangLimit, 1000, 1ull << 40); });

  readTable(top, "rtc", name, [&](Table& t) {
    sim::RtcConfig& r = s.rtc;
    if (t.has("start")) {
      const toml::node& node = t.node("start");
      t.accept("start");
      const auto* when = node.as_date_time();
      if (!when || when->get().offset)
        t.fail(node, "start", "expected a local date and time (start = 2024-03-15 13:45:30)");
      const toml::date& d = when->get().date;
      const toml::time& tm = when->get().time;
      static const uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
      if (d.year < 1970 || d.year > 2099) t.fail(node, "start", "year out of range 1970 to 2099");
      if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0))
        t.fail(node, "start", "not a date");
      if (tm.hour > 23 || tm.minute > 59 || tm.second > 59) t.fail(node, "start", "not a time of day");
      r.year = d.year;
      r.month = d.month;
      r.day = d.day;
      r.hour = tm.hour;
      r.minute = tm.minute;
      r.second = tm.second;
    }
    t.get("phaseUs", r.phaseUs, 0, 999'999);
    if (auto v = t.flag("binary")) r.binary = *v;
    if (auto v = t.flag("hour12")) r.hour12 = *v;
    if (auto v = t.flag("nmiMasked")) r.nmiMasked = *v;
    t.get("updateUs", r.updateUs, 0, 999'999);
    t.get("stuckAtUs", r.stuckAtUs, 0, 1ull << 50);
    t.get("stuckForUs", r.stuckForUs, 0, 1ull << 50);
    t.get("accessUs", r.accessUs, 0, 1'000'000);
  });

  readTable(top, "pcd", name, [&](Table& t) {
    if (auto v = t.flag("absent")) s.pcd.absent = *v;
    if (!t.has("token")) return;
    t.accept("token");
    const toml::array* array = t.node("token").as_array();
    if (!array) t.fail(t.node("token"), "token", "expected an array of tables ([[pcd.token]])");
    std::vector<sim::PcdToken> tokens;
    size_t index = 0;
    for (const toml::node& element : *array) {
      const toml::table* table = element.as_table();
      if (!table) t.fail(element, "token", "expected a table");
      Table e(*table, name, "pcd.token[" + std::to_string(index++) + "]");
      sim::PcdToken token;
      token.space = gEventVaultTokenSpaceGuid;
      if (auto text = e.text("space")) {
        auto guid = sim::parseGuid(*text);
        if (!guid) e.fail(e.node("space"), "space", "expected a GUID (D1B99B46-E509-4EDA-89AC-7A6738BB821A)");
        token.space = *guid;
      }
      auto number = e.number("number", 0, 0xFFFFFFFF);
      if (!number) throw ScenarioError(name + ": " + e.qualified("number") + ": missing (the token number)");
      token.number = static_cast<uint32_t>(*number);
      e.get("size", token.size, 1, 8);
      if (token.size != 1 && token.size != 2 && token.size != 4 && token.size != 8)
        e.fail(e.node("size"), "size", "expected 1, 2, 4 or 8 (bytes)");
      e.get("default", token.value, 0, token.size == 8 ? ~0ull : (1ull << (8 * token.size)) - 1);
      if (auto v = e.flag("rejectFirstSet")) token.rejectFirstSet = *v;
      e.finish();
      for (const sim::PcdToken& other : tokens)
        if (other.number == token.number && std::memcmp(&other.space, &token.space, sizeof token.space) == 0)
          e.fail(e.node("number"), "number", "token declared twice");
      tokens.push_back(token);
    }
    s.pcd.tokens = std::move(tokens);
  });

  if (top.has("call")) {
    std::vector<Call> calls;
    readArray(top, "call", name, [&](Table& t) {
      Call c;
      auto op = t.text("op");
      if (!op) t.missing("op", "(the operation)");
      const OpSpec* operation = findOperation(*op);
      if (!operation) t.fail(t.node("op"), "op", "unknown operation '" + *op + "'");
      c.op = *op;
      c.where = name + ":" + lineOf(t.node("op"));
      for (const ArgSpec& arg : operation->args) {
        // An optional argument left out is the operation's to supply.
        if (arg.optional && !t.has(arg.name)) continue;
        uint64_t max = arg.bits == 64 ? ~0ull : ((1ull << arg.bits) - 1);
        if (auto v = t.number(arg.name, 0, max))
          c.args[arg.name] = *v;
        else if (!operation->argsFromMachine)
          t.missing(arg.name, "argument of " + *op);
      }
      calls.push_back(std::move(c));
    });
    s.calls = std::move(calls);
  }

  for (const auto& [key, node] : root)
    if (!sections.count(std::string(key.str())))
      top.fail(node, std::string(key.str()), "unknown key");
  return s;
}

Scenario loadScenarioFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = readFileBytes(path);
  } catch (const SpdError&) {
    throw ScenarioError(path + ": cannot open");
  }
  std::string base = std::filesystem::path(path).parent_path().string();
  return loadScenarioText(std::string(bytes.begin(), bytes.end()), path, base.empty() ? "." : base);
}

Scenario defaultScenario() {
  for (const auto& f : embeddedFiles())
    if (std::string(f.path) == "scenarios/default.toml") {
      Scenario s = loadScenarioText(std::string(f.bytes, f.bytes + f.size), "scenarios/default.toml", "scenarios");
      s.name = "built-in default";
      return s;
    }
  throw ScenarioError("the built-in default scenario is missing");
}

sim::Platform::Config platformConfig(const Scenario& scenario) {
  sim::Platform::Config config;
  config.zor.modules = scenario.machine.modules;
  if (config.zor.modules < 1) config.zor.modules = 1;
  if (config.zor.modules > 16) config.zor.modules = 16;
  config.zor.rails = scenario.machine.biRail >= 1 ? 2 : 1;
  config.zor.chips = scenario.chips;
  config.hobBytes = scenario.pei.hobBytes;
  config.rtc = scenario.rtc;
  config.pcd.tokens = scenario.pcd.tokens ? *scenario.pcd.tokens : standardPcdTokens();
  return config;
}

}  // namespace zorsim

namespace zorsim {

std::vector<sim::PcdToken> standardPcdTokens() {
  sim::PcdToken base;
  base.space = gEventVaultTokenSpaceGuid;
  base.number = EVENT_VAULT_PCD_BASE_TOKEN;
  base.size = 4;
  sim::PcdToken size = base;
  size.number = EVENT_VAULT_PCD_SIZE_TOKEN;
  return {base, size};
}

}  // namespace zorsim
