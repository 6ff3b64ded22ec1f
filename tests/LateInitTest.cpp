// lateInit: the GIDNID map, the tag mode, CMM2S and buriedCA, the presence mask.
#include "RoutingSupport.h"

namespace {

using test::Access;
using test::Machine;
using test::routingOf;
using test::w;

constexpr uint64_t kMB = 1ull << 20;
constexpr uint64_t kGB = 1ull << 30;

// The host range through routeDram, as the platform gives it: socket 0's
// base and socket 1's limit of the local module.
void routeHost(Machine& m, uint32_t module, uint64_t base, uint64_t limit) {
  m.zor->routeDram(m.zor, base, base + kGB - 1, static_cast<UINT8>(module), 0, 0);
  m.zor->routeDram(m.zor, limit + 1 - kGB, limit, static_cast<UINT8>(module), 1, 0);
}

struct TagCase {
  const char* name;
  uint32_t localModule;
  uint64_t hostBase, hostLimit;
  uint64_t zorDramSize;
  uint32_t lowRegionGb;
  uint32_t tagMode;
  const char* sizeLine;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class TagMode : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagMode, FollowsTheShareOfHostDramThatTheZorDramHolds) {
  const TagCase& c = GetParam();
  Machine m;
  m.setModuleInfo(2, c.localModule, 0);  // CMM2S argument 0: CMM2S is 1
  ASSERT_TRUE(m.run([&] { routeHost(m, c.localModule, c.hostBase, c.hostLimit); }).completed);
  m.data->zorDramSize = c.zorDramSize;
  m.data->lowRegionGb = c.lowRegionGb;
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  EXPECT_THAT(m.log(), ::testing::HasSubstr(std::string("\n") + c.sizeLine + "\n"));
  EXPECT_EQ(routingOf(m, c.localModule).tagMode(0), c.tagMode);
  EXPECT_EQ(routingOf(m, c.localModule).tagMode(1), c.tagMode);
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002588 + 0x100000ull * c.localModule),
            (std::vector<uint64_t>{0x743210F4u | c.tagMode}));
  EXPECT_THAT(m.log(), ::testing::Not(::testing::HasSubstr("\033[31m")));
}

INSTANTIATE_TEST_SUITE_P(
    LateInit, TagMode,
    ::testing::Values(
        TagCase{"NoZorDram", 1, 0, 0x7FFFFFFFF, 0, 1, 3, "0MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 3"},
        TagCase{"NoZorDramSmallHost", 1, 0, 0x3FFFFFFF, 0, 1, 3, "0MB ZOR DRAM; 1024MB local host DRAM, tag_mode = 3"},
        // 32768 MB of host DRAM: 1 GB is 1/32, 512 MB is 1/64.
        TagCase{"OneThirtySecond", 1, 0, 0x7FFFFFFFF, 1 * kGB, 1, 1,
                "1024MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 1"},
        TagCase{"JustBelowOneThirtySecond", 1, 0, 0x7FFFFFFFF, 1 * kGB - 1, 1, 0,
                "1023MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 0"},
        TagCase{"OneSixtyFourth", 1, 0, 0x7FFFFFFFF, 512 * kMB, 1, 0,
                "512MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 0"},
        TagCase{"JustBelowOneSixtyFourth", 1, 0, 0x7FFFFFFFF, 512 * kMB - 1, 1, 3,
                "511MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 3"},
        TagCase{"OneHundredTwentyEighth", 1, 0, 0x7FFFFFFFF, 256 * kMB, 1, 3,
                "256MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 3"},
        TagCase{"MoreThanEnough", 1, 0x800000000, 0xFFFFFFFFF, 64 * kGB, 1, 1,
                "65536MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 1"},
        // Module 0 deducts lowRegionGb + 1 GB: 34 GB become 32768 MB.
        TagCase{"Module0DeductsTheLowRegion", 0, 0, 0x87FFFFFFF, 1 * kGB, 1, 1,
                "1024MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 1"},
        TagCase{"Module0JustBelow", 0, 0, 0x87FFFFFFF, 1 * kGB - 1, 1, 0,
                "1023MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 0"},
        TagCase{"Module0LowRegion3", 0, 0, 0x87FFFFFFF, 1 * kGB, 3, 1,
                "1024MB ZOR DRAM; 30720MB local host DRAM, tag_mode = 1"},
        // A limit below the base wraps to a huge size.
        TagCase{"LimitBelowBaseWraps", 1, 0x800000000, 0x3FFFFFFFF, 64 * kGB, 1, 3,
                "65536MB ZOR DRAM; 17592186028032MB local host DRAM, tag_mode = 3"}),
    [](const auto& info) { return std::string(info.param.name); });

