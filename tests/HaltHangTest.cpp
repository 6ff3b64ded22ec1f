// Halts and hangs of the simulated machine.
#include <gtest/gtest.h>

#include "Machine.h"

extern "C" {
#include <Library/BaseLib.h>
#include <Library/IoLib.h>
#include <Library/TimerLib.h>
}

namespace {

TEST(Halt, EndsTheCallAndRefusesLaterCalls) {
  test::Machine m;
  auto halted = m.run([&] { m.zor->setModuleInfo(m.zor, 0, 0, 0, 0, 0, 0, 1); });
  EXPECT_FALSE(halted.completed);
  EXPECT_EQ(halted.report.rfind("modules >= 1 && modules <= 16 failed at TARVO3/ZorPei/ModuleInfo.cpp:", 0), 0u)
      << halted.report;

  bool ran = false;
  auto refused = m.run([&] { ran = true; });
  EXPECT_TRUE(refused.refused);
  EXPECT_FALSE(ran);
  EXPECT_NE(refused.report.find("halted earlier (modules >= 1 && modules <= 16 failed at"), std::string::npos)
      << refused.report;
}

TEST(Hang, APollThatCanNeverEndStopsTheMachineNamingTheRegister) {
  sim::Platform platform;
  platform.bus().setHangLimit(1000);
  auto outcome = platform.run("poll", [] {
    while ((MmioRead32(0xFB0020C0) & 0x80000000) == 0) {
      CpuPause();
    }
  });
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(platform.stopKind(), sim::MachineStopped::Kind::Hang);
  EXPECT_EQ(outcome.report, "hung polling FB0020C0 (M0R0 IOA.CHIP_ID): read 1000 times, always 0x19D9957F");
}

TEST(Hang, IndexRewrittenBeforeEachReadIsStillAPoll) {
  sim::Platform platform;
  platform.bus().setHangLimit(1000);
  auto outcome = platform.run("poll", [] {
    for (;;) {
      MmioWrite32(0xFB002C00, 0x004);
      if (MmioRead32(0xFB002C04) == 1) break;
    }
  });
  EXPECT_EQ(platform.stopKind(), sim::MachineStopped::Kind::Hang);
  EXPECT_NE(outcome.report.find("hung polling FB002C04"), std::string::npos) << outcome.report;
}

TEST(Hang, BoundedPollsOfThreeHundredThousandReadsAreNotHangs) {
  sim::Platform platform;
  auto outcome = platform.run("bounded", [] {
    for (int i = 0; i < 300000; ++i) {
      CpuPause();
      (void)MmioRead32(0xFB002C04);
    }
  });
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(platform.pauses(), 300000u);
}

TEST(Time, DelaysAdvanceVirtualTimeOnly) {
  sim::Platform platform;
  platform.trace().setRecording(true);
  EXPECT_EQ(MicroSecondDelay(1000000), 1000000u);
  EXPECT_EQ(platform.clock().now(), 1000000u);
  UINT64 hz = GetPerformanceCounterProperties(nullptr, nullptr);
  EXPECT_EQ(GetPerformanceCounter(), hz);
  EXPECT_EQ(platform.trace().text(), "D 1000000\n");
}

TEST(Interrupts, SaveAndDisableReturnsThePreviousState) {
  sim::Platform platform;
  EXPECT_TRUE(SaveAndDisableInterrupts());
  EXPECT_FALSE(GetInterruptState());
  EXPECT_FALSE(SaveAndDisableInterrupts());
  SetInterruptState(TRUE);
  EXPECT_TRUE(platform.interrupts());
}

}  // namespace
