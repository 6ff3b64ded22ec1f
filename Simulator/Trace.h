// Record of every access the firmware makes, in the text format:
//   W FB002118 80000000  M0R0 IOA+0x118     MMIO write (R for read)
//   O 0070 89                               port out (I for in)
//   D 1000000                               delay in microseconds
//   # ...                                   comment (call boundaries, halts)
// The first three fields are the contract; the annotation names the register.
// Records are kept in memory when recording is on (tests read them) and
// written as text when a stream is attached. With both off, an access costs
// one test of a flag.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace sim {

struct TraceRecord {
  char op;          // 'R', 'W', 'I', 'O', 'D' or '#'
  uint64_t address; // MMIO address or port; 0 for D and #
  uint64_t value;   // value, or microseconds for D
  std::string note; // annotation or comment text
};

class Trace {
 public:
  bool on() const { return record_ || out_ != nullptr; }

  void setRecording(bool on) { record_ = on; }
  void setStream(std::ostream* out) { out_ = out; }

  void mmio(char op, uint64_t address, uint32_t value, std::string note);
  void port(char op, uint16_t port, uint8_t value, std::string note);
  void delay(uint64_t us);
  void comment(const std::string& text);

  const std::vector<TraceRecord>& records() const { return records_; }
  void clear() { records_.clear(); }

  // One record as a line of the text format (no newline).
  static std::string format(const TraceRecord& r);
  // All recorded lines, each ending in '\n'.
  std::string text() const;

 private:
  void add(TraceRecord r);

  bool record_ = false;
  std::ostream* out_ = nullptr;
  std::vector<TraceRecord> records_;
};

}  // namespace sim
