// The package metadata that integrators build from: Tarvo3Pkg.dec, the .inf
// of each module and Tarvo3Pkg.dsc. A framework workspace compiles exactly
// the sources an .inf lists, defines GUIDs from the .dec, and dispatches a
// PEIM by its depex: each of these must agree with the code. GUIDs and token
// numbers are compared with literal values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "FwPack.h"

extern "C" {
#include <PiPei.h>
#include <Ppi/PiPcd.h>
#include <Ppi/Tarvo3ZorPpi.h>
#include <Ppi/EventVaultPpi.h>
#include <Guid/EventVaultHob.h>
#include <Guid/EventVaultTokenSpace.h>
}

using namespace fwpack;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;

const std::string kRoot = ZOR_SOURCE_DIR;

std::string source(const std::string &relative) { return readText(kRoot + "/" + relative); }

// The lines of one [Section] of a .dec/.inf/.dsc, comments removed.
std::vector<std::string> sectionLines(const std::string &text, const std::string &section) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    line = std::regex_replace(line, std::regex("^\\s+|\\s+$"), "");
    if (line.empty()) continue;
    if (line.front() == '[') {
      inside = line.rfind("[" + section, 0) == 0;
      continue;
    }
    if (inside) out.push_back(line);
  }
  return out;
}

Guid fromC(const EFI_GUID &g) {
  Guid out;
  std::memcpy(out.bytes.data(), &g, 16);
  return out;
}

GuidTable packageGuids() {
  GuidTable table;
  readDecGuids(source("Tarvo3Pkg.dec"), table);
  return table;
}

GuidTable allGuids() {
  GuidTable table = packageGuids();
  readDecGuids(source("firmware/FrameworkGuids.dec"), table);
  return table;
}

