// fwpack: the byte layouts it writes (PI volume 3) and the
// checks it makes, on small images built here byte by byte. Expected values
// are literal, taken from the PI layouts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "FwPack.h"

using namespace fwpack;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

void put16(Bytes &b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get24(const Bytes &b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16; }

struct SectionLayout {
  const char *name;
  uint32_t address;
  uint32_t size;
  uint32_t characteristics;
};

constexpr uint32_t kCode = 0x60000020;      // code, execute, read
constexpr uint32_t kReadOnly = 0x40000040;  // initialised data, read
constexpr uint32_t kWritable = 0xC0000040;  // initialised data, read, write

// A PE32 image as lld-link lays out ours: headers, then sections whose file
// offsets equal their addresses (alignment 32 both ways).
Bytes pe32(std::vector<SectionLayout> sections, uint16_t subsystem = 11, uint32_t entry = 0x220,
           uint32_t relocSize = 0x20, uint32_t importSize = 0, uint16_t machine = 0x14C) {
  Bytes image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put32(image, 0x3C, 0x40);
  put32(image, 0x40, 0x00004550);
  size_t coff = 0x44;
  put16(image, coff, machine);
  put16(image, coff + 2, static_cast<uint16_t>(sections.size()));
  put16(image, coff + 16, 0xE0);
  put16(image, coff + 18, 0x2102);
  size_t opt = coff + 20;
  put16(image, opt, 0x10B);
  put32(image, opt + 16, entry);
  put32(image, opt + 32, 32);
  put32(image, opt + 36, 32);
  put16(image, opt + 68, subsystem);
  put32(image, opt + 92, 16);
  put32(image, opt + 96 + 8 * 1 + 4, importSize);
  put32(image, opt + 96 + 8 * 5, 0x300);
  put32(image, opt + 96 + 8 * 5 + 4, relocSize);
  size_t at = opt + 0xE0;
  for (const auto &s : sections) {
    std::memcpy(&image[at], s.name, std::strlen(s.name));
    put32(image, at + 8, s.size);
    put32(image, at + 12, s.address);
    put32(image, at + 16, s.size);
    put32(image, at + 20, s.address);
    put32(image, at + 36, s.characteristics);
    at += 40;
  }
  return image;
}

Bytes goodImage() {
  return pe32({{".text", 0x220, 0x80, kCode}, {".rdata", 0x2A0, 0x40, kReadOnly}, {".reloc", 0x300, 0x20, kReadOnly}});
}

// A COFF object with the named sections (no symbols).
Bytes coff(std::vector<std::pair<std::string, uint32_t>> sections) {
  Bytes object(20 + 40 * sections.size(), 0);
  put16(object, 0, 0x14C);
  put16(object, 2, static_cast<uint16_t>(sections.size()));
  size_t at = 20;
  for (const auto &[name, characteristics] : sections) {
    std::memcpy(&object[at], name.data(), std::min<size_t>(8, name.size()));
    put32(object, at + 16, 4);  // raw size
    put32(object, at + 36, characteristics);
    at += 40;
  }
  return object;
}

GuidTable pcdPpiTable() {
  GuidTable table;
  readDecGuids("[Ppis]\n  gEfiPeiPcdPpiGuid = { 0x01f34d25, 0x4de2, 0x23ad, { 0x3f, 0xf3, 0x36, 0x35, 0x3f, 0xf3, 0x23, 0xf1 } }\n",
               table);
  readDecGuids("[Ppis.IA32]\n  gOther = 11111111-2222-3333-4455-66778899AABB  # registry form\n", table);
  return table;
}

const Bytes kPcdPpiPush = {0x02, 0x25, 0x4D, 0xF3, 0x01, 0xE2, 0x4D, 0xAD, 0x23,
                           0x3F, 0xF3, 0x36, 0x35, 0x3F, 0xF3, 0x23, 0xF1};

}  // namespace

// ---------------------------------------------------------------------------
// GUIDs and dependency expressions

