// Helpers shared by the routing and late-init suites.
#pragma once

#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "Machine.h"
#include "Simulator/Zor/Routing.h"

namespace test {

// The routing state that the model keeps for a module and rail.
inline sim::zor::RoutingView routingOf(Machine& m, uint32_t module = 0, uint32_t rail = 0) {
  return sim::zor::RoutingView(m.platform.zor().chip(module, rail));
}

inline std::vector<Access> w(std::initializer_list<std::pair<uint64_t, uint64_t>> list) {
  std::vector<Access> out;
  for (auto [address, value] : list) out.push_back({'W', address, value});
  return out;
}

// Every value written to one address, in order.
inline std::vector<uint64_t> valuesWrittenTo(const Machine& m, uint64_t address) {
  std::vector<uint64_t> values;
  for (const Access& a : m.writes())
    if (a.address == address) values.push_back(a.value);
  return values;
}

// The call halted on the fatal check `expression` of `file`: the machine
// stopped with "<expression> failed at <file>:<line>", and the debug text
// holds that line in red at its end.
inline ::testing::AssertionResult haltedOn(const sim::Platform::Outcome& outcome, const Machine& m,
                                           const std::string& expression, const std::string& file) {
  std::string prefix = expression + " failed at " + file + ":";
  if (outcome.completed) return ::testing::AssertionFailure() << "the call completed";
  if (outcome.report.rfind(prefix, 0) != 0)
    return ::testing::AssertionFailure() << "halt report \"" << outcome.report << "\", expected \"" << prefix << "N\"";
  std::string log = m.log();
  std::string red = "\033[31m" + prefix;
  size_t at = log.rfind(red);
  if (at == std::string::npos) return ::testing::AssertionFailure() << "no red fatal line in: " << log;
  std::string tail = log.substr(at + red.size());
  if (tail.find_first_not_of("0123456789") == 0 || tail.substr(tail.find_first_not_of("0123456789")) != "\033[0m\n")
    return ::testing::AssertionFailure() << "fatal line does not end in <line>\\e[0m\\n: " << tail;
  return ::testing::AssertionSuccess();
}

}  // namespace test
