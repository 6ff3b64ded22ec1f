// Our stand-in for the PEI Foundation: a services table in the PI layout, a
// PPI database, and a HOB list in simulated memory that starts with the
// handoff (PHIT) HOB. AllocatePool takes its buffers from the HOB list as
// memory-pool HOBs, as the PEI Foundation does before permanent memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <PiPei.h>
}

namespace sim {

class PeiFoundation {
 public:
  explicit PeiFoundation(size_t hobBytes = 64 * 1024);
  PeiFoundation(const PeiFoundation&) = delete;
  PeiFoundation& operator=(const PeiFoundation&) = delete;

  // The pointer a PEIM receives: the address of the table pointer.
  const EFI_PEI_SERVICES** services() { return &anchor_.table; }

  // Runs a PEIM's entry point with a file handle of its own.
  EFI_STATUS dispatch(EFI_PEIM_ENTRY_POINT2 entry);

  // Fault injection: the next `count` calls of the service fail (AllocatePool
  // with EFI_OUT_OF_RESOURCES, InstallPpi with EFI_OUT_OF_RESOURCES).
  void failAllocatePool(unsigned count = 1) { failPool_ = count; }
  void failInstallPpi(unsigned count = 1) { failInstall_ = count; }

  // PPI database, in installation order.
  const std::vector<const EFI_PEI_PPI_DESCRIPTOR*>& ppis() const { return ppis_; }
  VOID* locate(const EFI_GUID& guid, UINTN instance = 0) const;
  unsigned installCalls() const { return installCalls_; }

  // HOB list.
  EFI_HOB_HANDOFF_INFO_TABLE* hobList() { return reinterpret_cast<EFI_HOB_HANDOFF_INFO_TABLE*>(hobs_.data()); }
  size_t hobBytesUsed() const;
  // Every GUID extension HOB with this name, in list order: the data bytes.
  std::vector<std::vector<uint8_t>> guidHobs(const EFI_GUID& guid);
  // Appends a GUID HOB as platform code would (e.g. the debug-disable HOB).
  bool addGuidHob(const EFI_GUID& guid, const std::vector<uint8_t>& data);

  // Services, callable directly (tests) and through the table.
  EFI_STATUS installPpi(const EFI_PEI_PPI_DESCRIPTOR* list);
  EFI_STATUS locatePpi(const EFI_GUID* guid, UINTN instance, EFI_PEI_PPI_DESCRIPTOR** descriptor, VOID** ppi);
  EFI_STATUS createHob(UINT16 type, UINT16 length, VOID** hob);
  EFI_STATUS allocatePool(UINTN size, VOID** buffer);

 private:
  static PeiFoundation& self(const EFI_PEI_SERVICES** services);

  // What a PEIM holds is the address of the table pointer; the pointer sits
  // first in this anchor so that the address leads back to the foundation.
  struct Anchor {
    const EFI_PEI_SERVICES* table;
    PeiFoundation* owner;
  };

  EFI_PEI_SERVICES services_{};
  Anchor anchor_{&services_, this};
  std::vector<uint64_t> hobs_;  // 8-byte aligned simulated memory
  std::vector<const EFI_PEI_PPI_DESCRIPTOR*> ppis_;
  unsigned failPool_ = 0;
  unsigned failInstall_ = 0;
  unsigned installCalls_ = 0;
  uintptr_t fileHandle_ = 0x1000;
};

}  // namespace sim
