#include "Scenario.h"

#include <filesystem>
#include <set>
#include <sstream>

#include <toml++/toml.h>

#include "Calls.h"
#include "EmbeddedFiles.h"
#include "SpdImage.h"

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

  if (top.has("call")) {
    std::vector<Call> calls;
    readArray(top, "call", name, [&](Table& t) {
      Call c;
      auto op = t.text("op");
      if (!op) t.missing("op", "(the operation)");
      const OpSpec* spec = findOperation(*op);
      if (!spec) t.fail(t.node("op"), "op", "unknown operation '" + *op + "'");
      c.op = *op;
      c.where = name + ":" + lineOf(t.node("op"));
      for (const ArgSpec& arg : spec->args) {
        uint64_t max = arg.bits == 64 ? ~0ull : ((1ull << arg.bits) - 1);
        if (auto v = t.number(arg.name, 0, max))
          c.args[arg.name] = *v;
        else if (!spec->argsFromMachine)
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
  return config;
}

}  // namespace zorsim