bool hasSources(const std::string &folder) {
  for (const auto &entry : fs::recursive_directory_iterator(kRoot + "/" + folder)) {
    if (entry.path().extension() == ".cpp") return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tarvo3Pkg.dec

struct GuidCase {
  const char *name;
  const EFI_GUID *code;
  const char *value;
};

void PrintTo(const GuidCase &c, std::ostream *os) { *os << c.name; }

class PackageDec : public ::testing::TestWithParam<GuidCase> {};

TEST_P(PackageDec, DeclaresTheGuidTheCodeDefines) {
  GuidTable table = allGuids();
  ASSERT_EQ(table.count(GetParam().name), 1u) << GetParam().name << " is not declared";
  EXPECT_EQ(formatGuid(table.at(GetParam().name)), GetParam().value);
  EXPECT_EQ(formatGuid(fromC(*GetParam().code)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Guids, PackageDec,
    ::testing::Values(GuidCase{"gTarvo3ZorPpiGuid", &gTarvo3ZorPpiGuid, "67AC7C94-3DD6-4518-9E89-9C37A3051A3C"},
                      GuidCase{"gEventVaultPpiGuid", &gEventVaultPpiGuid, "AC7F30C2-F774-47D3-8C24-E9C9945F3C49"},
                      GuidCase{"gEventVaultHobGuid", &gEventVaultHobGuid, "5106BA40-59A7-4BF6-97FC-A7DE1675CB86"},
                      GuidCase{"gEventVaultTokenSpaceGuid", &gEventVaultTokenSpaceGuid,
                               "D1B99B46-E509-4EDA-89AC-7A6738BB821A"},
                      GuidCase{"gEfiPeiPcdPpiGuid", &gEfiPeiPcdPpiGuid, "01F34D25-4DE2-23AD-3FF3-36353FF323F1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PackageDec, DynamicExPcdsCarryTheirTokenNumbers) {
  auto pcds = sectionLines(source("Tarvo3Pkg.dec"), "PcdsDynamicEx");
  EXPECT_THAT(pcds, ::testing::ElementsAre("gEventVaultTokenSpaceGuid.PcdEventVaultBase|0x0|UINT32|0x000A030B",
                                           "gEventVaultTokenSpaceGuid.PcdEventVaultSize|0x0|UINT32|0x000A030C"));
  EXPECT_EQ(EVENT_VAULT_PCD_BASE_TOKEN, 0xA030B);
  EXPECT_EQ(EVENT_VAULT_PCD_SIZE_TOKEN, 0xA030C);
}

TEST(PackageDec, PublicHeadersAreThePackageIncludeFolder) {
  EXPECT_THAT(sectionLines(source("Tarvo3Pkg.dec"), "Includes"), ::testing::ElementsAre("include"));
}

// ---------------------------------------------------------------------------
// The .inf of each module

struct ModuleCase {
  const char *name;
  const char *folder;
  const char *entryPoint;
  Bytes depex;
};

void PrintTo(const ModuleCase &c, std::ostream *os) { *os << c.name; }

class ModuleInf : public ::testing::TestWithParam<ModuleCase> {
 protected:
  std::string infPath() const { return std::string(GetParam().folder) + "/" + GetParam().name + ".inf"; }
  std::string text() const { return source(infPath()); }
};

TEST_P(ModuleInf, DefinesAPeimWithItsEntryPoint) {
  InfModule m = parseInf(text());
  EXPECT_EQ(m.baseName, GetParam().name);
  EXPECT_EQ(m.moduleType, "PEIM");
  EXPECT_EQ(m.entryPoint, GetParam().entryPoint);
}

TEST_P(ModuleInf, ListsExactlyTheSourcesOfItsFolder) {
  ASSERT_TRUE(hasSources(GetParam().folder)) << GetParam().folder << " has no sources";
  InfModule m = parseInf(text());
  SourcesDrift drift = compareSources(m.sources, moduleSourceFiles(kRoot + "/" + GetParam().folder));
  EXPECT_THAT(drift.missing, IsEmpty()) << infPath() << ": add these to [Sources]";
  EXPECT_THAT(drift.stale, IsEmpty()) << infPath() << ": remove these from [Sources]";
}

TEST_P(ModuleInf, ListsNoAutoGenGlue) {
  for (const auto &file : parseInf(text()).sources) EXPECT_THAT(file, Not(HasSubstr("AutoGen")));
}

TEST_P(ModuleInf, DepexCompilesToTheExpectedOpcodes) {
  InfModule m = parseInf(text());
  ASSERT_TRUE(m.depex.has_value());
  EXPECT_EQ(compileDepex(*m.depex, allGuids()), GetParam().depex);
}

TEST_P(ModuleInf, CxxOnlyOptionsGoToCxxFlagsNeverCcFlags) {
  auto options = sectionLines(text(), "BuildOptions");
  ASSERT_FALSE(options.empty());
  for (const auto &line : options) {
    EXPECT_THAT(line, Not(HasSubstr("CC_FLAGS"))) << "the generated AutoGen.c is compiled with CC_FLAGS as C";
    EXPECT_THAT(line, HasSubstr("_CXX_FLAGS"));
  }
  std::string joined;
  for (const auto &line : options) joined += line + " ";
  for (const char *flag : {"-std=c++20", "-fno-exceptions", "-fno-rtti", "-fno-threadsafe-statics"}) {
    EXPECT_THAT(joined, HasSubstr(flag));
  }
}

TEST_P(ModuleInf, EveryGuidItNamesIsDeclaredAndCarriesAUsageComment) {
  GuidTable guids = allGuids();
  std::string raw = text();
  for (const char *section : {"Ppis", "Guids"}) {
    std::istringstream in(raw);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
      std::string trimmed = std::regex_replace(line, std::regex("^\\s+|\\s+$"), "");
      if (trimmed.empty() || trimmed[0] == '#') continue;
      if (trimmed[0] == '[') {
        inside = trimmed.rfind(std::string("[") + section, 0) == 0;
        continue;
      }
      if (!inside) continue;
      std::string name = trimmed.substr(0, trimmed.find_first_of(" \t#"));
      EXPECT_EQ(guids.count(name), 1u) << name << " is not declared in a .dec";
      EXPECT_THAT(trimmed, ::testing::MatchesRegex(".*## *(SOMETIMES_)?(PRODUCES|CONSUMES).*")) << name;
    }
  }
}

TEST_P(ModuleInf, PackagesAreTheFrameworkAndThisPackage) {
  EXPECT_THAT(sectionLines(text(), "Packages"), ::testing::ElementsAre("MdePkg/MdePkg.dec", "Tarvo3Pkg/Tarvo3Pkg.dec"));
}

const Bytes kPcdPpiDepex = {0x02, 0x25, 0x4D, 0xF3, 0x01, 0xE2, 0x4D, 0xAD, 0x23, 0x3F,
                            0xF3, 0x36, 0x35, 0x3F, 0xF3, 0x23, 0xF1, 0x08};

INSTANTIATE_TEST_SUITE_P(
    Modules, ModuleInf,
    ::testing::Values(ModuleCase{"ZorPei", "TARVO3/ZorPei", "ZorPeiEntryPoint", {0x06, 0x08}},
                      ModuleCase{"EventVaultPei", "EventVaultPei", "EventVaultPeiEntryPoint", {0x06, 0x08}},
                      ModuleCase{"VaultPolicyPei", "VaultPolicyPei", "VaultPolicyPeiEntryPoint", kPcdPpiDepex}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ModuleInfs, FileGuidsAreDistinct) {
  std::set<std::string> seen;
  for (const char *inf :
       {"TARVO3/ZorPei/ZorPei.inf", "EventVaultPei/EventVaultPei.inf", "VaultPolicyPei/VaultPolicyPei.inf"}) {
    EXPECT_TRUE(seen.insert(formatGuid(parseInf(source(inf)).fileGuid)).second) << inf;
  }
}

TEST(ModuleInfs, VaultPolicyPeiSetsBothPcdsAsDynamicEx) {
  auto pcds = sectionLines(source("VaultPolicyPei/VaultPolicyPei.inf"), "PcdEx");
  EXPECT_THAT(pcds, ::testing::ElementsAre("gEventVaultTokenSpaceGuid.PcdEventVaultBase",
                                           "gEventVaultTokenSpaceGuid.PcdEventVaultSize"));
}

// ---------------------------------------------------------------------------
// Tarvo3Pkg.dsc

TEST(PackageDsc, BuildsTheThreeModulesForIa32) {
  std::string dsc = source("Tarvo3Pkg.dsc");
  EXPECT_THAT(sectionLines(dsc, "Components.IA32"),
              ::testing::ElementsAre("Tarvo3Pkg/TARVO3/ZorPei/ZorPei.inf", "Tarvo3Pkg/EventVaultPei/EventVaultPei.inf",
                                     "Tarvo3Pkg/VaultPolicyPei/VaultPolicyPei.inf"));
  EXPECT_THAT(sectionLines(dsc, "Defines"), ::testing::Contains("SUPPORTED_ARCHITECTURES = IA32"));
}

TEST(PackageDsc, GivesEveryLibraryClassTheModulesUse) {
  std::set<std::string> provided;
  for (const auto &line : sectionLines(source("Tarvo3Pkg.dsc"), "LibraryClasses")) {
    provided.insert(line.substr(0, line.find('|')));
  }
  for (const char *inf :
       {"TARVO3/ZorPei/ZorPei.inf", "EventVaultPei/EventVaultPei.inf", "VaultPolicyPei/VaultPolicyPei.inf"}) {
    for (const auto &library : sectionLines(source(inf), "LibraryClasses")) {
      EXPECT_EQ(provided.count(library), 1u) << inf << " uses " << library;
    }
  }
}

TEST(PackageDsc, DeclaresTheDynamicExPcdsForThePcdDatabase) {
  EXPECT_THAT(sectionLines(source("Tarvo3Pkg.dsc"), "PcdsDynamicExDefault"),
              ::testing::ElementsAre("gEventVaultTokenSpaceGuid.PcdEventVaultBase|0x0",
                                     "gEventVaultTokenSpaceGuid.PcdEventVaultSize|0x0"));
}
