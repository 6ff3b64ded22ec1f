// The simulated PEI Foundation: services table layout, HOB list, PPI database
// and pool allocation, as PEIMs reach them through the framework libraries.
#include <gtest/gtest.h>

#include <cstring>

#include "Simulator/Platform.h"

extern "C" {
#include <Library/HobLib.h>
#include <Library/PeiServicesLib.h>
}

namespace {

const EFI_GUID kGuidA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const EFI_GUID kGuidB = {0x44444444, 0x5555, 0x6666, {8, 7, 6, 5, 4, 3, 2, 1}};

EFI_PEI_HOB_POINTERS next(EFI_PEI_HOB_POINTERS hob) {
  hob.Raw += hob.Header->HobLength;
  return hob;
}

TEST(PeiFoundation, ServicesTableHasTheSignatureAndTheServices) {
  sim::Platform platform;
  const EFI_PEI_SERVICES* services = *platform.pei().services();
  EXPECT_EQ(services->Hdr.Signature, 0x5652455320494550ull);
  EXPECT_NE(services->InstallPpi, nullptr);
  EXPECT_NE(services->FreePages, nullptr);
}

TEST(PeiFoundation, HobListStartsWithThePhitAndEndsWithAnEndHob) {
  sim::Platform platform;
  EFI_PEI_HOB_POINTERS hob;
  hob.Raw = static_cast<UINT8*>(GetHobList());
  ASSERT_EQ(hob.Header->HobType, 0x0001);
  EXPECT_EQ(hob.Header->HobLength, 56);
  EXPECT_EQ(hob.HandoffInformationTable->Version, 9u);
  EFI_PEI_HOB_POINTERS end = next(hob);
  EXPECT_EQ(end.Header->HobType, 0xFFFF);
  EXPECT_EQ(end.Header->HobLength, 8);
  EXPECT_EQ(hob.HandoffInformationTable->EfiEndOfHobList, reinterpret_cast<uintptr_t>(end.Raw));
}

TEST(PeiFoundation, CreateHobRoundsToEightClearsReservedAndMovesTheEnd) {
  sim::Platform platform;
  auto* phit = platform.pei().hobList();
  uint64_t oldEnd = phit->EfiEndOfHobList;
  VOID* created = nullptr;
  ASSERT_EQ(PeiServicesCreateHob(EFI_HOB_TYPE_GUID_EXTENSION, 27, &created), EFI_SUCCESS);
  auto* header = static_cast<EFI_HOB_GENERIC_HEADER*>(created);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(created), oldEnd);
  EXPECT_EQ(header->HobLength, 32);
  EXPECT_EQ(header->Reserved, 0u);
  EXPECT_EQ(phit->EfiEndOfHobList, oldEnd + 32);
  EXPECT_EQ(phit->EfiFreeMemoryBottom, oldEnd + 40);
  auto* end = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(static_cast<uintptr_t>(phit->EfiEndOfHobList));
  EXPECT_EQ(end->HobType, 0xFFFF);
}

