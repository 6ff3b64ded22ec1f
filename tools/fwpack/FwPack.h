// fwpack: the pieces of the firmware build that no Debian package provides
// in the framework's formats. Reads the package metadata (.dec, .inf),
// builds PI firmware files (FFS) and a firmware volume (FV), checks PE32
// images and COFF objects for what execute-in-place PEIMs may not contain,
// converts vendor microcode images into word lists, and reports image
// sizes and stack frames.
//
// Layouts follow PI volume 3: FFS file header,
// common section header, dependency-expression opcodes, FV header and
// block map. Everything is little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fwpack {

using Bytes = std::vector<uint8_t>;

// Every problem is reported as an Error whose text names the file and what
// is wrong; main prints it and exits non-zero.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// GUIDs

struct Guid {
  std::array<uint8_t, 16> bytes{};  // in memory order (EFI_GUID layout)
  bool operator==(const Guid &) const = default;
};

// "{0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, ...}}" (the .dec format) or
// "8C8CE578-8A3D-4F1C-9935-896185C32DD3" (registry format).
Guid parseGuid(const std::string &text);
std::string formatGuid(const Guid &guid);  // registry format, upper case

// ---------------------------------------------------------------------------
// Package metadata

// GUID names declared in the [Guids], [Ppis] and [Protocols] sections of
// .dec files.
using GuidTable = std::map<std::string, Guid>;
void readDecGuids(const std::string &decText, GuidTable &table);

struct InfModule {
  std::string baseName;
  Guid fileGuid;
  std::string moduleType;
  std::string entryPoint;
  std::vector<std::string> sources;  // as listed, without "|family" flags
  std::optional<std::string> depex;  // [Depex] text, comments removed
};
InfModule parseInf(const std::string &infText);

// Compiles a PEI dependency expression (TRUE, FALSE, GUID names, AND, OR,
// NOT, parentheses; AND and OR bind equally, left to right, NOT tighter)
// into its opcodes, END included.
Bytes compileDepex(const std::string &expression, const GuidTable &guids);

// Sources of a module folder that its .inf must list: .c, .cpp, .h and
// .hpp files below folder, relative, with '/' separators. Files whose name
// starts with "AutoGen" are our builds' glue, never module sources.
std::vector<std::string> moduleSourceFiles(const std::string &folder);

struct SourcesDrift {
  std::vector<std::string> missing;  // in the folder, not in the .inf
  std::vector<std::string> stale;    // in the .inf, not in the folder
  bool empty() const { return missing.empty() && stale.empty(); }
};
SourcesDrift compareSources(const std::vector<std::string> &listed,
                            const std::vector<std::string> &present);

// ---------------------------------------------------------------------------
// Sections, files and volumes

enum SectionType : uint8_t {
  SECTION_PE32 = 0x10,
  SECTION_VERSION = 0x14,
  SECTION_USER_INTERFACE = 0x15,
  SECTION_RAW = 0x19,
  SECTION_PEI_DEPEX = 0x1B,
};

enum FileType : uint8_t {
  FILE_PEIM = 0x06,
  FILE_PAD = 0xF0,
};

constexpr size_t kFileHeaderSize = 24;
constexpr size_t kSectionHeaderSize = 4;
constexpr uint8_t kAttribChecksum = 0x40;
constexpr uint8_t kFixedChecksum = 0xAA;
// EFI_FILE_HEADER_CONSTRUCTION | EFI_FILE_HEADER_VALID | EFI_FILE_DATA_VALID
constexpr uint8_t kStateValid = 0x07;

Bytes makeSection(uint8_t type, const Bytes &data);
Bytes uiName(const std::string &name);  // UCS-2, NUL-terminated

// A PEIM firmware file: dependency section, PE32 section whose image starts
// at an offset of the file data that is a multiple of the image's section
// alignment (a RAW section pads up to it), user-interface section. The
// data alignment attribute asks the volume for that alignment. Header
// checksum and file checksum are set; the state is that of a file built
// apart (valid bits set), as the framework's own file tool writes it.
Bytes buildPeimFile(const Guid &name, const Bytes &depex, const Bytes &pe32,
                    const std::string &uiText);

