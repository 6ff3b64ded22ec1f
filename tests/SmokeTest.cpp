#include "Machine.h"

TEST(Smoke, DispatchesZorPei) {
  test::Machine m;
  ASSERT_EQ(m.status, EFI_SUCCESS);
  ASSERT_NE(m.zor, nullptr);
}
