// VaultPolicyPei, the PcdLib instance it goes through, and the
// simulated PCD database behind EFI_PEI_PCD_PPI.
#include <gtest/gtest.h>

#include "VaultMachine.h"

#include "AutoGen/VaultPolicyPeiAutoGen.h"

extern "C" {
#include <Guid/EventVaultTokenSpace.h>
#include <Library/PcdLib.h>
}

namespace {

using test::token;
using test::VaultMachine;

constexpr EFI_STATUS kInvalidParameter = 0x8000000000000002ull;
constexpr EFI_STATUS kNotFound = 0x800000000000000Eull;

struct SetSeen {
  uint64_t number;
  uint32_t width;
  uint64_t value;
  EFI_STATUS status;
  bool operator==(const SetSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SetSeen& s) {
  return out << std::hex << "{0x" << s.number << ", " << s.width << " bytes, 0x" << s.value << ", 0x" << s.status
             << "}" << std::dec;
}

std::vector<SetSeen> setsSeen(sim::Platform& p) {
  std::vector<SetSeen> seen;
  for (const auto& s : p.pcd().sets()) {
    EXPECT_TRUE(test::sameGuid(s.space, test::kTokenSpaceGuid));
    seen.push_back({s.number, s.width, s.value, s.status});
  }
  return seen;
}

// --- Definitions --------------------------------------------------------------

TEST(VaultPolicyDefinitions, TokenSpaceAndTokenNumbers) {
  EXPECT_TRUE(test::sameGuid(gEventVaultTokenSpaceGuid, test::kTokenSpaceGuid));
  const EFI_GUID macro = EVENT_VAULT_TOKEN_SPACE_GUID;
  EXPECT_TRUE(test::sameGuid(macro, test::kTokenSpaceGuid));
  EXPECT_EQ(EVENT_VAULT_PCD_BASE_TOKEN, 0xA030B);
  EXPECT_EQ(EVENT_VAULT_PCD_SIZE_TOKEN, 0xA030C);
  // The module's AutoGen header agrees with the public one.
  EXPECT_EQ(_PCD_TOKEN_PcdEventVaultBase, 0xA030Bu);
  EXPECT_EQ(_PCD_TOKEN_PcdEventVaultSize, 0xA030Cu);
}

TEST(PcdPpiDefinition, HasTheEighteenMembersInPiOrder) {
  EXPECT_TRUE(test::sameGuid(gEfiPeiPcdPpiGuid, test::kPcdPpiGuid));
  const size_t p = sizeof(void*);
  EXPECT_EQ(sizeof(EFI_PEI_PCD_PPI), 18 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, SetSku), 0 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Get8), 1 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Get16), 2 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Get32), 3 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Get64), 4 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, GetPtr), 5 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, GetBool), 6 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, GetSize), 7 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Set8), 8 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Set16), 9 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Set32), 10 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, Set64), 11 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, SetPtr), 12 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, SetBool), 13 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, CallbackOnSet), 14 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, CancelCallback), 15 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, GetNextToken), 16 * p);
  EXPECT_EQ(OFFSET_OF(EFI_PEI_PCD_PPI, GetNextTokenSpace), 17 * p);
}

// --- The module -----------------------------------------------------------------

TEST(VaultPolicy, SetsBothPcdsInOrder) {
  VaultMachine m;
  EXPECT_TRUE(m.policyOutcome.completed);
  EXPECT_EQ(m.policyStatus, EFI_SUCCESS);
  EXPECT_EQ(setsSeen(m.platform), (std::vector<SetSeen>{{0xA030B, 4, 0xFFCA4020, EFI_SUCCESS},
                                                        {0xA030C, 4, 0x4DE0, EFI_SUCCESS}}));
  // What the event-log code of a later phase reads through the PPI.
  EFI_PEI_PCD_PPI* pcd = m.pcdPpi();
  ASSERT_NE(pcd, nullptr);
  EXPECT_EQ(pcd->Get32(&test::kTokenSpaceGuid, 0xA030B), 0xFFCA4020u);
  EXPECT_EQ(pcd->Get32(&test::kTokenSpaceGuid, 0xA030C), 0x4DE0u);
  EXPECT_EQ(m.dispatchLog, "");
}

struct PolicyCase {
  const char* name;
  std::vector<sim::PcdToken> tokens;
  std::vector<SetSeen> sets;
  std::optional<uint64_t> base;
  std::optional<uint64_t> size;
};

class VaultPolicyDatabase : public testing::TestWithParam<PolicyCase> {};