TEST(FwPackGuid, StructFormIsStoredFieldByFieldLittleEndian) {
  Guid g = parseGuid("{ 0x67AC7C94, 0x3DD6, 0x4518, { 0x9E, 0x89, 0x9C, 0x37, 0xA3, 0x05, 0x1A, 0x3C } }");
  EXPECT_THAT(g.bytes, ElementsAre(0x94, 0x7C, 0xAC, 0x67, 0xD6, 0x3D, 0x18, 0x45, 0x9E, 0x89, 0x9C, 0x37, 0xA3, 0x05,
                                   0x1A, 0x3C));
  EXPECT_EQ(formatGuid(g), "67AC7C94-3DD6-4518-9E89-9C37A3051A3C");
}

TEST(FwPackGuid, RegistryFormEqualsStructForm) {
  EXPECT_EQ(parseGuid("8C8CE578-8A3D-4F1C-9935-896185C32DD3"),
            parseGuid("{0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}}"));
}

TEST(FwPackGuid, MalformedGuidIsRefused) {
  EXPECT_THROW(parseGuid("{ 0x1, 0x2 }"), Error);
  EXPECT_THROW(parseGuid("{ 0x1, 0x2, 0x3, { 0x100, 0, 0, 0, 0, 0, 0, 0 } }"), Error);
  EXPECT_THROW(parseGuid("not-a-guid"), Error);
}

struct DepexCase {
  const char *expression;
  Bytes opcodes;
};

void PrintTo(const DepexCase &c, std::ostream *os) { *os << c.expression; }

class FwPackDepex : public ::testing::TestWithParam<DepexCase> {};

