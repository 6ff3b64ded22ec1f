#include "PcdDatabase.h"

#include <cstdio>
#include <cctype>
#include <cstring>

#include "PeiFoundation.h"
#include "Platform.h"

namespace sim {
namespace {

bool sameGuid(const EFI_GUID& a, const EFI_GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string statusName(EFI_STATUS status) {
  switch (status) {
    case EFI_SUCCESS: return "EFI_SUCCESS";
    case EFI_INVALID_PARAMETER: return "EFI_INVALID_PARAMETER";
    case EFI_NOT_FOUND: return "EFI_NOT_FOUND";
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(status));
      return text;
    }
  }
}

// The PPI's members: they carry no context, so they serve the database of the
// platform that the libraries talk to.
PcdDatabase& db() { return Platform::current().pcd(); }

template <class T>
EFI_STATUS EFIAPI SetN(CONST EFI_GUID* guid, UINTN token, T value) {
  return db().set(guid, token, &value, sizeof value);
}

template <class T>
T EFIAPI GetN(CONST EFI_GUID* guid, UINTN token) {
  return static_cast<T>(db().get(guid, token));
}

}  // namespace

std::string guidText(const EFI_GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::optional<EFI_GUID> parseGuid(const std::string& text) {
  // 8-4-4-4-12 hexadecimal digits.
  static const size_t kGroups[] = {8, 4, 4, 4, 12};
  std::string digits;
  size_t pos = 0;
  for (size_t g = 0; g < 5; ++g) {
    for (size_t i = 0; i < kGroups[g]; ++i, ++pos) {
      if (pos >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[pos]))) return std::nullopt;
      digits += text[pos];
    }
    if (g < 4) {
      if (pos >= text.size() || text[pos] != '-') return std::nullopt;
      ++pos;
    }
  }
  if (pos != text.size()) return std::nullopt;
  auto hex = [&](size_t at, size_t n) { return std::stoull(digits.substr(at, n), nullptr, 16); };
  EFI_GUID guid{};
  guid.Data1 = static_cast<UINT32>(hex(0, 8));
  guid.Data2 = static_cast<UINT16>(hex(8, 4));
  guid.Data3 = static_cast<UINT16>(hex(12, 4));
  for (size_t i = 0; i < 8; ++i) guid.Data4[i] = static_cast<UINT8>(hex(16 + 2 * i, 2));
  return guid;
}

PcdDatabase::PcdDatabase(const PcdConfig& config, Trace& trace) : trace_(trace) {
  for (const PcdToken& token : config.tokens) {
    Entry entry;
    entry.token = token;
    std::memcpy(entry.bytes, &token.value, token.size <= 8 ? token.size : 8);
    entries_.push_back(entry);
  }

  ppi_.SetSku = [](UINTN sku) { db().setSku(sku); };
  ppi_.Get8 = GetN<UINT8>;
  ppi_.Get16 = GetN<UINT16>;
  ppi_.Get32 = GetN<UINT32>;
  ppi_.Get64 = GetN<UINT64>;
  ppi_.GetPtr = [](CONST EFI_GUID* guid, UINTN token) -> VOID* { return db().pointer(guid, token); };
  ppi_.GetBool = [](CONST EFI_GUID* guid, UINTN token) -> BOOLEAN { return db().get(guid, token) != 0; };
  ppi_.GetSize = [](CONST EFI_GUID* guid, UINTN token) -> UINTN { return db().size(guid, token); };
  ppi_.Set8 = SetN<UINT8>;
  ppi_.Set16 = SetN<UINT16>;
  ppi_.Set32 = SetN<UINT32>;
  ppi_.Set64 = SetN<UINT64>;
  ppi_.SetPtr = [](CONST EFI_GUID* guid, UINTN token, UINTN* size, VOID* buffer) -> EFI_STATUS {
    if (size == nullptr || buffer == nullptr) return EFI_INVALID_PARAMETER;
    uint32_t have = db().size(guid, token);
    if (have == 0) return EFI_NOT_FOUND;
    if (*size > have) {
      *size = have;
      return EFI_INVALID_PARAMETER;
    }
    return db().set(guid, token, buffer, static_cast<uint32_t>(*size));
  };
  ppi_.SetBool = [](CONST EFI_GUID* guid, UINTN token, BOOLEAN value) -> EFI_STATUS {
    return db().set(guid, token, &value, sizeof value);
  };
  ppi_.CallbackOnSet = [](CONST EFI_GUID* guid, UINTN token, EFI_PEI_PCD_PPI_CALLBACK callback) {
    return db().callbackOnSet(guid, token, callback);
  };
  ppi_.CancelCallback = [](CONST EFI_GUID* guid, UINTN token, EFI_PEI_PCD_PPI_CALLBACK callback) {
    return db().cancelCallback(guid, token, callback);
  };
  ppi_.GetNextToken = [](CONST EFI_GUID* guid, UINTN* token) { return db().nextToken(guid, token); };
  ppi_.GetNextTokenSpace = [](CONST EFI_GUID** guid) { return db().nextTokenSpace(guid); };

  descriptor_.Flags = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  descriptor_.Guid = &gEfiPeiPcdPpiGuid;
  descriptor_.Ppi = &ppi_;
}

EFI_STATUS PcdDatabase::install(PeiFoundation& pei) {
  EFI_STATUS status = pei.installPpi(&descriptor_);
  if (!EFI_ERROR(status)) installed_ = true;
  return status;
}

