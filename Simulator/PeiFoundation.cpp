#include "PeiFoundation.h"

#include <cstddef>
#include <cstring>

namespace sim {
namespace {

bool sameGuid(const EFI_GUID& a, const EFI_GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A service the modules never call: answers EFI_UNSUPPORTED, with the
// service's own signature.
template <class F>
struct Unsupported;
template <class... Args>
struct Unsupported<EFI_STATUS(EFIAPI*)(Args...)> {
  static EFI_STATUS EFIAPI call(Args...) { return EFI_UNSUPPORTED; }
};

template <class F>
F unsupported() {
  return &Unsupported<F>::call;
}

}  // namespace

PeiFoundation& PeiFoundation::self(const EFI_PEI_SERVICES** services) {
  return *reinterpret_cast<const Anchor*>(services)->owner;
}

PeiFoundation::PeiFoundation(size_t hobBytes) : hobs_((hobBytes + 7) / 8, 0) {
  services_.Hdr.Signature = PEI_SERVICES_SIGNATURE;
  services_.Hdr.Revision = PEI_SERVICES_REVISION;
  services_.Hdr.HeaderSize = sizeof(EFI_PEI_SERVICES);

  services_.InstallPpi = [](const EFI_PEI_SERVICES** s, const EFI_PEI_PPI_DESCRIPTOR* list) {
    return self(s).installPpi(list);
  };
  services_.ReInstallPpi = unsupported<EFI_PEI_REINSTALL_PPI>();
  services_.LocatePpi = [](const EFI_PEI_SERVICES** s, const EFI_GUID* guid, UINTN instance,
                           EFI_PEI_PPI_DESCRIPTOR** descriptor, VOID** ppi) {
    return self(s).locatePpi(guid, instance, descriptor, ppi);
  };
  services_.NotifyPpi = unsupported<EFI_PEI_NOTIFY_PPI>();
  services_.GetBootMode = [](const EFI_PEI_SERVICES** s, EFI_BOOT_MODE* mode) -> EFI_STATUS {
    if (mode == nullptr) return EFI_INVALID_PARAMETER;
    *mode = self(s).hobList()->BootMode;
    return EFI_SUCCESS;
  };
  services_.SetBootMode = [](const EFI_PEI_SERVICES** s, EFI_BOOT_MODE mode) -> EFI_STATUS {
    self(s).hobList()->BootMode = mode;
    return EFI_SUCCESS;
  };
  services_.GetHobList = [](const EFI_PEI_SERVICES** s, VOID** list) -> EFI_STATUS {
    if (list == nullptr) return EFI_INVALID_PARAMETER;
    *list = self(s).hobList();
    return EFI_SUCCESS;
  };
  services_.CreateHob = [](const EFI_PEI_SERVICES** s, UINT16 type, UINT16 length, VOID** hob) {
    return self(s).createHob(type, length, hob);
  };
  services_.FfsFindNextVolume = unsupported<EFI_PEI_FFS_FIND_NEXT_VOLUME2>();
  services_.FfsFindNextFile = unsupported<EFI_PEI_FFS_FIND_NEXT_FILE2>();
  services_.FfsFindSectionData = unsupported<EFI_PEI_FFS_FIND_SECTION_DATA2>();
  services_.InstallPeiMemory = unsupported<EFI_PEI_INSTALL_PEI_MEMORY>();
  services_.AllocatePages = unsupported<EFI_PEI_ALLOCATE_PAGES>();
  services_.AllocatePool = [](const EFI_PEI_SERVICES** s, UINTN size, VOID** buffer) {
    return self(s).allocatePool(size, buffer);
  };
  services_.CopyMem = [](VOID* d, VOID* src, UINTN n) { std::memmove(d, src, n); };
  services_.SetMem = [](VOID* b, UINTN n, UINT8 v) { std::memset(b, v, n); };
  services_.ReportStatusCode = unsupported<EFI_PEI_REPORT_STATUS_CODE>();
  services_.ResetSystem = unsupported<EFI_PEI_RESET_SYSTEM>();
  services_.FfsFindFileByName = unsupported<EFI_PEI_FFS_FIND_BY_NAME>();
  services_.FfsGetFileInfo = unsupported<EFI_PEI_FFS_GET_FILE_INFO>();
  services_.FfsGetVolumeInfo = unsupported<EFI_PEI_FFS_GET_VOLUME_INFO>();
  services_.RegisterForShadow = unsupported<EFI_PEI_REGISTER_FOR_SHADOW>();
  services_.FindSectionData3 = unsupported<EFI_PEI_FFS_FIND_SECTION_DATA3>();
  services_.FfsGetFileInfo2 = unsupported<EFI_PEI_FFS_GET_FILE_INFO>();
  services_.ResetSystem2 = [](UINT32, EFI_STATUS, UINTN, VOID*) {};
  services_.FreePages = unsupported<EFI_PEI_FREE_PAGES>();

  // The handoff HOB describes the memory the list lives in, then the end HOB.
  auto* base = reinterpret_cast<uint8_t*>(hobs_.data());
  auto* phit = hobList();
  phit->Header.HobType = EFI_HOB_TYPE_HANDOFF;
  phit->Header.HobLength = sizeof(EFI_HOB_HANDOFF_INFO_TABLE);
  phit->Version = EFI_HOB_HANDOFF_TABLE_VERSION;
  phit->BootMode = BOOT_WITH_FULL_CONFIGURATION;
  phit->EfiMemoryBottom = reinterpret_cast<uintptr_t>(base);
  phit->EfiMemoryTop = phit->EfiMemoryBottom + hobs_.size() * 8;
  phit->EfiFreeMemoryTop = phit->EfiMemoryTop;
  auto* end = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(base + sizeof(EFI_HOB_HANDOFF_INFO_TABLE));
  end->HobType = EFI_HOB_TYPE_END_OF_HOB_LIST;
  end->HobLength = sizeof(EFI_HOB_GENERIC_HEADER);
  phit->EfiEndOfHobList = reinterpret_cast<uintptr_t>(end);
  phit->EfiFreeMemoryBottom = phit->EfiEndOfHobList + sizeof(EFI_HOB_GENERIC_HEADER);
}

EFI_STATUS PeiFoundation::dispatch(EFI_PEIM_ENTRY_POINT2 entry) {
  fileHandle_ += 0x100;
  return entry(reinterpret_cast<EFI_PEI_FILE_HANDLE>(fileHandle_), services());
}

EFI_STATUS PeiFoundation::installPpi(const EFI_PEI_PPI_DESCRIPTOR* list) {
  ++installCalls_;
  if (list == nullptr) return EFI_INVALID_PARAMETER;
  if (failInstall_ > 0) {
    --failInstall_;
    return EFI_OUT_OF_RESOURCES;
  }
  // Check the whole list before taking any of it.
  size_t count = 0;
  for (const EFI_PEI_PPI_DESCRIPTOR* d = list;; ++d) {
    if ((d->Flags & EFI_PEI_PPI_DESCRIPTOR_PPI) == 0 || d->Guid == nullptr) return EFI_INVALID_PARAMETER;
    ++count;
    if (d->Flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) break;
  }
  for (size_t i = 0; i < count; ++i) ppis_.push_back(&list[i]);
  return EFI_SUCCESS;
}

EFI_STATUS PeiFoundation::locatePpi(const EFI_GUID* guid, UINTN instance,
                                    EFI_PEI_PPI_DESCRIPTOR** descriptor, VOID** ppi) {
  if (guid == nullptr || ppi == nullptr) return EFI_INVALID_PARAMETER;
  for (const EFI_PEI_PPI_DESCRIPTOR* d : ppis_) {
    if (!sameGuid(*d->Guid, *guid)) continue;
    if (instance-- > 0) continue;
    if (descriptor) *descriptor = const_cast<EFI_PEI_PPI_DESCRIPTOR*>(d);
    *ppi = d->Ppi;
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}

VOID* PeiFoundation::locate(const EFI_GUID& guid, UINTN instance) const {
  for (const EFI_PEI_PPI_DESCRIPTOR* d : ppis_)
    if (sameGuid(*d->Guid, guid) && instance-- == 0) return d->Ppi;
  return nullptr;
}

EFI_STATUS PeiFoundation::createHob(UINT16 type, UINT16 length, VOID** hob) {
  if (hob == nullptr) return EFI_INVALID_PARAMETER;
  auto* phit = hobList();
  uint32_t rounded = (static_cast<uint32_t>(length) + 7) & ~7u;
  if (rounded < sizeof(EFI_HOB_GENERIC_HEADER) || rounded > 0xFFF8) return EFI_INVALID_PARAMETER;
  uint64_t freeBytes = phit->EfiFreeMemoryTop - phit->EfiFreeMemoryBottom;
  if (rounded > freeBytes) return EFI_OUT_OF_RESOURCES;

  auto* header = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(static_cast<uintptr_t>(phit->EfiEndOfHobList));
  std::memset(header, 0, rounded);
  header->HobType = type;
  header->HobLength = static_cast<UINT16>(rounded);
  header->Reserved = 0;

  auto* end = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(reinterpret_cast<uint8_t*>(header) + rounded);
  end->HobType = EFI_HOB_TYPE_END_OF_HOB_LIST;
  end->HobLength = sizeof(EFI_HOB_GENERIC_HEADER);
  end->Reserved = 0;
  phit->EfiEndOfHobList = reinterpret_cast<uintptr_t>(end);
  phit->EfiFreeMemoryBottom = phit->EfiEndOfHobList + sizeof(EFI_HOB_GENERIC_HEADER);
  *hob = header;
  return EFI_SUCCESS;
}

EFI_STATUS PeiFoundation::allocatePool(UINTN size, VOID** buffer) {
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  if (failPool_ > 0) {
    --failPool_;
    return EFI_OUT_OF_RESOURCES;
  }
  if (size > 0xFFF8 - sizeof(EFI_HOB_MEMORY_POOL)) return EFI_OUT_OF_RESOURCES;
  VOID* hob = nullptr;
  EFI_STATUS status =
      createHob(EFI_HOB_TYPE_MEMORY_POOL, static_cast<UINT16>(sizeof(EFI_HOB_MEMORY_POOL) + size), &hob);
  if (EFI_ERROR(status)) return EFI_OUT_OF_RESOURCES;
  // Pool memory is not cleared by the foundation: show that as a pattern.
  auto* data = static_cast<uint8_t*>(hob) + sizeof(EFI_HOB_MEMORY_POOL);
  std::memset(data, 0xAF, size);
  *buffer = data;
  return EFI_SUCCESS;
}

size_t PeiFoundation::hobBytesUsed() const {
  auto* phit = reinterpret_cast<const EFI_HOB_HANDOFF_INFO_TABLE*>(hobs_.data());
  return static_cast<size_t>(phit->EfiFreeMemoryBottom - phit->EfiMemoryBottom);
}

std::vector<std::vector<uint8_t>> PeiFoundation::guidHobs(const EFI_GUID& guid) {
  std::vector<std::vector<uint8_t>> found;
  auto* p = reinterpret_cast<uint8_t*>(hobs_.data());
  for (;;) {
    auto* h = reinterpret_cast<EFI_HOB_GENERIC_HEADER*>(p);
    if (h->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST) break;
    if (h->HobType == EFI_HOB_TYPE_GUID_EXTENSION) {
      auto* g = reinterpret_cast<EFI_HOB_GUID_TYPE*>(h);
      if (sameGuid(g->Name, guid))
        found.emplace_back(p + sizeof(EFI_HOB_GUID_TYPE), p + h->HobLength);
    }
    p += h->HobLength;
  }
  return found;
}

bool PeiFoundation::addGuidHob(const EFI_GUID& guid, const std::vector<uint8_t>& data) {
  VOID* hob = nullptr;
  if (data.size() > 0xFFF8 - sizeof(EFI_HOB_GUID_TYPE)) return false;
  if (EFI_ERROR(createHob(EFI_HOB_TYPE_GUID_EXTENSION,
                          static_cast<UINT16>(sizeof(EFI_HOB_GUID_TYPE) + data.size()), &hob)))
    return false;
  auto* g = static_cast<EFI_HOB_GUID_TYPE*>(hob);
  g->Name = guid;
  std::memcpy(g + 1, data.data(), data.size());
  return true;
}

}  // namespace sim