TEST_P(FwPackDepex, CompilesToPostfixOpcodesEndingInEnd) {
  EXPECT_EQ(compileDepex(GetParam().expression, pcdPpiTable()), GetParam().opcodes);
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kOtherPush = {0x02, 0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33,
                          0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB};

INSTANTIATE_TEST_SUITE_P(
    Table, FwPackDepex,
    ::testing::Values(DepexCase{"TRUE", {0x06, 0x08}},  //
                      DepexCase{"FALSE", {0x07, 0x08}},
                      DepexCase{"gEfiPeiPcdPpiGuid", concat({kPcdPpiPush, {0x08}})},
                      DepexCase{"gEfiPeiPcdPpiGuid AND gOther", concat({kPcdPpiPush, kOtherPush, {0x03, 0x08}})},
                      DepexCase{"NOT gOther OR TRUE", concat({kOtherPush, {0x05, 0x06, 0x04, 0x08}})},
                      DepexCase{"gOther AND (TRUE OR FALSE)", concat({kOtherPush, {0x06, 0x07, 0x04, 0x03, 0x08}})}));

TEST(FwPackDepex, UnknownNamesAndUnsupportedOpcodesAreRefused) {
  EXPECT_THROW(compileDepex("gNoSuchPpiGuid", pcdPpiTable()), Error);
  EXPECT_THROW(compileDepex("BEFORE gOther", pcdPpiTable()), Error);
  EXPECT_THROW(compileDepex("TRUE AND", pcdPpiTable()), Error);
  EXPECT_THROW(compileDepex("(TRUE", pcdPpiTable()), Error);
  EXPECT_THROW(compileDepex("", pcdPpiTable()), Error);
}

// ---------------------------------------------------------------------------
// .inf

TEST(FwPackInf, ReadsDefinesSourcesAndDepex) {
  InfModule m = parseInf(
      "[Defines]\n"
      "  BASE_NAME   = Demo   # name\n"
      "  FILE_GUID   = 07F84AD3-97DB-4F15-B1E2-B03D9E91CD54\n"
      "  MODULE_TYPE = PEIM\n"
      "  ENTRY_POINT = DemoEntry\n"
      "[Sources]\n"
      "  Demo.cpp\n"
      "  tables/Table.h\n"
      "  Ia32/Only.c | GCC\n"
      "[Depex]\n"
      "  gA AND\n"
      "  gB  # second line\n");
  EXPECT_EQ(m.baseName, "Demo");
  EXPECT_EQ(formatGuid(m.fileGuid), "07F84AD3-97DB-4F15-B1E2-B03D9E91CD54");
  EXPECT_EQ(m.moduleType, "PEIM");
  EXPECT_EQ(m.entryPoint, "DemoEntry");
  EXPECT_THAT(m.sources, ElementsAre("Demo.cpp", "tables/Table.h", "Ia32/Only.c"));
  ASSERT_TRUE(m.depex.has_value());
  EXPECT_EQ(*m.depex, "gA AND gB");
}

TEST(FwPackInf, SourcesDriftNamesWhatToAddAndRemove) {
  SourcesDrift d = compareSources({"A.cpp", "Gone.cpp"}, {"A.cpp", "B.h", "tables/C.cpp"});
  EXPECT_THAT(d.missing, ElementsAre("B.h", "tables/C.cpp"));
  EXPECT_THAT(d.stale, ElementsAre("Gone.cpp"));
  EXPECT_TRUE(compareSources({"A.cpp"}, {"A.cpp"}).empty());
}

TEST(FwPackInf, AutoGenGlueIsNeverAModuleSource) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("fwpack-sources-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "tables");
  for (const char *name : {"Main.cpp", "Main.h", "AutoGen.h", "AutoGenGlue.c", "tables/T.cpp", "notes.txt"}) {
    std::ofstream(dir / name) << "\n";
  }
  EXPECT_THAT(moduleSourceFiles(dir.string()), ElementsAre("Main.cpp", "Main.h", "tables/T.cpp"));
  fs::remove_all(dir);
}

// ---------------------------------------------------------------------------
// Sections and the PEIM file

TEST(FwPackSection, HeaderIsA24BitSizeIncludingItselfAndTheType) {
  Bytes s = makeSection(SECTION_USER_INTERFACE, {0x41, 0x00, 0x00, 0x00});
  EXPECT_THAT(s, ElementsAre(0x08, 0x00, 0x00, 0x15, 0x41, 0x00, 0x00, 0x00));
}

TEST(FwPackSection, UserInterfaceNameIsUcs2WithTerminator) {
  EXPECT_THAT(uiName("Zo"), ElementsAre('Z', 0, 'o', 0, 0, 0));
}

TEST(FwPackSection, AlignmentAttributeRoundsUpToTheEncodableSteps) {
  EXPECT_EQ(alignmentAttribute(1), 0);
  EXPECT_EQ(alignmentAttribute(8), 0);
  EXPECT_EQ(alignmentAttribute(16), 1);
  EXPECT_EQ(alignmentAttribute(32), 2);  // 32 is not encodable: 128
  EXPECT_EQ(alignmentAttribute(128), 2);
  EXPECT_EQ(alignmentAttribute(4096), 5);
  EXPECT_EQ(alignmentAttribute(65536), 7);
  EXPECT_THROW(alignmentAttribute(65537), Error);
}

class FwPackPeimFile : public ::testing::Test {
 protected:
  const Guid name = parseGuid("07F84AD3-97DB-4F15-B1E2-B03D9E91CD54");
  const Bytes image = goodImage();
  const Bytes file = buildPeimFile(name, {0x06, 0x08}, image, "ZorPei");
};

TEST_F(FwPackPeimFile, HeaderFields) {
  EXPECT_THAT(Bytes(file.begin(), file.begin() + 16), ElementsAreArray(name.bytes));
  EXPECT_EQ(file[18], 0x06);  // PEIM
  EXPECT_EQ(file[19], 0x50);  // checksummed data, data aligned to 128
  EXPECT_EQ(get24(file, 20), file.size());
  EXPECT_EQ(file[23], 0x07);  // header construction, header valid, data valid
  EXPECT_EQ(fileAlignment(file), 128u);
}

TEST_F(FwPackPeimFile, HeaderSumsToZeroWithoutStateAndFileChecksum) {
  Bytes header(file.begin(), file.begin() + 24);
  header[17] = 0;
  header[23] = 0;
  EXPECT_EQ(sum8(header.data(), header.size()), 0);
}

TEST_F(FwPackPeimFile, DataSumsToZeroWithTheFileChecksum) {
  EXPECT_NE(file[17], 0xAA);
  EXPECT_EQ(static_cast<uint8_t>(sum8(file.data() + 24, file.size() - 24) + file[17]), 0);
}

TEST_F(FwPackPeimFile, SectionsAreDepexPadPe32AndUiWithTheImageOn32Bytes) {
  // Data offsets: depex at 0 (6 bytes, padded to 8), a RAW pad section up to
  // 28, the PE32 section header at 28, the image at 32.
  const uint8_t *d = file.data() + 24;
  EXPECT_THAT(Bytes(d, d + 6), ElementsAre(0x06, 0x00, 0x00, 0x1B, 0x06, 0x08));
  EXPECT_THAT(Bytes(d + 8, d + 12), ElementsAre(0x14, 0x00, 0x00, 0x19));
  EXPECT_THAT(Bytes(d + 28, d + 32), ElementsAre(0x04, 0x04, 0x00, 0x10));  // 0x404 = 4 + 0x400
  EXPECT_EQ(0, std::memcmp(d + 32, image.data(), image.size()));
  size_t ui = 32 + image.size();
  EXPECT_THAT(Bytes(d + ui, d + ui + 4), ElementsAre(0x12, 0x00, 0x00, 0x15));
  EXPECT_THAT(Bytes(d + ui + 4, d + ui + 18), ElementsAreArray(uiName("ZorPei")));
  EXPECT_EQ(file.size(), 24 + ui + 18);
}

TEST(FwPackPeimFileLayout, AnEighteenByteDepexNeedsTheSmallestPad) {
  Bytes depex = concat({kPcdPpiPush, {0x08}});
  Bytes file = buildPeimFile(parseGuid("86204C5A-D195-402E-8AF9-98876F039378"), depex, goodImage(), "V");
  const uint8_t *d = file.data() + 24;
  EXPECT_THAT(Bytes(d, d + 4), ElementsAre(0x16, 0x00, 0x00, 0x1B));
  EXPECT_THAT(Bytes(d + 4, d + 22), ElementsAreArray(depex));
  EXPECT_THAT(Bytes(d + 24, d + 28), ElementsAre(0x04, 0x00, 0x00, 0x19));  // empty RAW section
  EXPECT_THAT(Bytes(d + 28, d + 32), ElementsAre(0x04, 0x04, 0x00, 0x10));
}

// ---------------------------------------------------------------------------
// The volume

class FwPackVolume : public ::testing::Test {
 protected:
  const Bytes a = buildPeimFile(parseGuid("07F84AD3-97DB-4F15-B1E2-B03D9E91CD54"), {0x06, 0x08}, goodImage(), "A");
  const Bytes b = buildPeimFile(parseGuid("D0B75A0F-0BAC-4828-8D5D-3E2D6BBEF430"), {0x06, 0x08}, goodImage(), "B");
  const Bytes fv = buildVolume({a, b}, 0x1000);

  uint32_t at32(size_t at) const {
    return fv[at] | fv[at + 1] << 8 | fv[at + 2] << 16 | static_cast<uint32_t>(fv[at + 3]) << 24;
  }
};

TEST_F(FwPackVolume, HeaderFields) {
  EXPECT_EQ(fv.size(), 0x1000u);
  EXPECT_THAT(Bytes(fv.begin(), fv.begin() + 16), ElementsAreArray(Bytes(16, 0)));
  Guid system;
  std::memcpy(system.bytes.data(), &fv[16], 16);
  EXPECT_EQ(formatGuid(system), "8C8CE578-8A3D-4F1C-9935-896185C32DD3");
  EXPECT_EQ(at32(32), 0x1000u);        // FvLength (low half)
  EXPECT_EQ(at32(36), 0u);             // FvLength (high half)
  EXPECT_EQ(at32(40), 0x4856465Fu);    // "_FVH"
  EXPECT_EQ(at32(44), 0x0007FEFFu);    // capabilities, erase polarity 1, alignment 2^7
  EXPECT_EQ(fv[48] | fv[49] << 8, 0x48);  // header length
  EXPECT_EQ(fv[55], 2);                   // revision
  EXPECT_EQ(at32(56), 1u);                // one block
  EXPECT_EQ(at32(60), 0x1000u);           // of 4 KB
  EXPECT_EQ(at32(64), 0u);                // block map end
  EXPECT_EQ(at32(68), 0u);
}

TEST_F(FwPackVolume, HeaderSumsToZeroIn16BitWords) {
  uint16_t sum = 0;
  for (size_t i = 0; i < 0x48; i += 2) sum = static_cast<uint16_t>(sum + (fv[i] | fv[i + 1] << 8));
  EXPECT_EQ(sum, 0);
}

TEST_F(FwPackVolume, FilesSitOn128ByteDataBoundariesBehindPadFiles) {
  // 0x48: pad file of 0x20 bytes (0x48 + 0x20 + 24 = 0x80).
  EXPECT_EQ(fv[0x48 + 18], 0xF0);
  EXPECT_EQ(get24(fv, 0x48 + 20), 0x20u);
  EXPECT_EQ(fv[0x48 + 17], 0xAA);  // no data checksum
  EXPECT_EQ(fv[0x48 + 23], 0xF8);  // states inverted by erase polarity 1
  // The first file at 0x68, its data at 0x80.
  EXPECT_EQ(0, std::memcmp(&fv[0x68], a.data(), 23));
  EXPECT_EQ(fv[0x68 + 23], 0xF8);
  EXPECT_EQ(0, std::memcmp(&fv[0x68 + 24], a.data() + 24, a.size() - 24));
  // The second file's data also starts on a multiple of 128.
  size_t next = (0x68 + a.size() + 7) / 8 * 8;
  while (fv[next + 18] == 0xF0) next += get24(fv, next + 20);
  EXPECT_EQ(0, std::memcmp(&fv[next], b.data(), 16));
  EXPECT_EQ((next + 24) % 128, 0u);
  // The rest is erased.
  size_t end = next + b.size();
  for (size_t i = (end + 7) / 8 * 8; i < fv.size(); i++) ASSERT_EQ(fv[i], 0xFF) << "at " << i;
}

TEST_F(FwPackVolume, LengthIsAWholeNumberOfBlocks) {
  EXPECT_EQ(buildVolume({a, b, a, b, a, b}, 0x400).size() % 0x400, 0u);
  EXPECT_THROW(buildVolume({a}, 3000), Error);
}

// An image with one HIGHLOW relocation: the pointer at 0x240 to 0x2A0.
Bytes relocatedImage() {
  Bytes image = pe32({{".text", 0x220, 0x80, kCode}, {".rdata", 0x2A0, 0x40, kReadOnly}, {".reloc", 0x300, 12, kReadOnly}},
                     11, 0x220, 12);
  put32(image, 0x240, 0x2A0);
  put32(image, 0x300, 0x200);  // page
  put32(image, 0x304, 12);     // block size
  put16(image, 0x308, 0x3040); // HIGHLOW at page + 0x40
  put16(image, 0x30A, 0x0000); // padding
  return image;
}

TEST(FwPackRebase, VolumeAtAnAddressRebasesEachImageToWhereItLies) {
  Bytes file = buildPeimFile(parseGuid("07F84AD3-97DB-4F15-B1E2-B03D9E91CD54"), {0x06, 0x08}, relocatedImage(), "A");
  Bytes fv = buildVolume({file}, 0x1000, 0xFFF00000u);
  // The file's data at 0x80 (behind a pad file), its image at data + 32.
  const size_t image = 0x80 + 32;
  auto at32 = [&](size_t at) { return uint32_t(fv[at] | fv[at + 1] << 8 | fv[at + 2] << 16 | uint32_t(fv[at + 3]) << 24); };
  EXPECT_EQ(at32(image + 0x40 + 24 + 28), 0xFFF000A0u);        // ImageBase
  EXPECT_EQ(at32(image + 0x240), 0xFFF000A0u + 0x2A0u);         // the pointer
  EXPECT_EQ(static_cast<uint8_t>(sum8(&fv[0x68 + 24], file.size() - 24) + fv[0x68 + 17]), 0);  // checksum renewed
  // Without an address the images stay as linked.
  Bytes plain = buildVolume({file}, 0x1000);
  EXPECT_EQ(plain[image + 0x240], 0xA0);
  EXPECT_EQ(plain[image + 0x241], 0x02);
}

TEST(FwPackRebase, BaseMustKeepTheFilesAligned) {
  Bytes file = buildPeimFile(parseGuid("07F84AD3-97DB-4F15-B1E2-B03D9E91CD54"), {0x06, 0x08}, relocatedImage(), "A");
  EXPECT_THROW(buildVolume({file}, 0x1000, 0xFFF00040u), Error);
}

TEST(FwPackRebase, OnlyHighLowRelocationsAreApplied) {
  Bytes image = relocatedImage();
  put16(image, 0x308, 0xA040);  // a 64-bit relocation has no place in IA32 code
  EXPECT_THROW(rebasePe(image.data(), image.size(), 0x1000), Error);
}

// ---------------------------------------------------------------------------
// PE32 and COFF checks

TEST(FwPackPeCheck, ALinkedPeimImageHasNoProblems) {
  EXPECT_THAT(peProblems(parsePe(goodImage())), IsEmpty());
}

struct PeCase {
  const char *what;
  Bytes image;
  const char *problem;
};

void PrintTo(const PeCase &c, std::ostream *os) { *os << c.what; }

class FwPackPeProblems : public ::testing::TestWithParam<PeCase> {};

TEST_P(FwPackPeProblems, AreNamed) {
  auto problems = peProblems(parsePe(GetParam().image));
  ASSERT_EQ(problems.size(), 1u) << GetParam().what;
  EXPECT_THAT(problems[0], HasSubstr(GetParam().problem));
}

const std::vector<SectionLayout> kTextAndReloc = {{".text", 0x220, 0x80, kCode}, {".reloc", 0x300, 0x20, kReadOnly}};

INSTANTIATE_TEST_SUITE_P(
    Table, FwPackPeProblems,
    ::testing::Values(
        PeCase{"writable data", pe32({{".text", 0x220, 0x80, kCode}, {".data", 0x2A0, 0x20, kWritable}}),
               "writable section .data of 32 bytes"},
        PeCase{"subsystem 10", pe32(kTextAndReloc, 10), "subsystem is 10, not 11"},
        PeCase{"no relocations", pe32(kTextAndReloc, 11, 0x220, 0), "base relocations are missing"},
        PeCase{"imports", pe32(kTextAndReloc, 11, 0x220, 0x20, 0x28), "imports symbols"},
        PeCase{"x64 machine", pe32(kTextAndReloc, 11, 0x220, 0x20, 0, 0x8664), "not i386 (0x14C)"},
        PeCase{"entry in data", pe32(kTextAndReloc, 11, 0x300), "entry point 0x300 lies outside the code"}));

TEST(FwPackPeCheck, EmptyWritableSectionIsNoProblem) {
  EXPECT_THAT(peProblems(parsePe(pe32({{".text", 0x220, 0x80, kCode}, {".data", 0x2A0, 0, kWritable},
                                       {".reloc", 0x300, 0x20, kReadOnly}}))),
              IsEmpty());
}

TEST(FwPackObjectCheck, StaticConstructorsAndWritableDataAreNamed) {
  auto problems = objectProblems(parseCoff(coff({{".text", kCode},
                                                 {".rdata", kReadOnly},
                                                 {".CRT$XCU", kReadOnly},
                                                 {".data", kWritable},
                                                 {".tls$", kWritable}})));
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_THAT(problems[0], HasSubstr("static constructor (section .CRT$XCU)"));
  EXPECT_THAT(problems[1], HasSubstr("writable data (section .data, 4 bytes)"));
  EXPECT_THAT(problems[2], HasSubstr("thread-local data"));
  EXPECT_THAT(objectProblems(parseCoff(coff({{".text", kCode}, {".rdata", kReadOnly}}))), IsEmpty());
}

// ---------------------------------------------------------------------------
// Size report inputs

TEST(FwPackReport, StackUsageLinesSplitIntoLocationFunctionAndSize) {
  auto frames = parseStackUsage(
      "Framework/Common/DebugLib.cpp:70:DebugVPrint\t260\tstatic\n"
      "Framework/Common/PrintLib.cpp:103:?PutNumber@?A0x56ACD694@@YAXAAUOutput@@@Z\t80\tstatic\n"
      "X.cpp:5:f\t16\tdynamic,bounded\n");
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].location, "Framework/Common/DebugLib.cpp:70");
  EXPECT_EQ(frames[0].function, "DebugVPrint");
  EXPECT_EQ(frames[0].bytes, 260u);
  EXPECT_EQ(readableName(frames[1].function), "PutNumber");
  EXPECT_EQ(frames[2].qualifier, "dynamic,bounded");
}

