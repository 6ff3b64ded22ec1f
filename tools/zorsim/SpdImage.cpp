#include "SpdImage.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "EmbeddedFiles.h"

namespace zorsim {
namespace {

constexpr size_t kSpdMax = 512;

bool looksLikeText(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return false;
  for (uint8_t b : bytes)
    if (!(b == '\n' || b == '\r' || b == '\t' || (b >= 0x20 && b < 0x7F))) return false;
  return true;
}

bool isHex(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Reads up to 16 two-digit byte tokens from `rest` (a hexdump -C line after
// its offset). Stops at the first token that is not a byte.
std::vector<uint8_t> byteTokens(const std::string& rest) {
  std::vector<uint8_t> bytes;
  std::istringstream in(rest);
  std::string token;
  while (bytes.size() < 16 && in >> token) {
    if (token.size() == 2 && isHex(token))
      bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    else
      break;
  }
  return bytes;
}

// i2cdump prints byte j of a row in a fixed column, "%02x " from the column
// after "xx: ", and blanks in place of the bytes outside a -r range: read its
// bytes by column, as (position in the row, value). "XX" (an unreadable
// byte) reads as 0xFF. Stops at the first cell that is neither.
std::vector<std::pair<size_t, uint8_t>> i2cCells(const std::string& line, size_t first) {
  std::vector<std::pair<size_t, uint8_t>> cells;
  for (size_t j = 0; j < 16; ++j) {
    size_t column = first + 3 * j;
    if (column + 2 > line.size()) break;
    std::string cell = line.substr(column, 2);
    if (cell == "  ") continue;
    if (cell == "XX" || cell == "xx")
      cells.push_back({j, 0xFF});
    else if (isHex(cell))
      cells.push_back({j, static_cast<uint8_t>(std::stoul(cell, nullptr, 16))});
    else
      break;
  }
  return cells;
}

std::vector<uint8_t> parseText(const std::string& text, const std::string& name) {
  std::map<size_t, uint8_t> image;
  std::istringstream in(text);
  std::string line;
  std::vector<uint8_t> previous;
  size_t previousAddress = 0;
  bool repeat = false;
  size_t page = 0;
  size_t lastI2c = 0;
  bool sawI2c = false;
  int lineNo = 0;

  auto place = [&](size_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (address + i >= kSpdMax)
        throw SpdError(name + ":" + std::to_string(lineNo) + ": data beyond byte 511");
      image[address + i] = bytes[i];
    }
  };

  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = line.substr(0, line.find_last_not_of(" \t") + 1);
    if (trimmed.empty()) continue;
    if (trimmed == "*") {  // hexdump: lines like the previous one follow
      repeat = true;
      continue;
    }
    std::istringstream fields(trimmed);
    std::string first;
    fields >> first;
    if (first.size() >= 2 && first.size() <= 5 && first.back() == ':' && isHex(first.substr(0, first.size() - 1))) {
      // i2cdump: "00: 92 13 0b ...". DDR4 SPD dumps come as two 256-byte
      // pages, each numbered from 00.
      size_t row = std::stoul(first.substr(0, first.size() - 1), nullptr, 16);
      if (sawI2c && row <= lastI2c) page += 256;
      lastI2c = row;
      sawI2c = true;
      for (const auto& [column, value] : i2cCells(line, line.find(':') + 2)) place(page + row + column, {value});
      continue;
    }
    if (first.size() < 7 || first.size() > 16 || !isHex(first)) continue;  // a header line or other text
    size_t address = std::stoul(first, nullptr, 16);  // hexdump -C: "00000010  ..."
    std::string rest;
    std::getline(fields, rest);
    rest = rest.substr(0, rest.find('|'));
    std::vector<uint8_t> bytes = byteTokens(rest);
    if (repeat) {
      for (size_t a = previousAddress + previous.size(); a + previous.size() <= address; a += previous.size())
        place(a, previous);
      repeat = false;
    }
    if (bytes.empty()) continue;  // hexdump's closing offset line
    place(address, bytes);
    previous = bytes;
    previousAddress = address;
  }
  if (image.empty()) throw SpdError(name + ": no SPD bytes found in the text dump");
  std::vector<uint8_t> spd(image.rbegin()->first + 1, 0);
  for (const auto& [address, value] : image) spd[address] = value;
  return spd;
}

}  // namespace

std::vector<uint8_t> parseSpdImage(const std::vector<uint8_t>& contents, const std::string& name) {
  if (looksLikeText(contents)) return parseText(std::string(contents.begin(), contents.end()), name);
  if (contents.size() > kSpdMax)
    throw SpdError(name + ": " + std::to_string(contents.size()) +
                   " bytes; an SPD image has at most 512");
  if (contents.empty()) throw SpdError(name + ": empty file");
  return contents;
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (in) return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const auto& f : embeddedFiles())
    if (path == f.path) return {f.bytes, f.bytes + f.size};
  throw SpdError(path + ": cannot open");
}

}  // namespace zorsim
