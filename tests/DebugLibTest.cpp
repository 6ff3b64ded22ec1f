// DebugLib: the print-level mask, the debug-disable HOB and the fatal check.
#include <gtest/gtest.h>

#include "Machine.h"

extern "C" {
#include <Library/DebugLib.h>
}

namespace {

const EFI_GUID kDebugDisable = {0x31271B47, 0x5E95, 0x437C, {0xA5, 0x00, 0x48, 0x23, 0x2F, 0x26, 0x0E, 0x88}};

struct LevelRow {
  UINTN level;
  bool printed;
};

class PrintLevelMask : public ::testing::TestWithParam<LevelRow> {};

TEST_P(PrintLevelMask, PrintsOnlyLevelsInTheMask) {
  sim::Platform platform;
  DebugPrint(GetParam().level, "x=%u\n", 7u);
  EXPECT_EQ(platform.debugText(), GetParam().printed ? "x=7\r\n" : "");
}

INSTANTIATE_TEST_SUITE_P(DebugLib, PrintLevelMask,
                         ::testing::Values(LevelRow{0x1, true}, LevelRow{0x2, true}, LevelRow{0x4, true},
                                           LevelRow{0x8, true}, LevelRow{0x40, true},
                                           LevelRow{0x08000000, true}, LevelRow{0x80000000, true},
                                           LevelRow{0x10, false}, LevelRow{0x20, false},
                                           LevelRow{0x80, false}, LevelRow{0x400000, false},
                                           LevelRow{0x04000000, false}));

TEST(DebugLib, HobWithFirstByteZeroSilencesEverything) {
  sim::Platform platform;
  ASSERT_TRUE(platform.pei().addGuidHob(kDebugDisable, {0x00, 0x01}));
  DebugPrint(DEBUG_ERROR, "fatal\n");
  DebugPrint(DEBUG_INFO, "info\n");
  EXPECT_EQ(platform.debugText(), "");
}

TEST(DebugLib, HobWithFirstByteNonZeroLeavesPrintingOn) {
  sim::Platform platform;
  ASSERT_TRUE(platform.pei().addGuidHob(kDebugDisable, {0x01}));
  DebugPrint(DEBUG_INFO, "info\n");
  EXPECT_EQ(platform.debugText(), "info\r\n");
}

TEST(DebugLib, CheckedMacroFormatsLikeDebugPrint) {
  sim::Platform platform;
  UINT64 base = 0x100000000ull;
  UINT8 dm = 1;
  DEBUG((DEBUG_INFO, "Routing MMIO-H %lx to %u.%a\n", base, dm, "s"));
  EXPECT_EQ(platform.debugText(), "Routing MMIO-H 100000000 to 1.s\r\n");
}

TEST(DebugLib, FatalCheckPrintsRedTextAtErrorLevelAndHalts) {
  sim::Platform platform;
  UINT32 modules = 2, dm = 3;
  bool after = false;
  auto outcome = platform.run("check", [&] {
    FATAL_CHECK(dm < modules);
    after = true;
  });
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(after);
  EXPECT_EQ(platform.debugText(),
            "\033[31mdm < modules failed at tests/DebugLibTest.cpp:" + std::to_string(__LINE__ - 6) +
                "\033[0m\r\n");
  EXPECT_EQ(outcome.report, "dm < modules failed at tests/DebugLibTest.cpp:" + std::to_string(__LINE__ - 8));
  EXPECT_TRUE(platform.stopped());
}

}  // namespace
