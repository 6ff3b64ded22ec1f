#include "FwPack.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fwpack {

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string &text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) begin++;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) end--;
  return text.substr(begin, end - begin);
}

std::string upper(std::string text) {
  for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A line of a .dec/.inf without its '#' comment.
std::string withoutComment(const std::string &line) {
  size_t hash = line.find('#');
  return trim(hash == std::string::npos ? line : line.substr(0, hash));
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    result.push_back(line);
  }
  return result;
}

// Section name of a "[Name]" or "[Name.IA32, Name.common]" header, upper
// case and without architecture; empty when the line is no header.
std::vector<std::string> sectionNames(const std::string &line) {
  std::vector<std::string> names;
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return names;
  std::istringstream in(line.substr(1, line.size() - 2));
  std::string part;
  while (std::getline(in, part, ',')) {
    part = trim(part);
    names.push_back(upper(part.substr(0, part.find('.'))));
  }
  return names;
}

void put16(Bytes &out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put24(Bytes &out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
  out[at + 2] = static_cast<uint8_t>(value >> 16);
}

void put32(Bytes &out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void put64(Bytes &out, size_t at, uint64_t value) {
  for (int i = 0; i < 8; i++) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t get16(const Bytes &in, size_t at) {
  if (at + 2 > in.size()) throw Error("truncated file");
  return static_cast<uint16_t>(in[at] | in[at + 1] << 8);
}

uint32_t get24(const Bytes &in, size_t at) {
  if (at + 3 > in.size()) throw Error("truncated file");
  return static_cast<uint32_t>(in[at] | in[at + 1] << 8 | in[at + 2] << 16);
}

uint32_t get32(const Bytes &in, size_t at) {
  if (at + 4 > in.size()) throw Error("truncated file");
  return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8 |
         static_cast<uint32_t>(in[at + 2]) << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}

size_t alignUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

std::string hex(uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
}

}  // namespace

// ---------------------------------------------------------------------------
// GUIDs

Guid parseGuid(const std::string &text) {
  std::vector<uint64_t> fields;
  std::string t = trim(text);
  bool registry = t.find('{') == std::string::npos;
  std::string token;
  auto flush = [&] {
    if (token.empty()) return;
    try {
      size_t used = 0;
      fields.push_back(std::stoull(token, &used, 16));
      if (used != token.size()) throw Error("");
    } catch (...) {
      throw Error("not a GUID: " + text);
    }
    token.clear();
  };
  for (char c : t) {
    if (c == '{' || c == '}' || c == ',' || c == '-' || std::isspace(static_cast<unsigned char>(c))) {
      flush();
    } else {
      token += c;
    }
  }
  flush();

  Guid guid;
  if (registry) {
    // 8-4-4-4-12: the last two groups are the eight bytes in order.
    if (fields.size() != 5) throw Error("not a GUID: " + text);
    uint64_t data4 = fields[3] << 48 | fields[4];
    fields = {fields[0], fields[1], fields[2]};
    for (int i = 7; i >= 0; i--) fields.push_back((data4 >> (8 * i)) & 0xFF);
  }
  if (fields.size() != 11 || fields[0] > 0xFFFFFFFFull || fields[1] > 0xFFFF || fields[2] > 0xFFFF) {
    throw Error("not a GUID: " + text);
  }
  for (int i = 0; i < 4; i++) guid.bytes[i] = static_cast<uint8_t>(fields[0] >> (8 * i));
  for (int i = 0; i < 2; i++) guid.bytes[4 + i] = static_cast<uint8_t>(fields[1] >> (8 * i));
  for (int i = 0; i < 2; i++) guid.bytes[6 + i] = static_cast<uint8_t>(fields[2] >> (8 * i));
  for (int i = 0; i < 8; i++) {
    if (fields[3 + i] > 0xFF) throw Error("not a GUID: " + text);
    guid.bytes[8 + i] = static_cast<uint8_t>(fields[3 + i]);
  }
  return guid;
}

std::string formatGuid(const Guid &guid) {
  char text[37];
  const auto &b = guid.bytes;
  std::snprintf(text, sizeof(text), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

// ---------------------------------------------------------------------------
// Package metadata

void readDecGuids(const std::string &decText, GuidTable &table) {
  bool inGuidSection = false;
  for (const std::string &raw : lines(decText)) {
    std::string line = withoutComment(raw);
    if (line.empty()) continue;
    auto names = sectionNames(line);
    if (!names.empty()) {
      inGuidSection = std::any_of(names.begin(), names.end(), [](const std::string &n) {
        return n == "GUIDS" || n == "PPIS" || n == "PROTOCOLS";
      });
      continue;
    }
    if (!inGuidSection) continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) throw Error("GUID declaration without '=': " + line);
    table[trim(line.substr(0, equals))] = parseGuid(line.substr(equals + 1));
  }
}

InfModule parseInf(const std::string &infText) {
  InfModule module;
  std::string section;
  std::string depex;
  bool hasDepex = false;
  for (const std::string &raw : lines(infText)) {
    std::string line = withoutComment(raw);
    if (line.empty()) continue;
    auto names = sectionNames(line);
    if (!names.empty()) {
      section = names.front();
      if (section == "DEPEX") hasDepex = true;
      continue;
    }
    if (section == "DEFINES") {
      size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string key = trim(line.substr(0, equals));
      std::string value = trim(line.substr(equals + 1));
      if (key == "BASE_NAME") module.baseName = value;
      if (key == "FILE_GUID") module.fileGuid = parseGuid(value);
      if (key == "MODULE_TYPE") module.moduleType = value;
      if (key == "ENTRY_POINT") module.entryPoint = value;
    } else if (section == "SOURCES") {
      module.sources.push_back(trim(line.substr(0, line.find('|'))));
    } else if (section == "DEPEX") {
      depex += " " + line;
    }
  }
  if (module.baseName.empty()) throw Error(".inf has no BASE_NAME");
  if (hasDepex) module.depex = trim(depex);
  return module;
}

namespace {

// Recursive descent over the depex tokens, emitting postfix opcodes.
class DepexCompiler {
 public:
  DepexCompiler(const std::string &expression, const GuidTable &guids) : guids_(guids) {
    std::string token;
    for (char c : expression) {
      if (c == '(' || c == ')' || std::isspace(static_cast<unsigned char>(c))) {
        if (!token.empty()) tokens_.push_back(token);
        token.clear();
        if (c == '(' || c == ')') tokens_.push_back(std::string(1, c));
      } else {
        token += c;
      }
    }
    if (!token.empty()) tokens_.push_back(token);
    if (tokens_.empty()) throw Error("empty dependency expression");
  }

  Bytes compile() {
    expression();
    if (next_ != tokens_.size()) throw Error("unexpected '" + tokens_[next_] + "' in dependency expression");
    out_.push_back(0x08);  // END
    return out_;
  }

 private:
  const std::string &peek() const {
    static const std::string none;
    return next_ < tokens_.size() ? tokens_[next_] : none;
  }

  void expression() {
    term();
    while (peek() == "AND" || peek() == "OR") {
      uint8_t opcode = peek() == "AND" ? 0x03 : 0x04;
      next_++;
      term();
      out_.push_back(opcode);
    }
  }

  void term() {
    if (next_ >= tokens_.size()) throw Error("dependency expression ends early");
    std::string token = tokens_[next_++];
    if (token == "NOT") {
      term();
      out_.push_back(0x05);
    } else if (token == "(") {
      expression();
      if (peek() != ")") throw Error("missing ')' in dependency expression");
      next_++;
    } else if (token == "TRUE") {
      out_.push_back(0x06);
    } else if (token == "FALSE") {
      out_.push_back(0x07);
    } else if (token == "BEFORE" || token == "AFTER" || token == "SOR") {
      throw Error(token + " is not supported in a PEIM dependency expression");
    } else {
      auto found = guids_.find(token);
      if (found == guids_.end()) throw Error("dependency expression names unknown GUID " + token);
      out_.push_back(0x02);  // PUSH
      out_.insert(out_.end(), found->second.bytes.begin(), found->second.bytes.end());
    }
  }

  const GuidTable &guids_;
  std::vector<std::string> tokens_;
  size_t next_ = 0;
  Bytes out_;
};

}  // namespace

Bytes compileDepex(const std::string &expression, const GuidTable &guids) {
  return DepexCompiler(expression, guids).compile();
}

std::vector<std::string> moduleSourceFiles(const std::string &folder) {
  static const std::set<std::string> kinds = {".c", ".cpp", ".h", ".hpp"};
  std::vector<std::string> files;
  if (!fs::is_directory(folder)) throw Error(folder + " is not a folder");
  for (const auto &entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || kinds.count(entry.path().extension().string()) == 0) continue;
    if (entry.path().filename().string().rfind("AutoGen", 0) == 0) continue;
    files.push_back(fs::relative(entry.path(), folder).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

SourcesDrift compareSources(const std::vector<std::string> &listed, const std::vector<std::string> &present) {
  SourcesDrift drift;
  std::set<std::string> inInf(listed.begin(), listed.end());
  std::set<std::string> inFolder(present.begin(), present.end());
  for (const auto &file : inFolder) {
    if (inInf.count(file) == 0) drift.missing.push_back(file);
  }
  for (const auto &file : inInf) {
    if (inFolder.count(file) == 0) drift.stale.push_back(file);
  }
  return drift;
}

// ---------------------------------------------------------------------------
// Sections, files and volumes

uint8_t sum8(const uint8_t *data, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; i++) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

Bytes makeSection(uint8_t type, const Bytes &data) {
  size_t size = kSectionHeaderSize + data.size();
  if (size >= 0x1000000) throw Error("section too large for a 24-bit size");
  Bytes section(size);
  put24(section, 0, static_cast<uint32_t>(size));
  section[3] = type;
  std::copy(data.begin(), data.end(), section.begin() + kSectionHeaderSize);
  return section;
}

Bytes uiName(const std::string &name) {
  Bytes text;
  for (char c : name) {
    text.push_back(static_cast<uint8_t>(c));
    text.push_back(0);
  }
  text.push_back(0);
  text.push_back(0);
  return text;
}

uint8_t alignmentAttribute(uint32_t alignment) {
  static const uint32_t steps[] = {8, 16, 128, 512, 1024, 4096, 32768, 65536};
  for (uint8_t code = 0; code < 8; code++) {
    if (alignment <= steps[code]) return code;
  }
  throw Error("file alignment " + std::to_string(alignment) + " is beyond 64 KB");
}

uint32_t fileSize(const Bytes &file) {
  if (file.size() < kFileHeaderSize) throw Error("firmware file shorter than its header");
  return static_cast<uint32_t>(file[20] | file[21] << 8 | file[22] << 16);
}

uint32_t fileAlignment(const Bytes &file) {
  static const uint32_t steps[] = {8, 16, 128, 512, 1024, 4096, 32768, 65536};
  return steps[(file[19] >> 3) & 7];
}

namespace {

// Sets both checksums of a file whose header fields are in place.
void sealFile(Bytes &file, bool checksummed) {
  file[16] = 0;
  file[17] = 0;
  uint8_t state = file[23];
  file[23] = 0;
  // The header sums to zero with the file checksum and the state taken as
  // zero; the data (everything after the header) sums to zero with the file
  // checksum when the checksum attribute is set.
  file[16] = static_cast<uint8_t>(0x100 - sum8(file.data(), kFileHeaderSize));
  file[17] = checksummed ? static_cast<uint8_t>(0x100 - sum8(file.data() + kFileHeaderSize, file.size() - kFileHeaderSize))
                         : kFixedChecksum;
  file[23] = state;
}

Bytes fileHeader(const Guid &name, uint8_t type, uint8_t attributes, size_t size) {
  if (size >= 0x1000000) throw Error("firmware file too large for a 24-bit size");
  Bytes header(kFileHeaderSize, 0);
  std::copy(name.bytes.begin(), name.bytes.end(), header.begin());
  header[18] = type;
  header[19] = attributes;
  put24(header, 20, static_cast<uint32_t>(size));
  header[23] = kStateValid;
  return header;
}

}  // namespace

Bytes buildPeimFile(const Guid &name, const Bytes &depex, const Bytes &pe32, const std::string &uiText) {
  PeImage pe = parsePe(pe32);
  uint32_t alignment = std::max<uint32_t>(pe.sectionAlignment, 8);

  Bytes data = makeSection(SECTION_PEI_DEPEX, depex);
  data.resize(alignUp(data.size(), 4), 0);

  // The image itself (after the PE32 section header) must start at a
  // multiple of its section alignment, relative to the file data, which the
  // volume aligns to the same boundary: executing in place needs it.
  size_t imageAt = data.size() + kSectionHeaderSize;
  if (imageAt % alignment != 0) {
    size_t pad = (alignment - imageAt % alignment) % alignment;
    while (pad < kSectionHeaderSize) pad += alignment;
    Bytes raw = makeSection(SECTION_RAW, Bytes(pad - kSectionHeaderSize, 0));
    data.insert(data.end(), raw.begin(), raw.end());
  }
  Bytes image = makeSection(SECTION_PE32, pe32);
  data.insert(data.end(), image.begin(), image.end());
  data.resize(alignUp(data.size(), 4), 0);
  Bytes ui = makeSection(SECTION_USER_INTERFACE, uiName(uiText));
  data.insert(data.end(), ui.begin(), ui.end());

  uint8_t attributes = static_cast<uint8_t>(kAttribChecksum | alignmentAttribute(alignment) << 3);
  Bytes file = fileHeader(name, FILE_PEIM, attributes, kFileHeaderSize + data.size());
  file.insert(file.end(), data.begin(), data.end());
  sealFile(file, true);
  return file;
}

void rebasePe(uint8_t *image, size_t size, uint32_t newBase) {
  Bytes copy(image, image + size);
  PeImage pe = parsePe(copy);
  if (pe.magic != 0x10B) throw Error("rebase: not a PE32 image");
  size_t opt = get32(copy, 0x3C) + 24;
  uint32_t delta = newBase - pe.imageBase;
  auto [relocAt, relocSize] = pe.directories.size() > 5 ? pe.directories[5] : std::pair<uint32_t, uint32_t>{0, 0};
  if (static_cast<size_t>(relocAt) + relocSize > size) throw Error("rebase: relocations beyond the image");
  for (size_t block = relocAt; block + 8 <= relocAt + relocSize;) {
    uint32_t page = get32(copy, block);
    uint32_t blockSize = get32(copy, block + 4);
    if (blockSize < 8 || block + blockSize > relocAt + relocSize) throw Error("rebase: malformed relocation block");
    for (size_t entry = block + 8; entry + 2 <= block + blockSize; entry += 2) {
      uint16_t value = get16(copy, entry);
      unsigned type = value >> 12;
      size_t at = static_cast<size_t>(page) + (value & 0xFFF);
      if (type == 0) continue;  // padding
      if (type != 3) throw Error("rebase: relocation type " + std::to_string(type) + " is not IA32 HIGHLOW");
      if (at + 4 > size) throw Error("rebase: relocation beyond the image");
      put32(copy, at, get32(copy, at) + delta);
    }
    block += blockSize;
  }
  put32(copy, opt + 28, newBase);
  std::copy(copy.begin(), copy.end(), image);
}

Bytes buildVolume(const std::vector<Bytes> &files, uint32_t blockSize, std::optional<uint32_t> baseAddress) {
  constexpr size_t kHeaderLength = 0x38 + 2 * 8;  // header, one block-map entry, terminator
  // EFI_FIRMWARE_FILE_SYSTEM2_GUID
  const Guid ffs2 = parseGuid("8C8CE578-8A3D-4F1C-9935-896185C32DD3");
  if (blockSize == 0 || (blockSize & (blockSize - 1)) != 0) throw Error("block size must be a power of two");

  Bytes body;  // the volume from its start, header space included
  body.resize(kHeaderLength, 0xFF);
  uint32_t maxAlignment = 8;
  Guid padName;
  padName.bytes.fill(0xFF);
  for (const Bytes &file : files) {
    uint32_t size = fileSize(file);
    if (size != file.size()) throw Error("firmware file size field does not match its length");
    uint32_t alignment = fileAlignment(file);
    maxAlignment = std::max(maxAlignment, alignment);
    body.resize(alignUp(body.size(), 8), 0xFF);
    size_t dataAt = body.size() + kFileHeaderSize;
    if (dataAt % alignment != 0) {
      // A pad file fills the gap; it needs room for its own header.
      size_t gap = alignment - dataAt % alignment;
      while (gap < kFileHeaderSize) gap += alignment;
      Bytes pad = fileHeader(padName, FILE_PAD, 0, gap);
      pad.resize(gap, 0xFF);
      sealFile(pad, false);
      pad[23] = static_cast<uint8_t>(~kStateValid);
      body.insert(body.end(), pad.begin(), pad.end());
    }
    Bytes placed = file;
    if (baseAddress) {
      // Walk the sections (each at a multiple of 4 of the file) to the
      // PE32 image and rebase it to where it will lie in flash.
      bool rebased = false;
      for (size_t at = kFileHeaderSize; at + kSectionHeaderSize <= placed.size();) {
        uint32_t sectionSize = get24(placed, at);
        if (sectionSize < kSectionHeaderSize || at + sectionSize > placed.size()) throw Error("malformed section");
        if (placed[at + 3] == SECTION_PE32) {
          uint64_t imageAddress = *baseAddress + body.size() + at + kSectionHeaderSize;
          if (imageAddress > 0xFFFFFFFFull) throw Error("the volume reaches beyond 4 GB");
          rebasePe(placed.data() + at + kSectionHeaderSize, sectionSize - kSectionHeaderSize,
                   static_cast<uint32_t>(imageAddress));
          rebased = true;
        }
        at = alignUp(at + sectionSize, 4);
      }
      if (rebased && (placed[19] & kAttribChecksum) != 0) {
        placed[17] = 0;
        placed[17] = static_cast<uint8_t>(0x100 - sum8(placed.data() + kFileHeaderSize, placed.size() - kFileHeaderSize));
      }
    }
    placed[23] = static_cast<uint8_t>(~placed[23]);  // erase polarity 1 inverts the state bits
    body.insert(body.end(), placed.begin(), placed.end());
  }
  if (baseAddress && *baseAddress % maxAlignment != 0) {
    throw Error("volume base address must be a multiple of its alignment, " + std::to_string(maxAlignment));
  }
  size_t length = alignUp(std::max(body.size(), static_cast<size_t>(blockSize)), blockSize);
  body.resize(length, 0xFF);

  std::fill(body.begin(), body.begin() + kHeaderLength, 0);
  std::copy(ffs2.bytes.begin(), ffs2.bytes.end(), body.begin() + 16);
  put64(body, 32, length);
  put32(body, 40, 0x4856465F);  // "_FVH"
  uint32_t alignLog = 0;
  while ((1u << alignLog) < maxAlignment) alignLog++;
  // Read, write, lock and status capabilities as a flash volume has them
  // (0xFEFF: everything but the reserved bit 8), memory mapped, erase
  // polarity 1, and the volume's alignment in bits 16-20.
  put32(body, 44, 0x0000FEFF | alignLog << 16);
  put16(body, 48, static_cast<uint16_t>(kHeaderLength));
  body[55] = 2;  // revision
  put32(body, 56, static_cast<uint32_t>(length / blockSize));
  put32(body, 60, blockSize);
  // Block map terminator (0, 0) at 64 is already zero.
  uint16_t sum = 0;
  for (size_t i = 0; i < kHeaderLength; i += 2) sum = static_cast<uint16_t>(sum + get16(body, i));
  put16(body, 50, static_cast<uint16_t>(0x10000 - sum));
  return body;
}

// ---------------------------------------------------------------------------
// PE32 images and COFF objects

namespace {

std::vector<PeSection> readSections(const Bytes &in, size_t at, unsigned count, const Bytes *stringTable) {
  std::vector<PeSection> sections;
  for (unsigned i = 0; i < count; i++, at += 40) {
    if (at + 40 > in.size()) throw Error("truncated section table");
    PeSection s;
    char name[9] = {};
    std::memcpy(name, &in[at], 8);
    s.name = name;
    if (stringTable != nullptr && s.name.size() > 1 && s.name[0] == '/') {
      size_t offset = std::stoul(s.name.substr(1));
      if (offset < stringTable->size()) s.name = reinterpret_cast<const char *>(stringTable->data() + offset);
    }
    s.virtualSize = get32(in, at + 8);
    s.virtualAddress = get32(in, at + 12);
    s.rawSize = get32(in, at + 16);
    s.rawOffset = get32(in, at + 20);
    s.characteristics = get32(in, at + 36);
    sections.push_back(s);
  }
  return sections;
}

}  // namespace

PeImage parsePe(const Bytes &image) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') throw Error("not a PE image (no MZ header)");
  size_t pe = get32(image, 0x3C);
  if (get32(image, pe) != 0x00004550) throw Error("not a PE image (no PE signature)");
  PeImage result;
  size_t coff = pe + 4;
  result.machine = get16(image, coff);
  unsigned sections = get16(image, coff + 2);
  unsigned optionalSize = get16(image, coff + 16);
  result.characteristics = get16(image, coff + 18);
  size_t opt = coff + 20;
  result.magic = get16(image, opt);
  if (result.magic != 0x10B) return result;  // not PE32: the checks report it
  result.entryPoint = get32(image, opt + 16);
  result.imageBase = get32(image, opt + 28);
  result.sectionAlignment = get32(image, opt + 32);
  result.fileAlignment = get32(image, opt + 36);
  result.sizeOfImage = get32(image, opt + 56);
  result.subsystem = get16(image, opt + 68);
  unsigned directories = get32(image, opt + 92);
  for (unsigned i = 0; i < directories && 96 + 8 * i + 8 <= optionalSize; i++) {
    result.directories.emplace_back(get32(image, opt + 96 + 8 * i), get32(image, opt + 100 + 8 * i));
  }
  result.sections = readSections(image, opt + optionalSize, sections, nullptr);
  return result;
}

std::vector<std::string> peProblems(const PeImage &pe) {
  std::vector<std::string> problems;
  if (pe.machine != 0x14C) problems.push_back("machine is " + hex(pe.machine) + ", not i386 (0x14C)");
  if (pe.magic != 0x10B) {
    problems.push_back("optional-header magic is " + hex(pe.magic) + ", not PE32 (0x10B)");
    return problems;
  }
  if (pe.subsystem != 11) {
    problems.push_back("subsystem is " + std::to_string(pe.subsystem) + ", not 11 (EFI boot service driver)");
  }
  auto directory = [&](size_t index) {
    return index < pe.directories.size() ? pe.directories[index] : std::pair<uint32_t, uint32_t>{0, 0};
  };
  if ((pe.characteristics & 0x0001) != 0 || directory(5).second == 0) {
    problems.push_back("base relocations are missing: the image could not be placed at its flash address");
  }
  if (directory(1).second != 0 || directory(12).second != 0 || directory(13).second != 0) {
    problems.push_back("the image imports symbols: a PEIM has nothing to import from");
  }
  if (pe.sectionAlignment != pe.fileAlignment) {
    problems.push_back("section alignment " + hex(pe.sectionAlignment) + " differs from file alignment " +
                       hex(pe.fileAlignment) + ": the image cannot execute in place");
  }
  bool entryInCode = false;
  for (const PeSection &s : pe.sections) {
    if (s.writable() && (s.virtualSize != 0 || s.rawSize != 0)) {
      problems.push_back("writable section " + s.name + " of " + std::to_string(std::max(s.virtualSize, s.rawSize)) +
                         " bytes: a PEIM executing in place from flash has no writable data");
    }
    if (s.rawSize != 0 && s.rawOffset != s.virtualAddress) {
      problems.push_back("section " + s.name + " lies at file offset " + hex(s.rawOffset) + " but address " +
                         hex(s.virtualAddress) + ": the image cannot execute in place");
    }
    if (s.code() && pe.entryPoint >= s.virtualAddress && pe.entryPoint < s.virtualAddress + s.virtualSize) {
      entryInCode = true;
    }
  }
  if (!entryInCode) problems.push_back("entry point " + hex(pe.entryPoint) + " lies outside the code");
  return problems;
}

CoffObject parseCoff(const Bytes &object) {
  CoffObject result;
  unsigned sections = get16(object, 2);
  uint32_t symbolTable = get32(object, 8);
  uint32_t symbols = get32(object, 12);
  unsigned optionalSize = get16(object, 16);
  Bytes strings;
  if (symbolTable != 0) {
    size_t at = symbolTable + static_cast<size_t>(symbols) * 18;
    uint32_t size = get32(object, at);
    if (at + size > object.size()) throw Error("truncated string table");
    strings.assign(object.begin() + at, object.begin() + at + size);
  }
  result.sections = readSections(object, 20 + optionalSize, sections, &strings);
  for (uint32_t i = 0; i < symbols; i++) {
    size_t at = symbolTable + static_cast<size_t>(i) * 18;
    if (at + 18 > object.size()) throw Error("truncated symbol table");
    CoffSymbol symbol;
    if (get32(object, at) == 0) {
      uint32_t offset = get32(object, at + 4);
      if (offset < strings.size()) symbol.name = reinterpret_cast<const char *>(strings.data() + offset);
    } else {
      char name[9] = {};
      std::memcpy(name, &object[at], 8);
      symbol.name = name;
    }
    symbol.section = static_cast<int16_t>(get16(object, at + 12));
    symbol.storageClass = object[at + 16];
    uint8_t auxiliary = object[at + 17];
    result.symbols.push_back(symbol);
    i += auxiliary;
  }
  return result;
}

std::vector<std::string> objectProblems(const CoffObject &object) {
  std::vector<std::string> problems;
  for (const PeSection &s : object.sections) {
    if (s.name.rfind(".CRT$XC", 0) == 0 || s.name.rfind(".CRT$XI", 0) == 0) {
      problems.push_back("static constructor (section " + s.name + "): a global needs code to initialise it");
    } else if (s.name.rfind(".tls", 0) == 0) {
      problems.push_back("thread-local data (section " + s.name + ")");
    } else if (s.writable() && s.rawSize != 0) {
      problems.push_back("writable data (section " + s.name + ", " + std::to_string(s.rawSize) +
                         " bytes): make it constexpr/const, or keep it in the module's record");
    }
  }
  return problems;
}

// ---------------------------------------------------------------------------
// Size report

std::vector<StackFrame> parseStackUsage(const std::string &suText) {
  std::vector<StackFrame> frames;
  for (const std::string &line : lines(suText)) {
    if (trim(line).empty()) continue;
    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) throw Error("not a stack-usage line: " + line);
    std::string where = line.substr(0, tab1);
    // file:line:function, where the function (a decorated C++ name) may
    // itself contain ':' only in the demangled form, which clang does not
    // write; split at the second ':' from the left after the file name.
    size_t colon1 = where.find(':');
    size_t colon2 = colon1 == std::string::npos ? colon1 : where.find(':', colon1 + 1);
    if (colon2 == std::string::npos) throw Error("not a stack-usage line: " + line);
    StackFrame frame;
    frame.location = where.substr(0, colon2);
    frame.function = where.substr(colon2 + 1);
    frame.bytes = static_cast<uint32_t>(std::stoul(line.substr(tab1 + 1, tab2 - tab1 - 1)));
    frame.qualifier = trim(line.substr(tab2 + 1));
    frames.push_back(frame);
  }
  return frames;
}

LinkMap parseMap(const std::string &mapText) {
  LinkMap map;
  std::set<std::string> objects;
  bool inPublics = false;
  for (const std::string &line : lines(mapText)) {
    if (line.find("Publics by Value") != std::string::npos) {
      inPublics = true;
      continue;
    }
    if (!inPublics) continue;
    std::istringstream in(line);
    std::string address, name, rvaBase, object;
    if (!(in >> address >> name >> rvaBase)) continue;
    if (address.find(':') == std::string::npos) continue;
    std::string rest;
    std::getline(in, rest);
    rest = trim(rest);
    // "f" marks functions in MSVC maps; lld-link writes the object last.
    size_t space = rest.find_last_of(' ');
    object = space == std::string::npos ? rest : rest.substr(space + 1);
    size_t colon = object.find_last_of(':');
    if (colon != std::string::npos) object = object.substr(colon + 1);
    map.symbols[name] = static_cast<uint32_t>(std::stoull(rvaBase, nullptr, 16));
    if (!object.empty()) objects.insert(object);
  }
  map.objects.assign(objects.begin(), objects.end());
  return map;
}

std::string readableName(const std::string &decorated) {
  if (decorated.empty() || decorated[0] != '?') return decorated;
  size_t end = decorated.find('@');
  std::string name = decorated.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  // Templates ("??$PutString@D@...") keep their name after "?$".
  if (name.rfind("?$", 0) == 0) name = name.substr(2);
  return name;
}

// ---------------------------------------------------------------------------
// Microcode word lists

std::vector<uint32_t> readWords(const std::string &path) {
  std::vector<uint32_t> words;
  if (fs::path(path).extension() == ".bin") {
    Bytes data = readFile(path);
    if (data.size() % 4 != 0) throw Error(path + ": " + std::to_string(data.size()) + " bytes, not whole 32-bit words");
    for (size_t at = 0; at < data.size(); at += 4) words.push_back(get32(data, at));
  } else {
    for (const std::string &raw : lines(readText(path))) {
      std::string line = raw.substr(0, std::min(raw.find('#'), raw.find("//")));
      std::istringstream in(line);
      std::string token;
      while (in >> token) {
        while (!token.empty() && token.back() == ',') token.pop_back();
        if (token.empty()) continue;
        size_t used = 0;
        unsigned long long value = 0;
        try {
          value = std::stoull(token, &used, 16);
        } catch (...) {
          used = 0;
        }
        if (used != token.size() || value > 0xFFFFFFFFull) throw Error(path + ": not a 32-bit hexadecimal word: " + token);
        words.push_back(static_cast<uint32_t>(value));
      }
    }
  }
  if (words.empty()) throw Error(path + ": no words");
  return words;
}

std::string wordList(const std::vector<uint32_t> &words, const std::string &origin) {
  std::ostringstream out;
  out << "// Generated by fwpack from " << origin << ": " << words.size() << " words.\n";
  char text[16];
  for (size_t i = 0; i < words.size(); i++) {
    std::snprintf(text, sizeof(text), "0x%08X,", words[i]);
    out << text << ((i % 8 == 7 || i + 1 == words.size()) ? "\n" : " ");
  }
  return out.str();
}

// ---------------------------------------------------------------------------
// Files

Bytes readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::string &path) {
  Bytes data = readFile(path);
  return std::string(data.begin(), data.end());
}

void writeFile(const std::string &path, const Bytes &data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw Error("cannot write " + path);
}

void writeText(const std::string &path, const std::string &text) { writeFile(path, Bytes(text.begin(), text.end())); }

}  // namespace fwpack