TEST(PeiFoundation, CreateHobFailsWhenOutOfRoom) {
  sim::Platform::Config config;
  config.hobBytes = 128;  // PHIT 56 + end 8 leave 64 bytes
  sim::Platform platform(config);
  VOID* hob = nullptr;
  EXPECT_EQ(PeiServicesCreateHob(EFI_HOB_TYPE_GUID_EXTENSION, 56, &hob), EFI_SUCCESS);
  EXPECT_EQ(PeiServicesCreateHob(EFI_HOB_TYPE_GUID_EXTENSION, 24, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(PeiServicesCreateHob(EFI_HOB_TYPE_GUID_EXTENSION, 1, &hob), EFI_SUCCESS);
}

TEST(PeiFoundation, GuidHobsAreFoundByNameInListOrder) {
  sim::Platform platform;
  UINT8 one = 1, two = 2, other = 9;
  ASSERT_NE(BuildGuidDataHob(&kGuidA, &one, 1), nullptr);
  ASSERT_NE(BuildGuidDataHob(&kGuidB, &other, 1), nullptr);
  ASSERT_NE(BuildGuidDataHob(&kGuidA, &two, 1), nullptr);
  VOID* first = GetFirstGuidHob(&kGuidA);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*static_cast<UINT8*>(GET_GUID_HOB_DATA(first)), 1);
  EXPECT_EQ(GET_GUID_HOB_DATA_SIZE(first), 8);  // length 25 rounded to 32, less the 24-byte header
  EXPECT_EQ(GetNextGuidHob(&kGuidA, first), first);
  VOID* second = GetNextGuidHob(&kGuidA, GET_NEXT_HOB(first));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(*static_cast<UINT8*>(GET_GUID_HOB_DATA(second)), 2);
  EXPECT_EQ(GetNextGuidHob(&kGuidA, GET_NEXT_HOB(second)), nullptr);
  EXPECT_EQ(platform.pei().guidHobs(kGuidA).size(), 2u);
}

TEST(PeiFoundation, InstallPpiRefusesADescriptorWithoutThePpiFlag) {
  sim::Platform platform;
  int table = 0;
  EFI_PEI_PPI_DESCRIPTOR bad = {EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, const_cast<EFI_GUID*>(&kGuidA), &table};
  EXPECT_EQ(PeiServicesInstallPpi(&bad), EFI_INVALID_PARAMETER);
  VOID* ppi = nullptr;
  EXPECT_EQ(PeiServicesLocatePpi(&kGuidA, 0, nullptr, &ppi), EFI_NOT_FOUND);
}

TEST(PeiFoundation, LocatePpiCountsInstancesAndKeepsTheDescriptor) {
  sim::Platform platform;
  int first = 1, second = 2;
  EFI_PEI_PPI_DESCRIPTOR list[] = {
      {EFI_PEI_PPI_DESCRIPTOR_PPI, const_cast<EFI_GUID*>(&kGuidA), &first},
      {EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, const_cast<EFI_GUID*>(&kGuidA), &second}};
  ASSERT_EQ(PeiServicesInstallPpi(list), EFI_SUCCESS);
  VOID* ppi = nullptr;
  EFI_PEI_PPI_DESCRIPTOR* descriptor = nullptr;
  ASSERT_EQ(PeiServicesLocatePpi(&kGuidA, 1, &descriptor, &ppi), EFI_SUCCESS);
  EXPECT_EQ(ppi, &second);
  EXPECT_EQ(descriptor, &list[1]);
  EXPECT_EQ(PeiServicesLocatePpi(&kGuidA, 2, nullptr, &ppi), EFI_NOT_FOUND);
  EXPECT_EQ(PeiServicesLocatePpi(&kGuidB, 0, nullptr, &ppi), EFI_NOT_FOUND);
}

TEST(PeiFoundation, InjectedInstallFailureIsReturnedOnce) {
  sim::Platform platform;
  int table = 0;
  EFI_PEI_PPI_DESCRIPTOR d = {EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
                              const_cast<EFI_GUID*>(&kGuidA), &table};
  platform.pei().failInstallPpi(1);
  EXPECT_EQ(PeiServicesInstallPpi(&d), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(PeiServicesInstallPpi(&d), EFI_SUCCESS);
}

TEST(PeiFoundation, AllocatePoolTakesAMemoryPoolHobAndCanBeMadeToFail) {
  sim::Platform platform;
  VOID* buffer = nullptr;
  ASSERT_EQ(PeiServicesAllocatePool(100, &buffer), EFI_SUCCESS);
  auto* hob = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(static_cast<UINT8*>(buffer) - 8);
  EXPECT_EQ(hob->HobType, EFI_HOB_TYPE_MEMORY_POOL);
  EXPECT_EQ(hob->HobLength, 112);
  std::memset(buffer, 0x5A, 100);  // the whole buffer is usable

  platform.pei().failAllocatePool(1);
  EXPECT_EQ(PeiServicesAllocatePool(100, &buffer), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(PeiServicesAllocatePool(0x10000, &buffer), EFI_OUT_OF_RESOURCES);
}

}  // namespace
