// How the simulated machine stops: a fatal check that reached CpuDeadLoop
// (halt), or a poll that can never end (hang). Either ends the current
// firmware call; the platform stays stopped and refuses further calls.
#pragma once

#include <string>

namespace sim {

struct MachineStopped {
  enum class Kind { Halt, Hang };
  Kind kind;
  std::string report;
};

}  // namespace sim
