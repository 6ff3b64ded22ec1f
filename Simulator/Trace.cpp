#include "Trace.h"

#include <cstdio>
#include <ostream>

namespace sim {

std::string Trace::format(const TraceRecord& r) {
  char head[64];
  switch (r.op) {
    case 'R':
    case 'W':
      std::snprintf(head, sizeof head, "%c %08llX %08llX", r.op,
                    static_cast<unsigned long long>(r.address),
                    static_cast<unsigned long long>(r.value));
      break;
    case 'I':
    case 'O':
      std::snprintf(head, sizeof head, "%c %04llX %02llX", r.op,
                    static_cast<unsigned long long>(r.address),
                    static_cast<unsigned long long>(r.value));
      break;
    case 'D':
      std::snprintf(head, sizeof head, "D %llu", static_cast<unsigned long long>(r.value));
      return head;
    default:
      return "# " + r.note;
  }
  std::string line = head;
  if (!r.note.empty()) line += "  " + r.note;
  return line;
}

std::string Trace::text() const {
  std::string all;
  for (const auto& r : records_) all += format(r) + "\n";
  return all;
}

void Trace::add(TraceRecord r) {
  if (out_) *out_ << format(r) << '\n';
  if (record_) records_.push_back(std::move(r));
}

void Trace::mmio(char op, uint64_t address, uint32_t value, std::string note) {
  add({op, address, value, std::move(note)});
}

void Trace::port(char op, uint16_t port, uint8_t value, std::string note) {
  add({op, port, value, std::move(note)});
}

void Trace::delay(uint64_t us) { add({'D', 0, us, {}}); }

void Trace::comment(const std::string& text) { add({'#', 0, 0, text}); }

}  // namespace sim
