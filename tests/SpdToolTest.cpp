// `zorsim spd FILE...`: the firmware's own decode of SPD dumps, its listing,
// each DIMM's capacity, and an exit status that says whether every DIMM can
// be used.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "SpdTool.h"

namespace {

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun spdTool(const std::vector<std::string>& files) {
  std::ostringstream out, err;
  int status = zorsim::runSpdTool(files, false, out, err);
  return {status, out.str(), err.str()};
}

std::string spd(const std::string& name) { return std::string(ZOR_SOURCE_DIR) + "/scenarios/spd/" + name; }
std::string testSpd(const std::string& name) { return std::string(ZOR_TEST_DIR) + "/spd/" + name; }

bool hasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(SpdTool, UsableDimmShowsItsListingAndCapacity) {
  ToolRun run = spdTool({spd("ref-32GB-2Rx4.bin")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  std::string file = spd("ref-32GB-2Rx4.bin");
  EXPECT_EQ(run.out.rfind("== " + file + " (512 bytes)\nRail 0 Channel 0 32GB RDIMM 2Rx4\n", 0), 0u) << run.out;
  EXPECT_TRUE(hasLine(run.out, "- tRTODT 0t")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "== " + file + ": usable, 34359738368 bytes (32 GiB)")) << run.out;
  EXPECT_EQ(run.out.find('\033'), std::string::npos) << "no colours unless asked";
}

struct UnusableRow {
  const char* file;
  const char* reason;
};

class SpdToolUnusable : public testing::TestWithParam<UnusableRow> {};

TEST_P(SpdToolUnusable, ExitsWithTheFirmwaresReason) {
  ToolRun run = spdTool({spd(GetParam().file)});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(hasLine(run.out, "!! " + spd(GetParam().file) + ": cannot be used: " + GetParam().reason)) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, SpdToolUnusable,
    testing::Values(
        UnusableRow{"bad-crc1.bin", "Rail 0 channel 0 DIMM SPD checksum 1 failure"},
        UnusableRow{"bad-not-ddr4.bin", "Rail 0 channel 0 doesn't have DDR4 SDRAM"},
        UnusableRow{"bad-not-rdimm.bin", "Rail 0 channel 0 isn't a RDIMM"},
        UnusableRow{"bad-no-ecc.bin", "Rail 0 channel 0 doesn't support ECC"},
        UnusableRow{"bad-ddr4-2400.bin", "DDR4 DIMM doesn't support DDR4-2666"},
        UnusableRow{"bad-die-code-10.bin", "capacity 0 (byte 4 bits 3:0 = 10, a reserved die-capacity code)"},
        UnusableRow{"hynix-HMA42GR7MFR4N-TF-16GB-2Rx4-RDIMM-2133.bin", "DDR4 DIMM doesn't support DDR4-2666"},
        UnusableRow{"samsung-M386AAK40B40-CWD70-128GB-LRDIMM-3DS4H.bin", "Rail 0 channel 0 isn't a RDIMM"}));

TEST(SpdTool, FatalCheckIsReportedAsAHalt) {
  // An x16 DIMM: byte 12 = 0x0A, both CRCs fixed.
  std::ifstream in(spd("ref-32GB-2Rx4.bin"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes[12] = 0x0A;
  uint16_t crc = 0;
  for (int i = 0; i < 126; ++i) {
    crc ^= static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) << 8);
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
  }
  bytes[126] = static_cast<char>(crc & 0xFF);
  bytes[127] = static_cast<char>(crc >> 8);
  std::string path = testing::TempDir() + "x16.bin";
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  ToolRun run = spdTool({path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("!! " + path +
                         ": cannot be used: the firmware halts on this DIMM: dimm->width == 4 || dimm->width == 8 "
                         "failed at TARVO3/ZorPei/SpdDecode.cpp:"),
            std::string::npos)
      << run.out;
}

TEST(SpdTool, TextDumpsAndSeveralFiles) {
  ToolRun run = spdTool({testSpd("micron-36ASF8G72PZ-3G2E1.i2cdump.txt"), testSpd("ref-16GB-2Rx8.hexdump.txt")});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(hasLine(run.out, "Rail 0 Channel 0 64GB RDIMM 2Rx4")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "Rail 0 Channel 0 16GB RDIMM 2Rx8")) << run.out;
}

TEST(SpdTool, OneBadDimmAmongGoodOnesFailsTheRun) {
  ToolRun run = spdTool({spd("ref-16GB-2Rx8.bin"), spd("bad-no-ecc.bin"), spd("ref-32GB-2Rx4.bin")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(hasLine(run.out, "== " + spd("ref-32GB-2Rx4.bin") + ": usable, 34359738368 bytes (32 GiB)"))
      << "every file is decoded";
}

TEST(SpdTool, UnreadableFileIsAnError) {
  ToolRun run = spdTool({"/nonexistent/dimm.bin", spd("ref-16GB-2Rx8.bin")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zorsim spd: /nonexistent/dimm.bin: cannot open\n");
  EXPECT_TRUE(hasLine(run.out, "== " + spd("ref-16GB-2Rx8.bin") + ": usable, 17179869184 bytes (16 GiB)"));
}

// The command itself, and files built into zorsim (scenarios/spd).
TEST(SpdTool, Command) {
  std::string out = testing::TempDir() + "spd.out";
  std::string command = std::string("cd / && ") + ZORSIM_BINARY +
                        " spd --no-color scenarios/spd/ref-16GB-2Rx8.bin scenarios/spd/bad-no-ecc.bin > " + out +
                        " 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_TRUE(hasLine(text.str(), "== scenarios/spd/ref-16GB-2Rx8.bin: usable, 17179869184 bytes (16 GiB)"))
      << text.str();
  EXPECT_TRUE(hasLine(text.str(),
                      "!! scenarios/spd/bad-no-ecc.bin: cannot be used: Rail 0 channel 0 doesn't support ECC"))
      << text.str();
}

}  // namespace