// The whole register traffic on both rails, in the documented order.
TEST(LateInit, WritesGidnidTagModeConfigAndPresenceOnEveryRail) {
  Machine m;
  m.setModuleInfo(2, 0, 1);
  ASSERT_TRUE(m.run([&] { routeHost(m, 0, 0, 0x87FFFFFFF); }).completed);
  m.data->zorDramSize = 1 * kGB;
  m.platform.zor().chip(0, 0).setReg(0x2400, 0x00000123);
  m.platform.zor().chip(0, 1).setReg(0x2600, 0x7FFFFFFF);
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  std::vector<Access> expected = w({{0xFB002104, 0x01FFFFFF}, {0xFA002104, 0x01FFFFFF},
                                    {0xFB002588, 0x743210F5}, {0xFB002788, 0x743210F5},
                                    {0xFA002588, 0x743210F5}, {0xFA002788, 0x743210F5}});
  for (auto [address, before] : {std::pair{0xFB002400ull, 0x00000123ull}, std::pair{0xFB002600ull, 0ull},
                                 std::pair{0xFA002400ull, 0ull}, std::pair{0xFA002600ull, 0x7FFFFFFFull}}) {
    expected.push_back({'R', address, before});
    expected.push_back({'W', address, (before & ~1ull) | 0x80000000});
  }
  for (uint64_t address : {0xFB002404ull, 0xFB002604ull, 0xFA002404ull, 0xFA002604ull})
    expected.push_back({'W', address, 0x0000000F});
  EXPECT_EQ(m.accesses(), expected);
  EXPECT_EQ(m.log(),
            "+ TARVO3_ZOR_local_lateInit\n"
            "GIDNID map 00FFFFFF\n"
            "1024MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 1\n"
            "- TARVO3_ZOR_local_lateInit\n");
}

TEST(LateInit, KeepsPeConfigBitsAndOrsInBuriedCa) {
  for (uint32_t buriedCA : {0u, 1u}) {
    Machine m;
    m.zor->setModuleInfo(m.zor, 2, 0, 0, 0, buriedCA, 0, 0x3);
    m.platform.zor().chip(0, 0).setReg(0x2400, 0x00000123);
    m.platform.zor().chip(0, 0).setReg(0x2600, 0x00000123);
    ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
    EXPECT_EQ(routingOf(m).peConfig(0), buriedCA ? 0x80000123u : 0x80000122u);
    EXPECT_EQ(routingOf(m).peConfig(1), buriedCA ? 0x80000123u : 0x80000122u);
  }
}

TEST(LateInit, CarriesCmm2sIntoTheTagModeRegister) {
  for (uint32_t cmm2sArgument : {0u, 1u}) {
    Machine m;
    m.zor->setModuleInfo(m.zor, 2, 1, 0, cmm2sArgument, 0, 0, 0x3);
    ASSERT_TRUE(m.run([&] { routeHost(m, 1, 0, 0x7FFFFFFFF); }).completed);
    m.data->zorDramSize = 1 * kGB;
    ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
    // CMM2S is stored inverted: argument 0 gives 1.
    EXPECT_EQ(routingOf(m, 1).tagModeRegister(0), cmm2sArgument == 0 ? 0x743210F5u : 0x743210F1u);
  }
}

struct PresenceCase {
  uint32_t modules;
  uint32_t socketsPerModule;
  uint32_t mask;
};

void PrintTo(const PresenceCase& c, std::ostream* os) {
  *os << c.modules << " modules of " << c.socketsPerModule << " sockets";
}

class Presence : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(Presence, HasTwoBitsPerModulePresent) {
  const PresenceCase& c = GetParam();
  Machine m;
  m.setModuleInfo(c.modules, 0, 0);
  m.data->socketsPerModule = c.socketsPerModule;
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002404), (std::vector<uint64_t>{c.mask}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002604), (std::vector<uint64_t>{c.mask}));
}

INSTANTIATE_TEST_SUITE_P(LateInit, Presence,
                         ::testing::Values(PresenceCase{1, 2, 0x00000003}, PresenceCase{2, 2, 0x0000000F},
                                           PresenceCase{3, 2, 0x0000003F}, PresenceCase{9, 2, 0x0003FFFF},
                                           PresenceCase{16, 2, 0xFFFFFFFF}, PresenceCase{2, 1, 0x00000005},
                                           PresenceCase{16, 1, 0x55555555}));

TEST(LateInit, WritesTheGidnidMapThatRouteX2apicBuilt) {
  Machine m;
  m.setModuleInfo(2, 0, 1);
  ASSERT_TRUE(m.run([&] { m.zor->routeX2apic(m.zor, 0x000, 0x03F, 0, 1); }).completed);
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFB002104), (std::vector<uint64_t>{0x01FFFFC9}));
  EXPECT_EQ(test::valuesWrittenTo(m, 0xFA002104), (std::vector<uint64_t>{0x01FFFFC9}));
  EXPECT_THAT(m.log(), ::testing::HasSubstr("GIDNID map 00FFFFC9\n"));
  EXPECT_EQ(routingOf(m).gidnidNode(0), 1u);
  EXPECT_EQ(routingOf(m).gidnidNode(2), 7u);
}

