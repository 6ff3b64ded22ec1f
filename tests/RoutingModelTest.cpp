// The chip model's routing state: what the port at IOA 0x211C and the rule
// registers keep, and the answers of RoutingView, driven by bus writes as
// any firmware would make them.
#include "RoutingSupport.h"

namespace {

using sim::zor::RouteTable;
using sim::zor::RoutingPortUnit;
using sim::zor::RoutingView;
using sim::zor::Target;

struct Model : ::testing::Test {
  sim::Platform platform;  // two modules, two rails
  void write(uint64_t address, uint32_t value) { platform.bus().write32(address, value); }
  RoutingView view(uint32_t module = 0, uint32_t rail = 0) { return RoutingView(platform.zor().chip(module, rail)); }
  const RoutingPortUnit& port(uint32_t module = 0, uint32_t rail = 0) {
    return *platform.zor().chip(module, rail).unit<RoutingPortUnit>();
  }
};

TEST_F(Model, ThePortSetsOneEntryOfOneTablePerWrite) {
  write(0xFB00211C, 0x000C0001);  // MMIO-L entry 0xC00: M0.1
  write(0xFB00211C, 0x80000302);  // PCI IO entry 3: M1.0
  write(0xFB00211C, 0xC0007F1F);  // x2APIC entry 127: M15.1
  EXPECT_EQ(view().ownerOfMmioL(0xC0000000), (Target{0, 1}));
  EXPECT_EQ(view().ownerOfMmioL(0xC00FFFFF), (Target{0, 1}));
  EXPECT_EQ(view().ownerOfMmioL(0xC0100000), std::nullopt);
  EXPECT_EQ(view().ownerOfIo(0x0C00), (Target{1, 0}));
  EXPECT_EQ(view().ownerOfIo(0x0FFF), (Target{1, 0}));
  EXPECT_EQ(view().ownerOfIo(0x1000), std::nullopt);
  EXPECT_EQ(view().ownerOfApic(0xFE0), (Target{15, 1}));
  EXPECT_EQ(view().ownerOfApic(0xFFF), (Target{15, 1}));
  EXPECT_EQ(view().ownerOfApic(0x1000), std::nullopt);
  EXPECT_EQ(port().rejectedWrites(), 0u);
  // Each chip keeps its own tables.
  EXPECT_EQ(view(0, 1).ownerOfMmioL(0xC0000000), std::nullopt);
  EXPECT_EQ(view(1, 0).ownerOfMmioL(0xC0000000), std::nullopt);
}

TEST_F(Model, ThePortReadsAs0AndKeepsTheLastTarget) {
  write(0xFA10211C, 0x000FFF00);
  write(0xFA10211C, 0x000FFF1F);
  EXPECT_EQ(platform.bus().read32(0xFA10211C), 0u);
  EXPECT_EQ(view(1, 1).ownerOfMmioL(0xFFFFFFFF), (Target{15, 1}));
  EXPECT_EQ(view(1, 1).ownerOfMmioL(0x100000000), std::nullopt);
}

TEST_F(Model, ThePortRejectsWritesOutsideItsTables) {
  write(0xFB00211C, 0x40000001);  // table 1 does not exist
  write(0xFB00211C, 0x00100001);  // bits 29:20 must be 0
  write(0xFB00211C, 0x80004001);  // PCI IO entry 64
  write(0xFB00211C, 0xC0008001);  // x2APIC entry 128
  EXPECT_EQ(port().rejectedWrites(), 4u);
  for (uint32_t i = 0; i < 4096; ++i) ASSERT_EQ(view().tableEntry(RouteTable::MmioL, i), std::nullopt) << i;
  for (uint32_t i = 0; i < 64; ++i) ASSERT_EQ(view().tableEntry(RouteTable::PciIo, i), std::nullopt) << i;
  for (uint32_t i = 0; i < 128; ++i) ASSERT_EQ(view().tableEntry(RouteTable::X2apic, i), std::nullopt) << i;
}

TEST_F(Model, DecodesTheMmioHRules) {
  write(0xFB002288, 0x00030002);
  write(0xFB002208, 0x00010001);
  auto rule = view().mmioHRule(2);
  EXPECT_TRUE(rule.valid);
  EXPECT_EQ(rule.base, 0x100000000u);
  EXPECT_EQ(rule.limit, 0x3FFFFFFFFu);
  EXPECT_EQ(rule.target, (Target{1, 0}));
  EXPECT_EQ(view().ownerOfMmio(0x200000000), (Target{1, 0}));
  EXPECT_EQ(view().ownerOfMmio(0x400000000), std::nullopt);
  // Without the valid bit the rule decodes nothing.
  write(0xFB002208, 0x00010000);
  EXPECT_EQ(view().ownerOfMmio(0x200000000), std::nullopt);
}

TEST_F(Model, DecodesTheLocalMmioRules) {
  write(0xFB00217C, 0x00120012);
  write(0xFB00215C, 0xFFFFFF01);
  write(0xFB00213C, 0x00000001);
  auto rule = view().localMmioRule(7);
  EXPECT_TRUE(rule.valid);
  EXPECT_EQ(rule.base, 0x120000000000u);
  EXPECT_EQ(rule.limit, 0x12FFFFFFFFFFu);
  EXPECT_EQ(rule.socket, 1u);
  EXPECT_EQ(view().localSocketOfMmio(0x12ABCDEF0123), 1u);
  EXPECT_EQ(view().localSocketOfMmio(0x130000000000), std::nullopt);
}

TEST_F(Model, DecodesTheLocalIoAndMmcfgRegisters) {
  write(0xFB002184, 0x03040101);
  write(0xFB002190, 0xFF000001);
  auto io = view().localIo(1);
  EXPECT_TRUE(io.valid);
  EXPECT_EQ(io.base, 0x1000u);
  EXPECT_EQ(io.limit, 0x0FFFu);
  EXPECT_EQ(io.socket, 1u);
  EXPECT_FALSE(view().localIo(0).valid);
  auto cfg = view().localMmcfg(0);
  EXPECT_TRUE(cfg.valid);
  EXPECT_EQ(cfg.firstBus, 0x00u);
  EXPECT_EQ(cfg.lastBus, 0xFFu);
  EXPECT_EQ(cfg.socket, 0u);
  EXPECT_FALSE(view().localMmcfg(1).valid);
}

TEST_F(Model, DecodesTheDramRulesOfEachEngine) {
  write(0xFB0024C4, 0x00004001);  // PE 0 rule 17
  write(0xFB002544, 0x00004001);
  write(0xFB0026FC, 0xFFFFC001);  // PE 1 rule 31
  write(0xFB00277C, 0xFFFFC01F);
  auto r17 = view().dramRule(0, 17);
  EXPECT_TRUE(r17.valid);
  EXPECT_EQ(r17.base, 0x40000000u);
  EXPECT_EQ(r17.limit, 0x7FFFFFFFu);
  EXPECT_EQ(r17.target, (Target{0, 1}));
  EXPECT_FALSE(view().dramRule(1, 17).valid);
  auto r31 = view().dramRule(1, 31);
  EXPECT_EQ(r31.base, 0xFFFFC0000000u);
  EXPECT_EQ(r31.limit, 0xFFFFFFFFFFFFu);
  EXPECT_EQ(r31.target, (Target{15, 1}));
  EXPECT_EQ(view().ownerOfDram(0x50000000, 0), (Target{0, 1}));
  EXPECT_EQ(view().ownerOfDram(0x50000000, 1), std::nullopt);
  EXPECT_EQ(view().dramRuleFor(0xFFFFFFFFFFFF, 1)->index, 31u);
}

TEST_F(Model, KeepsWhatLateInitWrites) {
  EXPECT_FALSE(view().lateInitWritten());
  write(0xFB002104, 0x01FFFFC9);
  write(0xFB002588, 0x743210F5);
  write(0xFB002788, 0x743210F3);
  write(0xFB002400, 0x80000123);
  write(0xFB002604, 0x0000000F);
  EXPECT_TRUE(view().lateInitWritten());
  EXPECT_EQ(view().gidnidMap(), 0x01FFFFC9u);
  EXPECT_EQ(view().gidnidNode(0), 1u);
  EXPECT_EQ(view().gidnidNode(9), 1u);
  EXPECT_EQ(view().gidnidNode(2), 7u);
  EXPECT_EQ(view().tagMode(0), 1u);
  EXPECT_EQ(view().tagMode(1), 3u);
  EXPECT_EQ(view().peConfig(0), 0x80000123u);
  EXPECT_EQ(view().presenceMask(1), 0x0000000Fu);
}

// Traces name the routing registers.
TEST_F(Model, NamesTheRoutingRegistersInTraces) {
  const std::vector<std::pair<uint64_t, std::string>> names = {
      {0xFB00211C, "M0R0 IOA.ROUTE_PORT"},     {0xFB002104, "M0R0 IOA.GIDNID_MAP"},
      {0xFB002120, "M0R0 IOA.MMIO_BASE0"},     {0xFB00215C, "M0R0 IOA.MMIO_LIMIT7"},
      {0xFB002164, "M0R0 IOA.MMIO_HIGH1"},     {0xFB002184, "M0R0 IOA.IO_DECODE1"},
      {0xFB002190, "M0R0 IOA.MMCFG_DECODE0"},  {0xFB002188, "M0R0 IOA+0x188"},
      {0xFB00220C, "M0R0 MMIOH.BASE3"},        {0xFB0022FC, "M0R0 MMIOH.LIMIT31"},
      {0xFB002480, "M0R0 PE0.DRAM_BASE0"},     {0xFA102544, "M1R1 PE0.DRAM_LIMIT17"},
      {0xFB00277C, "M0R0 PE1.DRAM_LIMIT31"},   {0xFB002788, "M0R0 PE1.TAG_MODE"},
      {0xFB002400, "M0R0 PE0.CONFIG"},         {0xFB002604, "M0R0 PE1.PRESENCE"},
  };
  for (const auto& [address, name] : names) EXPECT_EQ(platform.bus().describe(address), name);
}

}  // namespace
