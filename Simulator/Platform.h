// The simulated platform the modules run on: processor state, virtual clock,
// bus with its device models, PEI Foundation and the debug text sink. The
// host instances of the framework libraries reach it through current().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Bus.h"
#include "Clock.h"
#include "PcdDatabase.h"
#include "PeiFoundation.h"
#include "Rtc.h"
#include "Stop.h"
#include "Trace.h"
#include "Zor/Chip.h"

namespace sim {

class Platform {
 public:
  struct Config {
    zor::ZorMachine::Config zor;
    size_t hobBytes = 64 * 1024;
    RtcConfig rtc;
    PcdConfig pcd;
  };

  Platform();
  explicit Platform(const Config& config);
  ~Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  // The platform the framework libraries talk to: the one constructed last.
  static Platform& current();
  static Platform* currentOrNull();

  Clock& clock() { return clock_; }
  Trace& trace() { return trace_; }
  const Trace& trace() const { return trace_; }
  Bus& bus() { return bus_; }
  PeiFoundation& pei() { return pei_; }
  zor::ZorMachine& zor() { return *zor_; }
  Rtc& rtc() { return *rtc_; }
  // Serves EFI_PEI_PCD_PPI once installed (pcd().install(pei())).
  PcdDatabase& pcd() { return *pcd_; }

  // Processor state.
  bool interrupts() const { return interrupts_; }
  // A change of the interrupt flag shows in the trace as a comment.
  void setInterrupts(bool on);
  uint64_t pauses() const { return pauses_; }
  void pause() { ++pauses_; }
  void delay(uint64_t us);
  // A dead loop never returns on hardware; here it halts the machine with the
  // last debug line (the fatal check's text) and ends the current call.
  [[noreturn]] void deadLoop();

  // Debug text exactly as the firmware wrote it (with "\r\n").
  void debugWrite(const char* text, size_t length);
  const std::string& debugText() const { return debug_; }
  // The same with "\r\n" as "\n": what a terminal shows.
  std::string debugLog() const;
  void clearDebug() { debug_.clear(); }
  // Called with each piece of debug text as it is written.
  void setDebugEcho(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }

  // Runs one firmware call (an entry point or a PPI slot). A halt or hang
  // ends the call and leaves the machine stopped; a stopped machine refuses
  // every later call.
  struct Outcome {
    bool completed = false;
    bool refused = false;
    std::string report;  // the halt or hang report, or why the call was refused
  };
  Outcome run(const std::string& label, const std::function<void()>& call);
  EFI_STATUS dispatch(const std::string& module, EFI_PEIM_ENTRY_POINT2 entry, Outcome* outcome = nullptr);

  bool stopped() const { return stopped_; }
  MachineStopped::Kind stopKind() const { return stopKind_; }
  const std::string& stopReport() const { return stopReport_; }

 private:
  Clock clock_;
  Trace trace_;
  Bus bus_{trace_};
  PeiFoundation pei_;
  std::unique_ptr<zor::ZorMachine> zor_;
  std::unique_ptr<Rtc> rtc_;
  std::unique_ptr<PcdDatabase> pcd_;

  bool interrupts_ = true;
  uint64_t pauses_ = 0;
  std::string debug_;
  std::string lastLine_;
  std::function<void(const std::string&)> echo_;

  bool stopped_ = false;
  MachineStopped::Kind stopKind_ = MachineStopped::Kind::Halt;
  std::string stopReport_;
  Platform* previous_ = nullptr;
};

// Text without colour escapes ("\033[...m").
std::string stripColour(const std::string& text);

}  // namespace sim
