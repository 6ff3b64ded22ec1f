// `zorsim spd FILE...`: decodes SPD dumps of real DIMMs with the firmware's
// own decodeSpd, on a simulated platform, and tells whether the ZOR can use
// each DIMM.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace zorsim {

// What the firmware made of one SPD image.
struct SpdVerdict {
  bool halted = false;   // a fatal check stopped the firmware
  uint64_t capacity = 0; // bytes; 0 when the DIMM cannot be used
  std::string text;      // the firmware's text ("\n" line ends, colours kept)
  std::string reason;    // why it cannot be used, without colours; empty when usable
};

// Stages the bytes through setSpdByte (rail 0, channel 0) of a freshly
// dispatched ZorPei and calls decodeSpd on its record.
SpdVerdict decodeSpdImage(const std::vector<uint8_t>& spd);

// Decodes every file (raw binary or a text dump); prints each one's listing
// and verdict to out and file errors to err. Returns 0 when every DIMM can be
// used, 1 when one cannot, 2 when a file cannot be read or parsed.
int runSpdTool(const std::vector<std::string>& files, bool colour, std::ostream& out, std::ostream& err);

}  // namespace zorsim