TEST(FwPackReport, ReadableNamesOfDecoratedFunctions) {
  EXPECT_EQ(readableName("?csrRead@@YAIIII@Z"), "csrRead");
  EXPECT_EQ(readableName("??$PutString@D@?A0x1@@YAXPBD@Z"), "PutString");
  EXPECT_EQ(readableName("DebugPrint"), "DebugPrint");
}

TEST(FwPackReport, MapGivesPublicsAndTheObjectsThatLinked) {
  LinkMap map = parseMap(
      " z\n\n  Address         Publics by Value              Rva+Base               Lib:Object\n\n"
      " 0001:00000000       ?csrRead@@YAIIII@Z         0000000000000220     CsrAccess.cpp.obj\n"
      " 0001:0000226c       __ModuleEntryPoint         000000000000248c     libia32_framework:PeimEntryPoint.cpp.obj\n");
  EXPECT_EQ(map.symbols.at("__ModuleEntryPoint"), 0x248Cu);
  EXPECT_EQ(map.symbols.at("?csrRead@@YAIIII@Z"), 0x220u);
  EXPECT_THAT(map.objects, ElementsAre("CsrAccess.cpp.obj", "PeimEntryPoint.cpp.obj"));
}

// ---------------------------------------------------------------------------
// Microcode word lists