uint8_t sum8(const uint8_t *data, size_t size);
uint32_t fileSize(const Bytes &file);       // the 24-bit Size field
uint32_t fileAlignment(const Bytes &file);  // from the attributes

// The FFS attribute's alignment encoding: the smallest of 8, 16, 128, 512,
// 1K, 4K, 32K, 64K that is at least alignment.
uint8_t alignmentAttribute(uint32_t alignment);

// A firmware volume in the second firmware file system, erase polarity 1:
// header and block map, the files in order (each at a multiple of 8, with
// pad files where a file's data alignment needs one), the rest erased. The
// length is a whole number of blocks. Its alignment attribute is the
// largest alignment of its files. Given the address at which the volume
// will sit in flash, each PE32 image is rebased to the address where it
// then lies (its relocations applied, ImageBase set, the file checksum
// renewed), so that it executes in place there.
Bytes buildVolume(const std::vector<Bytes> &files, uint32_t blockSize,
                  std::optional<uint32_t> baseAddress = std::nullopt);

// Applies the base relocations of a PE32 image (its file layout equal to
// its memory layout) for loading at newBase, and sets its ImageBase.
void rebasePe(uint8_t *image, size_t size, uint32_t newBase);

// ---------------------------------------------------------------------------
// PE32 images and COFF objects

struct PeSection {
  std::string name;
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
  uint32_t characteristics = 0;
  bool writable() const { return (characteristics & 0x80000000u) != 0; }
  bool code() const { return (characteristics & 0x00000020u) != 0; }
};

struct PeImage {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint16_t magic = 0;
  uint16_t subsystem = 0;
  uint32_t entryPoint = 0;
  uint32_t imageBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  std::vector<std::pair<uint32_t, uint32_t>> directories;  // RVA, size
  std::vector<PeSection> sections;
};
PeImage parsePe(const Bytes &image);

// Everything that stops a PE32 image from being an execute-in-place PEIM
// of IA32 firmware: not i386 or not PE32, subsystem other than 11, base
// relocations stripped, imports, a writable section with content, a file
// layout that differs from the memory layout, an entry point outside code.
// Empty when the image is fine.
std::vector<std::string> peProblems(const PeImage &pe);

struct CoffSymbol {
  std::string name;
  int16_t section = 0;  // 1-based, 0 undefined
  uint8_t storageClass = 0;
  bool external() const { return storageClass == 2; }
};

struct CoffObject {
  std::vector<PeSection> sections;
  std::vector<CoffSymbol> symbols;
};
CoffObject parseCoff(const Bytes &object);

// Static constructors (.CRT$XC*/XI* initializer tables), thread-local data
// and writable data with content in an object file. Empty when fine.
std::vector<std::string> objectProblems(const CoffObject &object);

// ---------------------------------------------------------------------------
// Size report

struct StackFrame {
  std::string location;  // file:line
  std::string function;  // as the compiler names it (decorated)
  uint32_t bytes = 0;
  std::string qualifier;  // static, dynamic, dynamic,bounded
};
std::vector<StackFrame> parseStackUsage(const std::string &suText);

// The public symbols of an lld-link map, and the object files that
// contributed them (base names).
struct LinkMap {
  std::map<std::string, uint32_t> symbols;  // decorated name -> RVA
  std::vector<std::string> objects;
};
LinkMap parseMap(const std::string &mapText);

// "?PutNumber@?A0x1@@YAX..." -> "PutNumber"; C names stay as they are.
std::string readableName(const std::string &decorated);

// ---------------------------------------------------------------------------
// Microcode word lists

// A vendor image as 32-bit words: raw little-endian words (.bin), or text
// with one hexadecimal word per token (any other extension; '#' and '//'
// start comments).
std::vector<uint32_t> readWords(const std::string &path);
std::string wordList(const std::vector<uint32_t> &words, const std::string &origin);

// ---------------------------------------------------------------------------
// Files

Bytes readFile(const std::string &path);
std::string readText(const std::string &path);
void writeFile(const std::string &path, const Bytes &data);
void writeText(const std::string &path, const std::string &text);

}  // namespace fwpack
