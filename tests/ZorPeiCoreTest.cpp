// ZorPei's entry point, record, CSR windows, raw register slots, topology and
// SPD staging.
#include <gtest/gtest.h>

#include <cstring>

#include "Machine.h"

namespace {

using test::Access;
using test::Machine;

const EFI_GUID kZorPpiGuid = {0x67AC7C94, 0x3DD6, 0x4518, {0x9E, 0x89, 0x9C, 0x37, 0xA3, 0x05, 0x1A, 0x3C}};

TEST(ZorPeiEntry, InstallsThePpiWithTheDocumentedDefaults) {
  Machine m;
  ASSERT_EQ(m.status, EFI_SUCCESS);
  ZOR_DATA* d = m.data;
  EXPECT_EQ(std::memcmp(d->signature, "zor3", 4), 0);
  EXPECT_EQ(d->modules, 2u);
  EXPECT_EQ(d->socketsPerModule, 2u);
  EXPECT_EQ(d->localModule, 0u);
  EXPECT_EQ(d->biRail, 0u);
  EXPECT_EQ(d->CMM2S, 0u);
  EXPECT_EQ(d->ctrlField0, 0u);
  EXPECT_EQ(d->ctrlField1, 0u);
  EXPECT_EQ(d->gidnidMap, 0x00FFFFFFu);
  EXPECT_EQ(d->railNid[0], 2u);
  EXPECT_EQ(d->railNid[1], 3u);
  EXPECT_EQ(d->socketNid[0], 0u);
  EXPECT_EQ(d->socketNid[1], 1u);
  EXPECT_EQ(d->lowRegionGb, 1u);
  EXPECT_EQ(d->localMmioMaps, 0u);
  // Cleared at allocation: fields without a default read as zero.
  EXPECT_EQ(d->zorDramSize, 0u);
  EXPECT_EQ(d->hostDramLimit, 0u);
  EXPECT_EQ(d->spd[1][1][511], 0);
  EXPECT_EQ(reinterpret_cast<void*>(d->ppi.reservedSlot), nullptr);
}

TEST(ZorPeiEntry, DescriptorPointsAtTheTableInsideTheRecord) {
  Machine m;
  const EFI_PEI_PPI_DESCRIPTOR& desc = *m.platform.pei().ppis().at(0);
  EXPECT_EQ(desc.Flags, 0x80000010u);
  EXPECT_EQ(std::memcmp(desc.Guid, &kZorPpiGuid, sizeof kZorPpiGuid), 0);
  EXPECT_EQ(desc.Ppi, &m.data->ppi);
  EXPECT_EQ(&desc, &m.data->ppiDescriptor);
  // A slot given that pointer reaches the record.
  m.zor->setModuleInfo(m.zor, 3, 2, 1, 1, 0, 0, 7);
  EXPECT_EQ(m.data->modules, 3u);
}

TEST(ZorPeiEntry, AllocatePoolFailureIsReturnedAndNoPpiIsInstalled) {
  sim::Platform platform;
  platform.pei().failAllocatePool(1);
  EXPECT_EQ(platform.dispatch("ZorPei", ZorPeiEntryPoint), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(platform.pei().installCalls(), 0u);
  EXPECT_EQ(platform.pei().locate(kZorPpiGuid), nullptr);
}

TEST(ZorPeiEntry, InstallPpiFailureIsReturned) {
  sim::Platform platform;
  platform.pei().failInstallPpi(1);
  EXPECT_EQ(platform.dispatch("ZorPei", ZorPeiEntryPoint), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(platform.pei().locate(kZorPpiGuid), nullptr);
}

TEST(ZorPeiEntry, EntryPointPrintsNothingAndTouchesNoRegister) {
  sim::Platform platform;
  platform.trace().setRecording(true);
  EXPECT_EQ(platform.dispatch("ZorPei", ZorPeiEntryPoint), EFI_SUCCESS);
  EXPECT_EQ(platform.debugText(), "");
  EXPECT_EQ(platform.bus().mmioReads() + platform.bus().mmioWrites(), 0u);
}

TEST(ZorPeiSlots, NoOpChangesNothing) {
  Machine m;
  std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(m.data), reinterpret_cast<uint8_t*>(m.data + 1));
  m.zor->noOp(m.zor);
  EXPECT_EQ(std::memcmp(before.data(), m.data, sizeof(ZOR_DATA)), 0);
  EXPECT_TRUE(m.accesses().empty());
  EXPECT_EQ(m.log(), "");
}

struct AddressRow {
  uint32_t module, rail, offset, address;
};

class WindowRule : public ::testing::TestWithParam<AddressRow> {};

TEST_P(WindowRule, MapsModuleRailAndOffset) {
  const auto& r = GetParam();
  EXPECT_EQ(csrAddress(r.module, r.rail, r.offset), r.address);
}

INSTANTIATE_TEST_SUITE_P(CsrWindows, WindowRule,
                         ::testing::Values(AddressRow{0, 0, 0, 0xFB000000}, AddressRow{1, 0, 0x2100, 0xFB102100},
                                           AddressRow{0, 1, 0x2100, 0xFA002100},
                                           AddressRow{15, 1, 0xFFFC, 0xFAF0FFFC},
                                           AddressRow{15, 0, 0xFFFFC, 0xFBFFFFFC}));

TEST(RawSlots, IndirectReadWritesTheIndexThenReadsTheDataOfTheLocalModule) {
  Machine m;
  m.setModuleInfo(2, 1, 0);
  m.clear();
  m.platform.zor().chip(1, 0).setReg(0x2044, 0xA5A5A5A5);
  EXPECT_EQ(m.zor->indirectRead(m.zor, 0, 2, 3, 5), 0xA5A5A5A5u);
  EXPECT_EQ(m.accesses(), (std::vector<Access>{{'W', 0xFB102040, 0x00030005}, {'R', 0xFB102044, 0xA5A5A5A5}}));
}

TEST(RawSlots, IndirectWriteStoresIndexThenDataAndReturnsTheValue) {
  Machine m;
  EXPECT_EQ(m.zor->indirectWrite(m.zor, 1, 0xFF, 0xFFFF, 0x0010, 0x12345678), 0x12345678u);
  EXPECT_EQ(m.accesses(), (std::vector<Access>{{'W', 0xFA0FF040, 0xFFFF0010}, {'W', 0xFA0FF044, 0x12345678}}));
}

TEST(RawSlots, DirectReadUsesTheGivenModuleOnRailZero) {
  Machine m{test::modules(4)};
  m.setModuleInfo(4, 1, 1);
  m.clear();
  m.zor->directRead(m.zor, 2, 3);
  m.zor->directWrite(m.zor, 3, 0, 0xCAFE);
  EXPECT_EQ(m.accesses(), (std::vector<Access>{{'R', 0xFB2021EC, 0}, {'W', 0xFB3021E0, 0xCAFE}}));
}

TEST(RawSlots, ReadOfAWindowNoChipServesIsAllOnes) {
  Machine m{test::modules(2)};
  EXPECT_EQ(m.zor->directRead(m.zor, 5, 0), 0xFFFFFFFFu);
  EXPECT_EQ(m.platform.trace().text(), "R FB5021E0 FFFFFFFF  unmapped\n");
}

// Arguments that would leave the ZOR windows make no access, print a red
// report line and return all ones for a read, the value for a write.
struct OutOfWindowRow {
  const char* slot;
  std::function<uint32_t(TARVO3_ZOR_PPI*)> call;
  uint32_t result;
  const char* line;
};

class OutOfWindow : public ::testing::TestWithParam<OutOfWindowRow> {};

TEST_P(OutOfWindow, MakesNoAccessAndReports) {
  Machine m;
  EXPECT_EQ(GetParam().call(m.zor), GetParam().result);
  EXPECT_TRUE(m.accesses().empty());
  EXPECT_EQ(m.platform.debugText(), std::string("\033[31m") + GetParam().line + "\033[0m\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    RawSlots, OutOfWindow,
    ::testing::Values(
        OutOfWindowRow{"indirectRead rail", [](TARVO3_ZOR_PPI* z) { return z->indirectRead(z, 2, 0, 1, 2); },
                       0xFFFFFFFF, "indirectRead rail 2 block 0 index 0x1:0x2 lies outside the ZOR windows; not accessed"},
        OutOfWindowRow{"indirectRead block", [](TARVO3_ZOR_PPI* z) { return z->indirectRead(z, 0, 256, 0, 0); },
                       0xFFFFFFFF, "indirectRead rail 0 block 256 index 0x0:0x0 lies outside the ZOR windows; not accessed"},
        OutOfWindowRow{"indirectWrite block",
                       [](TARVO3_ZOR_PPI* z) { return z->indirectWrite(z, 0, 0x1000, 0, 0, 0xAB); }, 0xAB,
                       "indirectWrite rail 0 block 4096 index 0x0:0x0 value 0x000000AB lies outside the ZOR windows; not accessed"},
        OutOfWindowRow{"directRead module", [](TARVO3_ZOR_PPI* z) { return z->directRead(z, 16, 0); }, 0xFFFFFFFF,
                       "directRead module 16 index 0x0 lies outside the ZOR windows; not accessed"},
        OutOfWindowRow{"directRead index past the window",
                       [](TARVO3_ZOR_PPI* z) { return z->directRead(z, 15, 0x3F788); }, 0xFFFFFFFF,
                       "directRead module 15 index 0x3F788 lies outside the ZOR windows; not accessed"},
        OutOfWindowRow{"directWrite module", [](TARVO3_ZOR_PPI* z) { return z->directWrite(z, 255, 1, 7); }, 7,
                       "directWrite module 255 index 0x1 value 0x00000007 lies outside the ZOR windows; not accessed"}));

TEST(RawSlots, LastWordOfTheWindowIsStillReached) {
  Machine m;
  m.zor->directRead(m.zor, 15, 0x3F787);
  EXPECT_EQ(m.accesses(), (std::vector<Access>{{'R', 0xFBFFFFFC, 0xFFFFFFFF}}));
}

struct CpbRow {
  uint32_t modules;
  uint32_t mask;
  std::vector<uint32_t> cpb;  // the first entries; the rest are 0
};

class CpbMap : public ::testing::TestWithParam<CpbRow> {};

TEST_P(CpbMap, ModuleTakesTheNextSetBit) {
  Machine m;
  const auto& r = GetParam();
  m.zor->setModuleInfo(m.zor, r.modules, 0, 0, 0, 0, 0, r.mask);
  for (uint32_t i = 0; i < 16; ++i)
    EXPECT_EQ(m.data->cpb[i], i < r.cpb.size() ? r.cpb[i] : 0u) << "module " << i;
}

INSTANTIATE_TEST_SUITE_P(SetModuleInfo, CpbMap,
                         ::testing::Values(CpbRow{4, 0x000000A6, {1, 2, 5, 7}}, CpbRow{2, 0x00008001, {0, 15}},
                                           CpbRow{3, 0x00000006, {1, 2, 0}}, CpbRow{16, 0x0000FFFF,
                                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}));

TEST(SetModuleInfo, PrintsTheMapAndTheStoredValues) {
  Machine m;
  m.zor->setModuleInfo(m.zor, 4, 3, 1, 0, 1, 9, 0xA6);
  EXPECT_EQ(m.log(),
            "+ TARVO3_ZOR_local_setModuleInfo\n"
            "M0 is CPB1\nM1 is CPB2\nM2 is CPB5\nM3 is CPB7\n"
            "- TARVO3_ZOR_local_setModuleInfo 4 modules, localModule 3, biRail 1, CMM2S 1, buriedCA 1\n");
  EXPECT_EQ(m.data->physicalModule, 9u);
  m.zor->setModuleInfo(m.zor, 4, 3, 1, 5, 1, 9, 0xA6);
  EXPECT_EQ(m.data->CMM2S, 0u);
}

TEST(SetModuleInfo, SurplusModulesGetCpbZero) {
  Machine m;
  m.zor->setModuleInfo(m.zor, 3, 0, 0, 0, 0, 0, 0x6);
  EXPECT_NE(m.log().find("M2 is CPB0\n"), std::string::npos);
}

// Topologies that would take later operations out of bounds halt before any
// field is stored.
struct BadTopologyRow {
  uint32_t modules, localModule, biRail, cpbMask;
  const char* check;
};

class BadTopology : public ::testing::TestWithParam<BadTopologyRow> {};

TEST_P(BadTopology, HaltsNamingTheConditionAndStoresNothing) {
  Machine m;
  const auto& r = GetParam();
  std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(m.data), reinterpret_cast<uint8_t*>(m.data + 1));
  auto outcome = m.run([&] { m.zor->setModuleInfo(m.zor, r.modules, r.localModule, r.biRail, 0, 0, 0, r.cpbMask); });
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.report.rfind(std::string(r.check) + " failed at TARVO3/ZorPei/ModuleInfo.cpp:", 0), 0u)
      << outcome.report;
  EXPECT_EQ(std::memcmp(before.data(), m.data, sizeof(ZOR_DATA)), 0);
}

INSTANTIATE_TEST_SUITE_P(SetModuleInfo, BadTopology,
                         ::testing::Values(BadTopologyRow{0, 0, 0, 1, "modules >= 1 && modules <= 16"},
                                           BadTopologyRow{17, 0, 0, 0xFFFF, "modules >= 1 && modules <= 16"},
                                           BadTopologyRow{2, 2, 0, 3, "localModule < modules"},
                                           BadTopologyRow{2, 0, 2, 3, "biRail <= 1"},
                                           BadTopologyRow{2, 0, 0, 0x80000001, "cpb[i] < ZOR_CPB_NUMBERS"},
                                           BadTopologyRow{2, 0, 0, 0x00010001, "cpb[i] < ZOR_CPB_NUMBERS"}));

TEST(SetSpdByte, StoresIndexesUpTo511AndIgnoresTheRest) {
  Machine m;
  m.zor->setSpdByte(m.zor, 1, 1, 511, 0x5A);
  EXPECT_EQ(m.data->spd[1][1][511], 0x5A);
  m.zor->setSpdByte(m.zor, 0, 0, 0, 0x92);
  EXPECT_EQ(m.data->spd[0][0][0], 0x92);

  std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(m.data), reinterpret_cast<uint8_t*>(m.data + 1));
  m.zor->setSpdByte(m.zor, 0, 0, 512, 0xEE);
  m.zor->setSpdByte(m.zor, 2, 0, 0, 0xEE);
  m.zor->setSpdByte(m.zor, 0, 2, 0, 0xEE);
  m.zor->setSpdByte(m.zor, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xEE);
  EXPECT_EQ(std::memcmp(before.data(), m.data, sizeof(ZOR_DATA)), 0);
  EXPECT_EQ(m.log(), "");
}

}  // namespace