class FwPackWords : public ::testing::Test {
 protected:
  // One folder per test: CTest runs the tests in parallel processes.
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (std::string("fwpack-words-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(FwPackWords, BinaryImagesAreLittleEndianWords) {
  writeFile((dir / "peMicrocodeA.bin").string(), {0x78, 0x56, 0x34, 0x12, 0xFF, 0x03, 0x00, 0x00});
  EXPECT_THAT(readWords((dir / "peMicrocodeA.bin").string()), ElementsAre(0x12345678u, 0x3FFu));
  writeFile((dir / "odd.bin").string(), {1, 2, 3});
  EXPECT_THROW(readWords((dir / "odd.bin").string()), Error);
}

TEST_F(FwPackWords, TextImagesAreHexadecimalTokens) {
  writeText((dir / "sbus.rom").string(), "# vendor ROM\n3ff\n0x001, 2A0 // two more\n\n");
  EXPECT_THAT(readWords((dir / "sbus.rom").string()), ElementsAre(0x3FFu, 0x1u, 0x2A0u));
  writeText((dir / "bad.rom").string(), "12 xyz\n");
  EXPECT_THROW(readWords((dir / "bad.rom").string()), Error);
}

TEST_F(FwPackWords, WordListIsAnInitialiserOfEightWordsALine) {
  std::vector<uint32_t> words = {1, 2, 3, 4, 5, 6, 7, 8, 0xDEADBEEF};
  EXPECT_EQ(wordList(words, "x.bin"),
            "// Generated by fwpack from x.bin: 9 words.\n"
            "0x00000001, 0x00000002, 0x00000003, 0x00000004, 0x00000005, 0x00000006, 0x00000007, 0x00000008,\n"
            "0xDEADBEEF,\n");
}