PcdDatabase::Entry* PcdDatabase::find(const EFI_GUID* space, uint64_t number) {
  if (space == nullptr) return nullptr;
  for (Entry& e : entries_)
    if (e.token.number == number && sameGuid(e.token.space, *space)) return &e;
  return nullptr;
}

const PcdDatabase::Entry* PcdDatabase::find(const EFI_GUID* space, uint64_t number) const {
  return const_cast<PcdDatabase*>(this)->find(space, number);
}

std::optional<uint64_t> PcdDatabase::value(const EFI_GUID& space, uint64_t number) const {
  const Entry* e = find(&space, number);
  if (!e) return std::nullopt;
  uint64_t v = 0;
  std::memcpy(&v, e->bytes, e->token.size);
  return v;
}

EFI_STATUS PcdDatabase::set(const EFI_GUID* space, uint64_t number, const void* data, uint32_t width) {
  uint64_t carried = 0;
  std::memcpy(&carried, data, width <= 8 ? width : 8);
  Entry* e = find(space, number);
  EFI_STATUS status = EFI_SUCCESS;
  if (!e) {
    status = EFI_NOT_FOUND;
  } else if (width != e->token.size) {
    status = EFI_INVALID_PARAMETER;
  } else if (e->token.rejectFirstSet && e->setCalls == 0) {
    status = EFI_INVALID_PARAMETER;
  }
  if (e) ++e->setCalls;
  if (status == EFI_SUCCESS) std::memcpy(e->bytes, data, width);

  EFI_GUID guid = space ? *space : EFI_GUID{};
  sets_.push_back({guid, number, width, carried, status});
  if (trace_.on()) {
    char text[160];
    std::snprintf(text, sizeof text, "PCD Set%u %s 0x%llX = 0x%llX: %s", width * 8, guidText(guid).c_str(),
                  static_cast<unsigned long long>(number), static_cast<unsigned long long>(carried),
                  statusName(status).c_str());
    trace_.comment(text);
  }

  if (status == EFI_SUCCESS) {
    // A callback may register or cancel others: walk a copy.
    std::vector<Callback> callbacks = callbacks_;
    for (const Callback& c : callbacks)
      if (c.number == number && (c.anySpace || sameGuid(c.space, *space)))
        c.function(space, static_cast<UINTN>(number), e->bytes, e->token.size);
  }
  return status;
}

uint64_t PcdDatabase::get(const EFI_GUID* space, uint64_t number) const {
  const Entry* e = find(space, number);
  if (!e) return 0;
  uint64_t v = 0;
  std::memcpy(&v, e->bytes, e->token.size);
  return v;
}

void* PcdDatabase::pointer(const EFI_GUID* space, uint64_t number) {
  Entry* e = find(space, number);
  return e ? e->bytes : nullptr;
}

uint32_t PcdDatabase::size(const EFI_GUID* space, uint64_t number) const {
  const Entry* e = find(space, number);
  return e ? e->token.size : 0;
}

EFI_STATUS PcdDatabase::callbackOnSet(const EFI_GUID* space, uint64_t number, EFI_PEI_PCD_PPI_CALLBACK callback) {
  if (callback == nullptr) return EFI_INVALID_PARAMETER;
  callbacks_.push_back({space == nullptr, space ? *space : EFI_GUID{}, number, callback});
  return EFI_SUCCESS;
}

EFI_STATUS PcdDatabase::cancelCallback(const EFI_GUID* space, uint64_t number, EFI_PEI_PCD_PPI_CALLBACK callback) {
  for (auto it = callbacks_.begin(); it != callbacks_.end(); ++it) {
    bool spaceMatches = it->anySpace ? space == nullptr : (space != nullptr && sameGuid(it->space, *space));
    if (spaceMatches && it->number == number && it->function == callback) {
      callbacks_.erase(it);
      return EFI_SUCCESS;
    }
  }
  return EFI_INVALID_PARAMETER;
}

EFI_STATUS PcdDatabase::nextToken(const EFI_GUID* space, UINTN* number) const {
  if (number == nullptr) return EFI_INVALID_PARAMETER;
  // Only dynamic-ex tokens exist here: the default token space is empty.
  if (space == nullptr) {
    if (*number != EFI_PCD_INVALID_TOKEN_NUMBER) return EFI_NOT_FOUND;
    return EFI_SUCCESS;
  }
  bool take = *number == EFI_PCD_INVALID_TOKEN_NUMBER;
  bool found = take;
  for (const Entry& e : entries_) {
    if (!sameGuid(e.token.space, *space)) continue;
    if (take) {
      *number = e.token.number;
      return EFI_SUCCESS;
    }
    if (e.token.number == *number) take = found = true;
  }
  if (!found) return EFI_NOT_FOUND;
  *number = EFI_PCD_INVALID_TOKEN_NUMBER;
  return EFI_SUCCESS;
}

EFI_STATUS PcdDatabase::nextTokenSpace(const EFI_GUID** space) const {
  if (space == nullptr) return EFI_INVALID_PARAMETER;
  // Token spaces in the order of their first token.
  std::vector<const EFI_GUID*> spaces;
  for (const Entry& e : entries_) {
    bool seen = false;
    for (const EFI_GUID* s : spaces) seen = seen || sameGuid(*s, e.token.space);
    if (!seen) spaces.push_back(&e.token.space);
  }
  if (*space == nullptr) {
    *space = spaces.empty() ? nullptr : spaces.front();
    return EFI_SUCCESS;
  }
  for (size_t i = 0; i < spaces.size(); ++i) {
    if (sameGuid(*spaces[i], **space)) {
      *space = i + 1 < spaces.size() ? spaces[i + 1] : nullptr;
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

}  // namespace sim
