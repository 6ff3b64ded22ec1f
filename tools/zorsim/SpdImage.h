// SPD images as users have them: raw binary EEPROM contents (up to 512
// bytes), or a text dump as `hexdump -C` or i2cdump print it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorsim {

struct SpdError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Parses file contents; `name` is used in error messages.
std::vector<uint8_t> parseSpdImage(const std::vector<uint8_t>& contents, const std::string& name);

// Reads a file (from disk, or built into zorsim under scenarios/).
std::vector<uint8_t> readFileBytes(const std::string& path);

}  // namespace zorsim
