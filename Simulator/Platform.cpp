#include "Platform.h"

#include <stdexcept>

namespace sim {
namespace {
Platform* gCurrent = nullptr;
}

std::string stripColour(const std::string& text) {
  std::string plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\033' && i + 1 < text.size() && text[i + 1] == '[') {
      size_t end = text.find('m', i);
      if (end != std::string::npos) {
        i = end;
        continue;
      }
    }
    plain += text[i];
  }
  return plain;
}

Platform::Platform() : Platform(Config{}) {}

Platform::Platform(const Config& config) : pei_(config.hobBytes) {
  zor_ = std::make_unique<zor::ZorMachine>(config.zor, bus_, clock_);
  rtc_ = std::make_unique<Rtc>(config.rtc, clock_);
  bus_.mapPorts(Rtc::kIndexPort, Rtc::kDataPort, rtc_.get());
  pcd_ = std::make_unique<PcdDatabase>(config.pcd, trace_);
  previous_ = gCurrent;
  gCurrent = this;
}

Platform::~Platform() {
  if (gCurrent == this) gCurrent = previous_;
}

Platform& Platform::current() {
  if (!gCurrent) throw std::logic_error("no simulated platform");
  return *gCurrent;
}

Platform* Platform::currentOrNull() { return gCurrent; }

void Platform::delay(uint64_t us) {
  clock_.advance(us);
  if (trace_.on()) trace_.delay(us);
}

void Platform::setInterrupts(bool on) {
  if (on != interrupts_ && trace_.on()) trace_.comment(on ? "interrupts on" : "interrupts off");
  interrupts_ = on;
}

void Platform::deadLoop() {
  std::string text = lastLine_.empty() ? "CpuDeadLoop" : lastLine_;
  if (trace_.on()) trace_.comment("halted: " + text);
  throw MachineStopped{MachineStopped::Kind::Halt, text};
}

void Platform::debugWrite(const char* text, size_t length) {
  std::string piece(text, length);
  debug_ += piece;
  // Keep the last complete line, without colours and line ends, for reports.
  size_t end = debug_.find_last_not_of("\r\n");
  if (end != std::string::npos) {
    size_t start = debug_.find_last_of('\n', end);
    start = (start == std::string::npos) ? 0 : start + 1;
    lastLine_ = stripColour(debug_.substr(start, end + 1 - start));
  }
  if (echo_) echo_(piece);
}

std::string Platform::debugLog() const {
  std::string log;
  log.reserve(debug_.size());
  for (size_t i = 0; i < debug_.size(); ++i) {
    if (debug_[i] == '\r' && i + 1 < debug_.size() && debug_[i + 1] == '\n') continue;
    log += debug_[i];
  }
  return log;
}

Platform::Outcome Platform::run(const std::string& label, const std::function<void()>& call) {
  Outcome outcome;
  if (stopped_) {
    outcome.refused = true;
    outcome.report = label + " refused: the machine " +
                     (stopKind_ == MachineStopped::Kind::Halt ? "halted" : "hung") + " earlier (" +
                     stopReport_ + ")";
    return outcome;
  }
  if (trace_.on()) trace_.comment(label);
  try {
    call();
    outcome.completed = true;
  } catch (const MachineStopped& stop) {
    stopped_ = true;
    stopKind_ = stop.kind;
    stopReport_ = stop.report;
    outcome.report = stop.report;
  }
  return outcome;
}

EFI_STATUS Platform::dispatch(const std::string& module, EFI_PEIM_ENTRY_POINT2 entry, Outcome* outcome) {
  EFI_STATUS status = EFI_NOT_READY;
  Outcome result = run("dispatch " + module, [&] { status = pei_.dispatch(entry); });
  if (outcome) *outcome = result;
  return status;
}

}  // namespace sim
