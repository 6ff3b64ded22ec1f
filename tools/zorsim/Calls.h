// The operations a scenario can call, with their arguments: every slot of
// TARVO3_ZOR_PPI by its name, and steps that stand for a series of calls.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Scenario.h"

namespace zorsim {

class Runner;

struct ArgSpec {
  const char* name;
  unsigned bits;  // 8, 16, 32 or 64: the range of the argument
  bool optional = false;  // may be left out (the operation says what it then takes)
};

struct OpSpec {
  const char* name;
  std::vector<ArgSpec> args;
  // Arguments that a call may leave out are taken from [machine].
  bool argsFromMachine = false;
  // Makes the call; returns the slot's result, if it has one.
  std::function<std::optional<uint64_t>(Runner&, const Call&)> invoke;
};

const std::vector<OpSpec>& operations();
const OpSpec* findOperation(const std::string& name);

// The calls that platform code makes in the documented order, for a scenario
// without a call list.
std::vector<Call> standardCalls(const Scenario& scenario);

}  // namespace zorsim