TEST_P(VaultPolicyDatabase, AFailingSetLeavesThatPcdAndTheOtherIsStillSet) {
  const PolicyCase& c = GetParam();
  VaultMachine m{test::pcdTokens(c.tokens)};
  EXPECT_TRUE(m.policyOutcome.completed);
  EXPECT_EQ(m.policyStatus, EFI_SUCCESS);
  EXPECT_EQ(setsSeen(m.platform), c.sets);
  EXPECT_EQ(m.platform.pcd().value(test::kTokenSpaceGuid, 0xA030B), c.base);
  EXPECT_EQ(m.platform.pcd().value(test::kTokenSpaceGuid, 0xA030C), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Set32, VaultPolicyDatabase,
    testing::Values(
        PolicyCase{"BaseRejectsItsFirstSet",
                   {token(0xA030B, 4, 0x12345678, true), token(0xA030C)},
                   {{0xA030B, 4, 0xFFCA4020, kInvalidParameter}, {0xA030C, 4, 0x4DE0, EFI_SUCCESS}},
                   0x12345678,
                   0x4DE0},
        PolicyCase{"SizeRejectsItsFirstSet",
                   {token(0xA030B), token(0xA030C, 4, 7, true)},
                   {{0xA030B, 4, 0xFFCA4020, EFI_SUCCESS}, {0xA030C, 4, 0x4DE0, kInvalidParameter}},
                   0xFFCA4020,
                   7},
        PolicyCase{"BaseNotInTheDatabase",
                   {token(0xA030C)},
                   {{0xA030B, 4, 0xFFCA4020, kNotFound}, {0xA030C, 4, 0x4DE0, EFI_SUCCESS}},
                   std::nullopt,
                   0x4DE0},
        PolicyCase{"NeitherInTheDatabase",
                   {},
                   {{0xA030B, 4, 0xFFCA4020, kNotFound}, {0xA030C, 4, 0x4DE0, kNotFound}},
                   std::nullopt,
                   std::nullopt},
        PolicyCase{"BaseDeclaredAs64Bits",
                   {token(0xA030B, 8, 0xAAAA), token(0xA030C)},
                   {{0xA030B, 4, 0xFFCA4020, kInvalidParameter}, {0xA030C, 4, 0x4DE0, EFI_SUCCESS}},
                   0xAAAA,
                   0x4DE0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VaultPolicy, WithoutAPcdPpiReturnsSuccessAndSaysWhatWasNotSet) {
  VaultMachine m{test::pcdAbsent()};
  EXPECT_TRUE(m.policyOutcome.completed) << m.policyOutcome.report;
  EXPECT_FALSE(m.platform.stopped());
  EXPECT_EQ(m.policyStatus, EFI_SUCCESS);
  EXPECT_EQ(m.dispatchLog,
            "PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030B of token space "
            "D1B99B46-E509-4EDA-89AC-7A6738BB821A not set to 0xFFCA4020\n"
            "PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030C of token space "
            "D1B99B46-E509-4EDA-89AC-7A6738BB821A not set to 0x4DE0\n");
  EXPECT_TRUE(m.platform.pcd().sets().empty());
}

// --- PcdLib ------------------------------------------------------------------------

// A PCD PPI of the test's own, to see exactly what the library passes.
struct FakePcd {
  static inline std::vector<std::string> calls;
  static EFI_STATUS EFIAPI Set32(CONST EFI_GUID* guid, UINTN token, UINT32 value) {
    char text[96];
    std::snprintf(text, sizeof text, "Set32 %s 0x%llX 0x%X", sim::guidText(*guid).c_str(),
                  static_cast<unsigned long long>(token), value);
    calls.push_back(text);
    return 0x1234;
  }
  static UINT32 EFIAPI Get32(CONST EFI_GUID* guid, UINTN token) {
    calls.push_back("Get32 " + sim::guidText(*guid) + " " + std::to_string(token));
    return 0xCAFE;
  }
};

TEST(PcdLib, PassesGuidTokenAndValueToSet32AndReturnsItsStatus) {
  FakePcd::calls.clear();
  EFI_PEI_PCD_PPI fake{};
  fake.Set32 = FakePcd::Set32;
  fake.Get32 = FakePcd::Get32;
  EFI_PEI_PPI_DESCRIPTOR descriptor{EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
                                    const_cast<EFI_GUID*>(&test::kPcdPpiGuid), &fake};
  VaultMachine m{test::pcdAbsent(),
                 test::before([&](sim::Platform& p) { ASSERT_EQ(p.pei().installPpi(&descriptor), EFI_SUCCESS); })};
  EXPECT_EQ(m.policyStatus, EFI_SUCCESS);
  EXPECT_EQ(FakePcd::calls, (std::vector<std::string>{"Set32 D1B99B46-E509-4EDA-89AC-7A6738BB821A 0xA030B 0xFFCA4020",
                                                      "Set32 D1B99B46-E509-4EDA-89AC-7A6738BB821A 0xA030C 0x4DE0"}));
  RETURN_STATUS status = 0;
  UINT32 value = 0;
  m.platform.run("PcdLib", [&] {
    status = LibPcdSetEx32S(&test::kTokenSpaceGuid, 0x42, 7);
    value = LibPcdGetEx32(&test::kTokenSpaceGuid, 0x43);
  });
  EXPECT_EQ(status, 0x1234u);
  EXPECT_EQ(value, 0xCAFEu);
}

TEST(PcdLib, LocatesThePpiOnEveryCall) {
  VaultMachine m{test::pcdAbsent()};
  m.clear();
  RETURN_STATUS before = 0, after = 0;
  UINT32 readBefore = 1, readAfter = 0;
  m.platform.run("PcdLib", [&] {
    before = LibPcdSetEx32S(&test::kTokenSpaceGuid, 0xA030C, 0x100);
    readBefore = LibPcdGetEx32(&test::kTokenSpaceGuid, 0xA030C);
  });
  ASSERT_EQ(m.platform.pcd().install(m.platform.pei()), EFI_SUCCESS);
  m.platform.run("PcdLib", [&] {
    after = LibPcdSetEx32S(&test::kTokenSpaceGuid, 0xA030C, 0x200);
    readAfter = LibPcdGetEx32(&test::kTokenSpaceGuid, 0xA030C);
  });
  EXPECT_EQ(before, kNotFound);
  EXPECT_EQ(readBefore, 0u);
  EXPECT_EQ(after, EFI_SUCCESS);
  EXPECT_EQ(readAfter, 0x200u);
  EXPECT_EQ(m.log(),
            "PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030C of token space "
            "D1B99B46-E509-4EDA-89AC-7A6738BB821A not set to 0x100\n"
            "PcdLib: no EFI_PEI_PCD_PPI (Not Found): PCD 0xA030C of token space "
            "D1B99B46-E509-4EDA-89AC-7A6738BB821A read as 0\n");
}

// --- The simulated database ------------------------------------------------------

constexpr EFI_GUID kOtherSpace = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class PcdDatabase : public testing::Test {
 protected:
  PcdDatabase()
      : m{test::pcdTokens({token(0xA030B), token(0xA030C, 4, 0x4DE0), token(0x10, 1, 1), token(0x11, 2, 0xBEEF),
                           token(0x12, 8, 0x0102030405060708ull)}),
          test::before([](sim::Platform& p) { p.pei().failInstallPpi(0); })} {
    ppi = m.pcdPpi();
  }
  VaultMachine m;
  EFI_PEI_PCD_PPI* ppi = nullptr;
  const EFI_GUID* space = &test::kTokenSpaceGuid;
};

TEST_F(PcdDatabase, IsInstalledAsThePcdPpi) {
  ASSERT_NE(ppi, nullptr);
  EXPECT_TRUE(m.platform.pcd().installed());
  EXPECT_EQ(ppi, m.platform.pcd().ppi());
}

TEST_F(PcdDatabase, GetsAndSetsEachWidth) {
  EXPECT_EQ(ppi->Get8(space, 0x10), 1);
  EXPECT_EQ(ppi->Get16(space, 0x11), 0xBEEF);
  EXPECT_EQ(ppi->Get64(space, 0x12), 0x0102030405060708ull);
  EXPECT_TRUE(ppi->GetBool(space, 0x10));
  EXPECT_EQ(ppi->Set8(space, 0x10, 0), EFI_SUCCESS);
  EXPECT_FALSE(ppi->GetBool(space, 0x10));
  EXPECT_EQ(ppi->SetBool(space, 0x10, TRUE), EFI_SUCCESS);
  EXPECT_EQ(ppi->Get8(space, 0x10), 1);
  EXPECT_EQ(ppi->Set16(space, 0x11, 0x1234), EFI_SUCCESS);
  EXPECT_EQ(ppi->Get16(space, 0x11), 0x1234);
  EXPECT_EQ(ppi->Set64(space, 0x12, 0xFFEEDDCCBBAA9988ull), EFI_SUCCESS);
  EXPECT_EQ(ppi->Get64(space, 0x12), 0xFFEEDDCCBBAA9988ull);
  EXPECT_EQ(ppi->GetSize(space, 0x12), 8u);
  EXPECT_EQ(ppi->GetSize(space, 0x99), 0u);
  auto* bytes = static_cast<uint8_t*>(ppi->GetPtr(space, 0x11));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0], 0x34);
  UINTN size = 2;
  uint8_t buffer[2] = {0x78, 0x56};
  EXPECT_EQ(ppi->SetPtr(space, 0x11, &size, buffer), EFI_SUCCESS);
  EXPECT_EQ(ppi->Get16(space, 0x11), 0x5678);
  size = 3;
  EXPECT_EQ(ppi->SetPtr(space, 0x11, &size, buffer), kInvalidParameter);
  EXPECT_EQ(size, 2u);
}

TEST_F(PcdDatabase, Set32OfAnUnknownTokenIsNotFound) {
  EXPECT_EQ(ppi->Set32(space, 0xA030D, 1), kNotFound);
  EXPECT_EQ(ppi->Set32(&kOtherSpace, 0xA030B, 1), kNotFound);
  EXPECT_EQ(ppi->Get32(&kOtherSpace, 0xA030B), 0u);
}

TEST_F(PcdDatabase, ASetOfAnotherWidthIsAnInvalidParameter) {
  EXPECT_EQ(ppi->Set16(space, 0xA030C, 1), kInvalidParameter);
  EXPECT_EQ(ppi->Set64(space, 0xA030C, 1), kInvalidParameter);
  EXPECT_EQ(ppi->Get32(space, 0xA030C), 0x4DE0u);
}

TEST_F(PcdDatabase, WalksTokensAndTokenSpaces) {
  UINTN number = 0;
  std::vector<UINTN> numbers;
  for (;;) {
    ASSERT_EQ(ppi->GetNextToken(space, &number), EFI_SUCCESS);
    if (number == 0) break;
    numbers.push_back(number);
  }
  EXPECT_EQ(numbers, (std::vector<UINTN>{0xA030B, 0xA030C, 0x10, 0x11, 0x12}));
  number = 0x99;
  EXPECT_EQ(ppi->GetNextToken(space, &number), kNotFound);

  const EFI_GUID* guid = nullptr;
  ASSERT_EQ(ppi->GetNextTokenSpace(&guid), EFI_SUCCESS);
  ASSERT_NE(guid, nullptr);
  EXPECT_TRUE(test::sameGuid(*guid, test::kTokenSpaceGuid));
  ASSERT_EQ(ppi->GetNextTokenSpace(&guid), EFI_SUCCESS);
  EXPECT_EQ(guid, nullptr);
}

struct Seen {
  static inline std::vector<std::string> calls;
  static VOID EFIAPI OnSet(CONST EFI_GUID* guid, UINTN token, VOID* data, UINTN size) {
    (void)guid;
    calls.push_back(std::to_string(token) + ":" + std::to_string(*static_cast<uint8_t*>(data)) + "/" +
                    std::to_string(size));
  }
};

TEST_F(PcdDatabase, CallsBackOnASuccessfulSetUntilCancelled) {
  Seen::calls.clear();
  EXPECT_EQ(ppi->CallbackOnSet(space, 0x10, Seen::OnSet), EFI_SUCCESS);
  EXPECT_EQ(ppi->Set8(space, 0x10, 5), EFI_SUCCESS);
  EXPECT_EQ(ppi->Set16(space, 0x10, 5), kInvalidParameter);
  EXPECT_EQ(ppi->CancelCallback(space, 0x10, Seen::OnSet), EFI_SUCCESS);
  EXPECT_EQ(ppi->Set8(space, 0x10, 6), EFI_SUCCESS);
  EXPECT_EQ(Seen::calls, (std::vector<std::string>{"16:5/1"}));
}

TEST_F(PcdDatabase, RecordsEverySetInTheTrace) {
  m.clear();
  ppi->Set32(space, 0xA030C, 0x55);
  ppi->Set32(space, 0xA030D, 0x66);
  std::vector<std::string> comments;
  for (const auto& r : m.platform.trace().records())
    if (r.op == '#') comments.push_back(r.note);
  EXPECT_EQ(comments, (std::vector<std::string>{
                          "PCD Set32 D1B99B46-E509-4EDA-89AC-7A6738BB821A 0xA030C = 0x55: EFI_SUCCESS",
                          "PCD Set32 D1B99B46-E509-4EDA-89AC-7A6738BB821A 0xA030D = 0x66: EFI_NOT_FOUND"}));
}

TEST(GuidText, ReadsAndWritesTheRegistryForm) {
  EXPECT_EQ(sim::guidText(test::kPcdPpiGuid), "01F34D25-4DE2-23AD-3FF3-36353FF323F1");
  auto g = sim::parseGuid("d1b99b46-e509-4eda-89ac-7a6738bb821a");
  ASSERT_TRUE(g);
  EXPECT_TRUE(test::sameGuid(*g, test::kTokenSpaceGuid));
  EXPECT_FALSE(sim::parseGuid("D1B99B46-E509-4EDA-89AC-7A6738BB821"));
  EXPECT_FALSE(sim::parseGuid("D1B99B46E509-4EDA-89AC-7A6738BB821A0"));
  EXPECT_FALSE(sim::parseGuid("X1B99B46-E509-4EDA-89AC-7A6738BB821A"));
}

}  // namespace