TEST(LateInit, RunsAgainWithTheSameResult) {
  Machine m;
  m.setModuleInfo(2, 0, 0);
  ASSERT_TRUE(m.run([&] { routeHost(m, 0, 0, 0x87FFFFFFF); }).completed);
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  auto first = m.writes();
  std::string log = m.log();
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  EXPECT_EQ(m.writes(), first);
  EXPECT_EQ(m.log(), log);
}

// The choice: without both halves of the local host range, lateInit
// says so in red, reports 0 MB and takes tag mode 3 (the mode that assumes
// nothing about the host size), and still writes everything else.
struct MissingCase {
  const char* name;
  uint32_t localModule;
  bool base, limit;  // which halves routeDram set
  const char* missing;
};

void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

class MissingHostRange : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingHostRange, SaysSoInRedAndTakesTagMode3) {
  const MissingCase& c = GetParam();
  Machine m;
  m.setModuleInfo(2, c.localModule, 1);
  ASSERT_TRUE(m.run([&] {
                 // Another module's DRAM never counts.
                 m.zor->routeDram(m.zor, 0x1000000000, 0x13FFFFFFFF, static_cast<UINT8>(1 - c.localModule), 0, 0);
                 m.zor->routeDram(m.zor, 0x1400000000, 0x17FFFFFFFF, static_cast<UINT8>(1 - c.localModule), 1, 0);
                 if (c.base) m.zor->routeDram(m.zor, 0x0, 0x3FFFFFFFF, static_cast<UINT8>(c.localModule), 0, 0);
                 if (c.limit) m.zor->routeDram(m.zor, 0x400000000, 0x7FFFFFFFF, static_cast<UINT8>(c.localModule), 1, 0);
               }).completed);
  m.data->zorDramSize = 64 * kGB;  // would be tag mode 1 for any known host size up to 2 TB
  m.clear();
  auto outcome = m.run([&] { m.zor->lateInit(m.zor); });
  ASSERT_TRUE(outcome.completed) << outcome.report;
  EXPECT_EQ(m.log(), "+ TARVO3_ZOR_local_lateInit\n"
                     "\033[31mLocal host DRAM range of M" + std::to_string(c.localModule) +
                         " not routed (no routeDram for " + c.missing +
                         "); host size unknown, tag_mode 3\033[0m\n"
                         "GIDNID map 00FFFFFF\n"
                         "65536MB ZOR DRAM; 0MB local host DRAM, tag_mode = 3\n"
                         "- TARVO3_ZOR_local_lateInit\n");
  uint64_t window = 0xFB000000 + 0x100000ull * c.localModule;
  for (uint64_t rail : {0ull, 0x1000000ull}) {
    EXPECT_EQ(test::valuesWrittenTo(m, window - rail + 0x2104), (std::vector<uint64_t>{0x01FFFFFF}));
    EXPECT_EQ(test::valuesWrittenTo(m, window - rail + 0x2588), (std::vector<uint64_t>{0x743210F7}));
    EXPECT_EQ(test::valuesWrittenTo(m, window - rail + 0x2788), (std::vector<uint64_t>{0x743210F7}));
    EXPECT_EQ(test::valuesWrittenTo(m, window - rail + 0x2400), (std::vector<uint64_t>{0x80000000}));
    EXPECT_EQ(test::valuesWrittenTo(m, window - rail + 0x2604), (std::vector<uint64_t>{0x0000000F}));
  }
}

INSTANTIATE_TEST_SUITE_P(LateInit, MissingHostRange,
                         ::testing::Values(MissingCase{"NeitherOnModule0", 0, false, false, "socket 0 and socket 1"},
                                           MissingCase{"NoBaseOnModule0", 0, false, true, "socket 0"},
                                           MissingCase{"NoLimitOnModule0", 0, true, false, "socket 1"},
                                           MissingCase{"NeitherOnModule1", 1, false, false, "socket 0 and socket 1"},
                                           MissingCase{"NoBaseOnModule1", 1, false, true, "socket 0"},
                                           MissingCase{"NoLimitOnModule1", 1, true, false, "socket 1"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A base of 0 routed for module 1 is a real base, not a missing one.
TEST(LateInit, ABaseOf0OnAnotherModuleIsKnown) {
  Machine m;
  m.setModuleInfo(2, 1, 0);
  ASSERT_TRUE(m.run([&] { routeHost(m, 1, 0, 0x7FFFFFFFF); }).completed);
  m.data->zorDramSize = 1 * kGB;
  m.clear();
  ASSERT_TRUE(m.run([&] { m.zor->lateInit(m.zor); }).completed);
  EXPECT_THAT(m.log(), ::testing::HasSubstr("1024MB ZOR DRAM; 32768MB local host DRAM, tag_mode = 1\n"));
}

}  // namespace
