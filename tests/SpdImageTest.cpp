// SPD image files as users have them: raw binary, `hexdump -C` text and
// i2cdump text, each parsed to the EEPROM's bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SpdImage.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes scenarioSpd(const std::string& name) { return fileBytes(ZOR_SOURCE_DIR "/scenarios/spd/" + name); }
Bytes testSpd(const std::string& name) { return fileBytes(ZOR_TEST_DIR "/spd/" + name); }

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string parseError(const Bytes& contents) {
  try {
    zorsim::parseSpdImage(contents, "dump.txt");
  } catch (const zorsim::SpdError& e) {
    return e.what();
  }
  return "no error";
}

// Text dumps of the same EEPROM contents as a binary file in scenarios/spd.
struct DumpRow {
  const char* dump;    // under tests/spd
  const char* binary;  // under scenarios/spd
  size_t bytes;        // how many bytes the dump holds
  size_t first = 0;    // the first byte it holds (i2cdump -r)
};

class TextDump : public testing::TestWithParam<DumpRow> {};

TEST_P(TextDump, GivesTheBytesOfTheBinaryImage) {
  const DumpRow& row = GetParam();
  Bytes spd = zorsim::parseSpdImage(testSpd(row.dump), row.dump);
  Bytes expected = scenarioSpd(row.binary);
  expected.resize(row.bytes);
  for (size_t i = 0; i < row.first; ++i) expected[i] = 0;  // not dumped: zero
  EXPECT_EQ(spd, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dumps, TextDump,
    testing::Values(
        // hexdump -C of a 512-byte image: "*" stands for repeated lines, the
        // last line is the file's length.
        DumpRow{"ref-16GB-2Rx8.hexdump.txt", "ref-16GB-2Rx8.bin", 512},
        DumpRow{"hynix-HMA42GR7MFR4N-TF.hexdump.txt", "hynix-HMA42GR7MFR4N-TF-16GB-2Rx4-RDIMM-2133.bin", 256},
        // i2cdump of the EEPROM's first page, after i2cdump's prompts.
        DumpRow{"micron-36ASF8G72PZ-3G2E1.i2cdump.txt", "micron-36ASF8G72PZ-3G2E1-64GB-2Rx4-RDIMM.bin", 256},
        // Two i2cdumps, one per 256-byte page of a DDR4 SPD, each numbered
        // from 00.
        DumpRow{"ref-32GB-2Rx4.i2cdump.txt", "ref-32GB-2Rx4.bin", 512},
        // i2cdump -r 5-45: blanks stand for the bytes outside the range.
        DumpRow{"hynix-HMA82GR7JJR4N-VK-bytes-5-to-45.i2cdump.txt", "hynix-HMA82GR7JJR4N-VK-16GB-1Rx4-RDIMM.bin",
                46, 5}));

TEST(SpdImage, BinaryImagesAreTakenAsTheyAre) {
  Bytes ref = scenarioSpd("ref-32GB-2Rx4.bin");
  ASSERT_EQ(ref.size(), 512u);
  EXPECT_EQ(zorsim::parseSpdImage(ref, "ref.bin"), ref);
  Bytes half(ref.begin(), ref.begin() + 256);
  EXPECT_EQ(zorsim::parseSpdImage(half, "half.bin"), half);
}

TEST(SpdImage, RejectsWhatIsNoSpdImage) {
  Bytes big(513, 0);
  EXPECT_EQ(parseError(big), "dump.txt: 513 bytes; an SPD image has at most 512");
  EXPECT_EQ(parseError({}), "dump.txt: empty file");
  EXPECT_EQ(parseError(text("hello\nworld\n")), "dump.txt: no SPD bytes found in the text dump");
  EXPECT_EQ(parseError(text("00000200  01 02\n")), "dump.txt:1: data beyond byte 511");
  // Offsets too long for any address are text, not data.
  EXPECT_EQ(parseError(text("123456789012345678901234  01\n123456789:\n")),
            "dump.txt: no SPD bytes found in the text dump");
  // A third i2cdump page would lie beyond the EEPROM.
  std::string page;
  for (int row = 0; row < 16; ++row) {
    char line[16];
    std::snprintf(line, sizeof line, "%02x: 00\n", row * 16);
    page += line;
  }
  EXPECT_EQ(parseError(text(page + page + page)), "dump.txt:33: data beyond byte 511");
}

TEST(SpdImage, ReadsUnreadableI2cBytesAsFF) {
  Bytes spd = zorsim::parseSpdImage(text("00: 23 XX 0c xx\r\n"), "dump.txt");
  EXPECT_EQ(spd, (Bytes{0x23, 0xFF, 0x0C, 0xFF}));
}

TEST(SpdImage, HexdumpAsciiColumnIsNotData) {
  Bytes spd = zorsim::parseSpdImage(text("00000000  41 42 43  |41 42 43|\n00000003\n"), "dump.txt");
  EXPECT_EQ(spd, (Bytes{0x41, 0x42, 0x43}));
}

}  // namespace
