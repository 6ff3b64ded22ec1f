// The platform's PCD database as the PCD PEIM serves it: EFI_PEI_PCD_PPI (the
// 18 members in PI order) over the dynamic-ex tokens that the scenario
// declares, each with its token space, number, size and default.
//
// Set of an unknown token (space and number): EFI_NOT_FOUND; of a token of
// another size: EFI_INVALID_PARAMETER. A token declared with rejectFirstSet
// refuses its first Set with EFI_INVALID_PARAMETER and keeps its value; later
// Sets take. Get of an unknown token returns 0. Every Set is kept in a log,
// and written to the trace as a comment.
//
// The PPI is installed in the PEI Foundation only when install() is called
// (the runner does so before dispatching the modules, unless the scenario
// says the database is absent), so that a platform without it can be shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <PiPei.h>
#include <Ppi/PiPcd.h>
}

#include "Trace.h"

namespace sim {

class PeiFoundation;

struct PcdToken {
  EFI_GUID space{};
  uint32_t number = 0;
  uint32_t size = 4;  // bytes: 1, 2, 4 or 8
  uint64_t value = 0; // the default
  bool rejectFirstSet = false;
};

struct PcdConfig {
  std::vector<PcdToken> tokens;
};

class PcdDatabase {
 public:
  PcdDatabase(const PcdConfig& config, Trace& trace);
  PcdDatabase(const PcdDatabase&) = delete;
  PcdDatabase& operator=(const PcdDatabase&) = delete;

  // Installs EFI_PEI_PCD_PPI; returns InstallPpi's status.
  EFI_STATUS install(PeiFoundation& pei);
  bool installed() const { return installed_; }
  EFI_PEI_PCD_PPI* ppi() { return &ppi_; }

  // A token's value, or nothing for an unknown token.
  std::optional<uint64_t> value(const EFI_GUID& space, uint64_t number) const;

  struct SetRecord {
    EFI_GUID space;
    uint64_t number;
    uint32_t width;  // bytes the Set carried
    uint64_t value;
    EFI_STATUS status;
  };
  const std::vector<SetRecord>& sets() const { return sets_; }

  // The PPI's work, with the PPI's arguments.
  EFI_STATUS set(const EFI_GUID* space, uint64_t number, const void* data, uint32_t width);
  uint64_t get(const EFI_GUID* space, uint64_t number) const;
  void* pointer(const EFI_GUID* space, uint64_t number);
  uint32_t size(const EFI_GUID* space, uint64_t number) const;
  EFI_STATUS callbackOnSet(const EFI_GUID* space, uint64_t number, EFI_PEI_PCD_PPI_CALLBACK callback);
  EFI_STATUS cancelCallback(const EFI_GUID* space, uint64_t number, EFI_PEI_PCD_PPI_CALLBACK callback);
  EFI_STATUS nextToken(const EFI_GUID* space, UINTN* number) const;
  EFI_STATUS nextTokenSpace(const EFI_GUID** space) const;
  void setSku(uint64_t sku) { sku_ = sku; }
  uint64_t sku() const { return sku_; }

 private:
  struct Entry {
    PcdToken token;
    uint8_t bytes[8] = {};
    unsigned setCalls = 0;
  };
  struct Callback {
    bool anySpace;
    EFI_GUID space;
    uint64_t number;
    EFI_PEI_PCD_PPI_CALLBACK function;
  };

  Entry* find(const EFI_GUID* space, uint64_t number);
  const Entry* find(const EFI_GUID* space, uint64_t number) const;

  Trace& trace_;
  std::vector<Entry> entries_;
  std::vector<Callback> callbacks_;
  std::vector<SetRecord> sets_;
  EFI_PEI_PCD_PPI ppi_{};
  EFI_PEI_PPI_DESCRIPTOR descriptor_{};
  bool installed_ = false;
  uint64_t sku_ = 0;
};

// "D1B99B46-E509-4EDA-89AC-7A6738BB821A"
std::string guidText(const EFI_GUID& guid);
// The same form back; nothing when the text is not a GUID.
std::optional<EFI_GUID> parseGuid(const std::string& text);

}  // namespace sim
