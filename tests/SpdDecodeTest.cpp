// SPD decode and timing derivation: the CRC, the conversion to clocks at
// 1325 MHz, DDR_DIMM and DDR_CLOCKS as composed from the SPD bytes, every
// failure line and fatal check, the capacity rule, the listing, and the real
// dumps of public DIMMs decoded as their datasheets say.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "DdrSetup.h"
#include "Machine.h"
#include "Scenario.h"
#include "SpdImage.h"
#include "SpdTool.h"
#include "tables/SpdReference.h"

namespace {

using test::Machine;
using Bytes = std::vector<uint8_t>;

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes spdFile(const std::string& name) { return fileBytes(ZOR_SOURCE_DIR "/scenarios/spd/" + name); }

std::string textFile(const std::string& path) {
  Bytes b = fileBytes(path);
  return std::string(b.begin(), b.end());
}

// The JEDEC DDR4 SPD CRC, written here again so that the test does not
// agree with the firmware by construction.
uint16_t crc16(const uint8_t* data) {
  uint16_t crc = 0;
  for (int i = 0; i < 126; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
  }
  return crc;
}

// An image with some bytes changed and both CRCs made right again.
Bytes changed(Bytes spd, const std::map<size_t, uint8_t>& bytes) {
  spd.resize(512, 0);
  for (const auto& [index, value] : bytes) spd[index] = value;
  for (size_t block : {0, 128}) {
    uint16_t crc = crc16(&spd[block]);
    spd[block + 126] = crc & 0xFF;
    spd[block + 127] = crc >> 8;
  }
  return spd;
}

const Bytes& ref16() {
  static const Bytes b = spdFile("ref-16GB-2Rx8.bin");
  return b;
}
const Bytes& ref32() {
  static const Bytes b = spdFile("ref-32GB-2Rx4.bin");
  return b;
}

struct Decoded {
  bool completed = false;
  uint64_t capacity = ~0ull;
  std::string log;
  std::string report;  // the halt's report
};

// Stages the image on (rail, chan) of a fresh machine and decodes it.
Decoded decode(Machine& m, const Bytes& spd, uint32_t rail = 0, uint32_t chan = 0) {
  m.stageSpd(rail, chan, spd);
  m.clear();
  Decoded d;
  sim::Platform::Outcome outcome = m.run([&] { d.capacity = decodeSpd(m.data, rail, chan); });
  d.completed = outcome.completed;
  d.report = outcome.report;
  d.log = m.log();
  return d;
}

Decoded decode(const Bytes& spd, uint32_t rail = 0, uint32_t chan = 0) {
  Machine m;
  return decode(m, spd, rail, chan);
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

bool hasLine(const std::string& log, const std::string& line) {
  return ("\n" + log).find("\n" + line + "\n") != std::string::npos;
}

// --- spdCrc and psToClocks -------------------------------------------------

TEST(SpdCrc, OfKnownBlocks) {
  Bytes zeros(126, 0), ones(126, 0xFF);
  EXPECT_EQ(spdCrc(zeros.data()), 0x0000);
  EXPECT_EQ(spdCrc(ones.data()), 0x1DA3);
  EXPECT_EQ(spdCrc(ref16().data()), 0xF723);
  EXPECT_EQ(spdCrc(ref32().data()), 0x1675);
  // Only 126 bytes count: the stored CRC behind them does not.
  Bytes ref = ref16();
  ref[126] ^= 0xFF;
  EXPECT_EQ(spdCrc(ref.data()), 0xF723);
}

struct ClockRow {
  uint32_t ps, clocks;
};

class PsToClocks : public testing::TestWithParam<ClockRow> {};

TEST_P(PsToClocks, RoundsUpAt1325MHz) { EXPECT_EQ(psToClocks(GetParam().ps), GetParam().clocks); }

INSTANTIATE_TEST_SUITE_P(
    Values, PsToClocks,
    testing::Values(ClockRow{0, 0}, ClockRow{1, 1}, ClockRow{754, 1}, ClockRow{755, 2},  //
                    ClockRow{8000, 11}, ClockRow{8750, 12}, ClockRow{13750, 19},          //
                    ClockRow{360000, 477},                                               // tRFC1 350 ns + 10 ns
                    // The seam of the two branches: up to 1 us in picoseconds,
                    // above it rounded up to whole nanoseconds first.
                    ClockRow{1000000, 1325}, ClockRow{1000001, 1327}, ClockRow{1000999, 1327},
                    ClockRow{1001000, 1327}, ClockRow{1001001, 1328},  //
                    ClockRow{7800000, 10335}, ClockRow{5000000, 6625}, ClockRow{200000000, 265000},
                    ClockRow{500000000, 662500}));

// --- Records -----------------------------------------------------------------

TEST(DdrRecords, FieldsInTheDocumentedOrderAndWidths) {
  EXPECT_EQ(sizeof(DDR_DIMM), 76u);
  const size_t flags[] = {offsetof(DDR_DIMM, RDIMM),   offsetof(DDR_DIMM, LRDIMM), offsetof(DDR_DIMM, mirroring),
                          offsetof(DDR_DIMM, ECC),     offsetof(DDR_DIMM, width),  offsetof(DDR_DIMM, ranks),
                          offsetof(DDR_DIMM, stacks),  offsetof(DDR_DIMM, rows),   offsetof(DDR_DIMM, columns),
                          offsetof(DDR_DIMM, RC5),     offsetof(DDR_DIMM, RC4),    offsetof(DDR_DIMM, RC3)};
  for (size_t i = 0; i < std::size(flags); ++i) EXPECT_EQ(flags[i], i) << "8-bit field " << i;
  const size_t times[] = {offsetof(DDR_DIMM, pagesize), offsetof(DDR_DIMM, tCKAVG), offsetof(DDR_DIMM, tCKAVG_max),
                          offsetof(DDR_DIMM, tAA),      offsetof(DDR_DIMM, tRCD),   offsetof(DDR_DIMM, tRP),
                          offsetof(DDR_DIMM, tRAS),     offsetof(DDR_DIMM, tRC),    offsetof(DDR_DIMM, tRFC),
                          offsetof(DDR_DIMM, tFAW),     offsetof(DDR_DIMM, tRRD_S), offsetof(DDR_DIMM, tRRD_L),
                          offsetof(DDR_DIMM, tCCD_L),   offsetof(DDR_DIMM, tWR),    offsetof(DDR_DIMM, tWTR_S),
                          offsetof(DDR_DIMM, tWTR_L)};
  for (size_t i = 0; i < std::size(times); ++i) EXPECT_EQ(times[i], 12 + 4 * i) << "32-bit field " << i;

  EXPECT_EQ(sizeof(DDR_CLOCKS), 49u * 4);
  const size_t clocks[] = {
      offsetof(DDR_CLOCKS, CL),          offsetof(DDR_CLOCKS, CWL),        offsetof(DDR_CLOCKS, AL),
      offsetof(DDR_CLOCKS, WL),          offsetof(DDR_CLOCKS, RL),         offsetof(DDR_CLOCKS, tRCD),
      offsetof(DDR_CLOCKS, tRP),         offsetof(DDR_CLOCKS, tRAS),       offsetof(DDR_CLOCKS, tRAS_max),
      offsetof(DDR_CLOCKS, tRC),         offsetof(DDR_CLOCKS, tRFC),       offsetof(DDR_CLOCKS, tRFC_max),
      offsetof(DDR_CLOCKS, tREFI),       offsetof(DDR_CLOCKS, tFAW),       offsetof(DDR_CLOCKS, tRRD_L),
      offsetof(DDR_CLOCKS, tRRD_S),      offsetof(DDR_CLOCKS, tCCD_S),     offsetof(DDR_CLOCKS, tCCD_L),
      offsetof(DDR_CLOCKS, tWR),         offsetof(DDR_CLOCKS, tWTR_L),     offsetof(DDR_CLOCKS, tWTR_S),
      offsetof(DDR_CLOCKS, tRTP),        offsetof(DDR_CLOCKS, tDLLK),      offsetof(DDR_CLOCKS, tMRD),
      offsetof(DDR_CLOCKS, tMRD_PDA),    offsetof(DDR_CLOCKS, tCKMPE),     offsetof(DDR_CLOCKS, tZQinit),
      offsetof(DDR_CLOCKS, tDQSCK),      offsetof(DDR_CLOCKS, tDQSCK_max), offsetof(DDR_CLOCKS, tXS),
      offsetof(DDR_CLOCKS, tXSDLL),      offsetof(DDR_CLOCKS, tXMP),       offsetof(DDR_CLOCKS, tXMPDLL),
      offsetof(DDR_CLOCKS, tMPX_S),      offsetof(DDR_CLOCKS, tMPX_LH),    offsetof(DDR_CLOCKS, tXP),
      offsetof(DDR_CLOCKS, tCKE),        offsetof(DDR_CLOCKS, tWLO),       offsetof(DDR_CLOCKS, tWLMRD),
      offsetof(DDR_CLOCKS, tCPDED),      offsetof(DDR_CLOCKS, tCMDCKE),    offsetof(DDR_CLOCKS, tGEAR_setup),
      offsetof(DDR_CLOCKS, tGEAR_hold),  offsetof(DDR_CLOCKS, tSRX),       offsetof(DDR_CLOCKS, tAL),
      offsetof(DDR_CLOCKS, tSTAB),       offsetof(DDR_CLOCKS, tRESET_low), offsetof(DDR_CLOCKS, tMOD),
      offsetof(DDR_CLOCKS, tRTODT)};
  for (size_t i = 0; i < std::size(clocks); ++i) EXPECT_EQ(clocks[i], 4 * i) << "timing " << i;
}

TEST(DecodeSpd, DimmOfTheReference16GB) {
  Machine m;
  Decoded d = decode(m, ref16(), 1, 0);
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, 0x400000000ull);
  const DDR_DIMM& x = m.data->dimm[2];
  EXPECT_EQ(x.RDIMM, 1);
  EXPECT_EQ(x.LRDIMM, 0);
  EXPECT_EQ(x.mirroring, 1);
  EXPECT_EQ(x.ECC, 1);
  EXPECT_EQ(x.width, 8);
  EXPECT_EQ(x.ranks, 2);
  EXPECT_EQ(x.stacks, 1);
  EXPECT_EQ(x.rows, 16);
  EXPECT_EQ(x.columns, 10);
  EXPECT_EQ(x.RC5, 0);
  EXPECT_EQ(x.RC4, 0);
  EXPECT_EQ(x.RC3, 1);
  EXPECT_EQ(x.pagesize, 1024u);
  EXPECT_EQ(x.tCKAVG, 750u);
  EXPECT_EQ(x.tCKAVG_max, 1600u);
  EXPECT_EQ(x.tAA, 13750u);
  EXPECT_EQ(x.tRCD, 13750u);
  EXPECT_EQ(x.tRP, 13750u);
  EXPECT_EQ(x.tRAS, 32000u);
  EXPECT_EQ(x.tRC, 45750u);
  EXPECT_EQ(x.tRFC, 350000u);
  EXPECT_EQ(x.tFAW, 21000u);
  EXPECT_EQ(x.tRRD_S, 3000u);
  EXPECT_EQ(x.tRRD_L, 4900u);  // 40 x 125 ps, fine byte 0x9C = -100 ps
  EXPECT_EQ(x.tCCD_L, 5000u);
  EXPECT_EQ(x.tWR, 15000u);
  EXPECT_EQ(x.tWTR_S, 2500u);
  EXPECT_EQ(x.tWTR_L, 7500u);
}

TEST(DecodeSpd, ClocksOfTheReference16GB) {
  Machine m;
  ASSERT_TRUE(decode(m, ref16(), 0, 1).completed);
  const DDR_CLOCKS& c = m.data->clocks[1];
  const uint32_t expected[49] = {
      19, 18, 0, 18, 19,          // CL CWL AL WL RL
      19, 19, 43, 93015, 61,      // tRCD tRP tRAS tRAS_max tRC
      477, 93015, 10335, 28,      // tRFC (= tXS) tRFC_max tREFI tFAW
      7, 4, 4, 7,                 // tRRD_L tRRD_S tCCD_S tCCD_L
      20, 10, 4, 10, 854, 8, 16,  // tWR tWTR_L tWTR_S tRTP tDLLK tMRD tMRD_PDA
      28, 1024, 1, 1,             // tCKMPE tZQinit tDQSCK tDQSCK_max
      477, 854, 477, 1331,        // tXS tXSDLL tXMP tXMPDLL
      1, 2, 8, 7, 13, 40, 4, 1,   // tMPX_S tMPX_LH tXP tCKE tWLO tWLMRD tCPDED tCMDCKE
      2, 2, 14, 0, 6625, 265000,  // tGEAR_setup tGEAR_hold tSRX tAL tSTAB tRESET_low
      24, 0};                     // tMOD tRTODT
  uint32_t actual[49];
  std::memcpy(actual, &c, sizeof actual);
  for (int i = 0; i < 49; ++i) EXPECT_EQ(actual[i], expected[i]) << "timing " << i;
}

struct FieldRow {
  const char* what;
  std::map<size_t, uint8_t> bytes;  // changed in the 32 GB reference
  const char* field;
  uint32_t value;
};

std::ostream& operator<<(std::ostream& out, const FieldRow& r) { return out << r.what; }

uint32_t dimmField(const DDR_DIMM& x, const std::string& f) {
  const std::map<std::string, uint32_t> fields = {
      {"mirroring", x.mirroring}, {"RC5", x.RC5},       {"RC4", x.RC4},       {"RC3", x.RC3},
      {"rows", x.rows},           {"columns", x.columns}, {"pagesize", x.pagesize}, {"stacks", x.stacks},
      {"tCKAVG", x.tCKAVG},       {"tCKAVG_max", x.tCKAVG_max}, {"tAA", x.tAA},   {"tRCD", x.tRCD},
      {"tRP", x.tRP},             {"tRAS", x.tRAS},     {"tRC", x.tRC},       {"tRFC", x.tRFC},
      {"tFAW", x.tFAW},           {"tRRD_S", x.tRRD_S}, {"tRRD_L", x.tRRD_L}, {"tCCD_L", x.tCCD_L},
      {"tWR", x.tWR},             {"tWTR_S", x.tWTR_S}, {"tWTR_L", x.tWTR_L}};
  return fields.at(f);
}

class DimmField : public testing::TestWithParam<FieldRow> {};

TEST_P(DimmField, ComposedFromItsSpdBytes) {
  const FieldRow& r = GetParam();
  Machine m;
  Decoded d = decode(m, changed(ref32(), r.bytes));
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(dimmField(m.data->dimm[0], r.field), r.value);
}

INSTANTIATE_TEST_SUITE_P(
    Composition, DimmField,
    testing::Values(
        FieldRow{"register control words of the reference", {}, "RC5", 5},
        FieldRow{"RC4 swaps the two 2-bit drive strengths", {{137, 0x0B}}, "RC4", 14},
        FieldRow{"RC3 is the upper nibble", {{137, 0xAB}}, "RC3", 10},
        FieldRow{"RC5 from byte 138", {{138, 0x0E}}, "RC5", 11},
        FieldRow{"mirroring is bit 0 of byte 136", {{136, 0xFE}}, "mirroring", 0},
        FieldRow{"rows", {{5, 0x31}}, "rows", 18},
        FieldRow{"columns and page size", {{5, 0x2A}}, "pagesize", 1024},
        FieldRow{"stacks take three bits", {{6, 0xF2}}, "stacks", 8},
        FieldRow{"fine byte 0xFF is -1 ps", {{18, 6}, {125, 0xFF}}, "tCKAVG", 749},
        FieldRow{"fine byte 0x7F is +127 ps", {{18, 5}, {125, 0x7F}}, "tCKAVG", 752},
        FieldRow{"tCKAVG_max fine byte 124", {{19, 13}, {124, 0x80}}, "tCKAVG_max", 1497},
        FieldRow{"tAA fine byte 123", {{123, 0xFE}}, "tAA", 13748},
        FieldRow{"tRCD fine byte 122", {{122, 0x01}}, "tRCD", 13751},
        FieldRow{"tRP fine byte 121", {{121, 0x02}}, "tRP", 13752},
        FieldRow{"tRAS upper nibble in byte 27", {{27, 0x21}, {28, 0x00}}, "tRAS", 32000},
        FieldRow{"tRC upper nibble and fine byte 120", {{27, 0x21}, {29, 0x10}, {120, 0xFF}}, "tRC", 65999},
        FieldRow{"tRFC1 low byte then high byte", {{30, 0x20}, {31, 0x11}}, "tRFC", 548000},
        FieldRow{"tFAW upper nibble in byte 36", {{36, 0xF1}, {37, 0x10}}, "tFAW", 34000},
        FieldRow{"tRRD_S fine byte 119", {{38, 0x1E}, {119, 0xF6}}, "tRRD_S", 3740},
        FieldRow{"tRRD_L fine byte 118", {{39, 0x28}, {118, 0x00}}, "tRRD_L", 5000},
        FieldRow{"tCCD_L fine byte 117", {{40, 0x28}, {117, 0xE2}}, "tCCD_L", 4970},
        FieldRow{"tWR upper nibble in byte 41", {{41, 0xF1}, {42, 0x2C}}, "tWR", 37500},
        FieldRow{"tWTR_S lower nibble of byte 43", {{43, 0x31}, {44, 0x04}}, "tWTR_S", 32500},
        FieldRow{"tWTR_L upper nibble of byte 43", {{43, 0x31}, {45, 0x08}}, "tWTR_L", 97000}));

TEST(DecodeSpd, RefreshTimesFromTrfc1) {
  // tRFC1min 350 ns: tRFC, tXS and tXMP are all tRFC1 + 10 ns in clocks.
  Machine m;
  ASSERT_TRUE(decode(m, changed(ref32(), {{30, 0xF0}, {31, 0x0A}})).completed);
  const DDR_CLOCKS& c = m.data->clocks[0];
  EXPECT_EQ(c.tRFC, 477u);
  EXPECT_EQ(c.tXS, 477u);
  EXPECT_EQ(c.tXMP, 477u);
  EXPECT_EQ(c.tXMPDLL, 1331u);
}

TEST(DecodeSpd, WritesOnlyTheRecordsOfItsChannel) {
  Machine m;
  std::memset(m.data->dimm, 0xA5, sizeof m.data->dimm);
  std::memset(m.data->clocks, 0xA5, sizeof m.data->clocks);
  ASSERT_TRUE(decode(m, ref32(), 1, 0).completed);
  for (int i : {0, 1, 3}) {
    EXPECT_EQ(m.data->dimm[i].tRFC, 0xA5A5A5A5u) << i;
    EXPECT_EQ(m.data->clocks[i].tRFC, 0xA5A5A5A5u) << i;
  }
  EXPECT_EQ(m.data->dimm[2].ranks, 2);
  EXPECT_EQ(m.data->clocks[2].tRFC, 477u);
}

TEST(DecodeSpd, TouchesNoRegister) {
  Machine m;
  ASSERT_TRUE(decode(m, ref32()).completed);
  EXPECT_TRUE(m.accesses().empty());
}

// --- Capacity ----------------------------------------------------------------

struct CapacityRow {
  const char* what;
  uint8_t byte4, byte6, byte12, byte13;
  uint64_t capacity;
  const char* summary;  // rail 0 channel 0
};

std::ostream& operator<<(std::ostream& out, const CapacityRow& r) { return out << r.what; }

class Capacity : public testing::TestWithParam<CapacityRow> {};

TEST_P(Capacity, PerOrganisation) {
  const CapacityRow& r = GetParam();
  Decoded d = decode(changed(ref32(), {{4, r.byte4}, {6, r.byte6}, {12, r.byte12}, {13, r.byte13}}));
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, r.capacity);
  EXPECT_EQ(firstLine(d.log), r.summary);
}

INSTANTIATE_TEST_SUITE_P(
    Organisations, Capacity,
    testing::Values(
        CapacityRow{"8 Gbit 2Rx4", 0x85, 0x00, 0x08, 0x0B, 0x800000000, "Rail 0 Channel 0 32GB RDIMM 2Rx4"},
        CapacityRow{"8 Gbit 2Rx8", 0x85, 0x00, 0x09, 0x0B, 0x400000000, "Rail 0 Channel 0 16GB RDIMM 2Rx8"},
        CapacityRow{"8 Gbit 1Rx8", 0x85, 0x00, 0x01, 0x0B, 0x200000000, "Rail 0 Channel 0 8GB RDIMM 1Rx8"},
        CapacityRow{"8 Gbit 4Rx4", 0x85, 0x00, 0x18, 0x0B, 0x1000000000, "Rail 0 Channel 0 64GB RDIMM 4Rx4"},
        CapacityRow{"3DS 2H: dies double it", 0x85, 0x92, 0x08, 0x0B, 0x1000000000,
                    "Rail 0 Channel 0 64GB RDIMM 4Rx4 3DS 2H"},
        CapacityRow{"3DS 4H", 0x85, 0xB2, 0x08, 0x0B, 0x2000000000, "Rail 0 Channel 0 128GB RDIMM 8Rx4 3DS 4H"},
        CapacityRow{"3DS 4H of 1 rank x8", 0x86, 0xB2, 0x01, 0x0B, 0x1000000000,
                    "Rail 0 Channel 0 64GB RDIMM 4Rx8 3DS 4H"},
        // Eight dies: stacks counts 8 (three bits), the capacity four (two
        // bits), and the summary takes its plain form.
        CapacityRow{"8-high stack", 0x85, 0xF2, 0x08, 0x0B, 0x2000000000, "Rail 0 Channel 0 128GB RDIMM 2Rx4"},
        CapacityRow{"256 Mbit", 0x80, 0x00, 0x00, 0x0B, 0x20000000, "Rail 0 Channel 0 0GB RDIMM 1Rx4"},
        CapacityRow{"4 Gbit 1Rx4", 0x84, 0x00, 0x00, 0x0B, 0x200000000, "Rail 0 Channel 0 8GB RDIMM 1Rx4"},
        CapacityRow{"12 Gbit 2Rx8", 0x88, 0x00, 0x09, 0x0B, 0x600000000, "Rail 0 Channel 0 24GB RDIMM 2Rx8"},
        CapacityRow{"16 Gbit 1Rx8", 0x86, 0x00, 0x01, 0x0B, 0x400000000, "Rail 0 Channel 0 16GB RDIMM 1Rx8"},
        CapacityRow{"24 Gbit 4Rx4", 0x89, 0x00, 0x18, 0x0B, 0x3000000000, "Rail 0 Channel 0 192GB RDIMM 4Rx4"},
        CapacityRow{"32 Gbit 2Rx4", 0x87, 0x00, 0x08, 0x0B, 0x2000000000, "Rail 0 Channel 0 128GB RDIMM 2Rx4"},
        CapacityRow{"32-bit bus with ECC", 0x85, 0x00, 0x08, 0x0A, 0x400000000, "Rail 0 Channel 0 16GB RDIMM 2Rx4"},
        CapacityRow{"die code 10", 0x8A, 0x00, 0x08, 0x0B, 0, "Rail 0 Channel 0 0GB RDIMM 2Rx4"},
        CapacityRow{"die code 15", 0x8F, 0x00, 0x08, 0x0B, 0, "Rail 0 Channel 0 0GB RDIMM 2Rx4"}));

TEST(Capacity, ReservedDieCodeIsListedThenDropped) {
  for (uint8_t code = 10; code <= 15; ++code) {
    Decoded d = decode(changed(ref16(), {{4, static_cast<uint8_t>(0x80 | code)}}));
    ASSERT_TRUE(d.completed) << d.report;
    EXPECT_EQ(d.capacity, 0u) << int(code);
    EXPECT_TRUE(hasLine(d.log, "- tRTODT 0t")) << "the whole listing is printed";
    EXPECT_EQ(d.log.find("\033[31m"), std::string::npos) << "and no failure line";
  }
}

// --- Listing -------------------------------------------------------------------

TEST(Listing, OfTheReference32GBMatchesTheGoldenText) {
  Decoded d = decode(ref32(), 1, 1);
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, 0x800000000ull);
  EXPECT_EQ(d.log, textFile(ZOR_TEST_DIR "/golden/decodeSpd-ref-32GB-2Rx4-R1C1.log"));
}

TEST(Listing, FrequencyLines) {
  Decoded d = decode(ref16());
  EXPECT_TRUE(hasLine(d.log, "- tCKAVG 750ps -> max frequency 2666MHz")) << d.log;
  EXPECT_TRUE(hasLine(d.log, "- tCKAVG_max 1600ps -> min frequency 1250MHz")) << d.log;
}

TEST(Listing, ZeroPeriodsPrintZeroMHz) {
  // A tCKAVGmin of 0 passes the speed check; neither line divides by zero.
  Decoded d = decode(changed(ref16(), {{18, 0}, {125, 0}, {19, 0}, {124, 0}}));
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, 0x400000000ull);
  EXPECT_TRUE(hasLine(d.log, "- tCKAVG 0ps -> max frequency 0MHz")) << d.log;
  EXPECT_TRUE(hasLine(d.log, "- tCKAVG_max 0ps -> min frequency 0MHz")) << d.log;
}

// --- Failures ------------------------------------------------------------------

struct FailureRow {
  const char* what;
  Bytes spd;
  const char* log;  // all the decode prints, rail 1 channel 0
};

std::ostream& operator<<(std::ostream& out, const FailureRow& r) { return out << r.what; }

class DecodeFailure : public testing::TestWithParam<FailureRow> {};

TEST_P(DecodeFailure, PrintsItsLineAndLeavesTheRecords) {
  const FailureRow& r = GetParam();
  Machine m;
  std::memset(m.data->dimm, 0xA5, sizeof m.data->dimm);
  std::memset(m.data->clocks, 0xA5, sizeof m.data->clocks);
  Decoded d = decode(m, r.spd, 1, 0);
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, 0u);
  EXPECT_EQ(d.log, r.log);
  DDR_DIMM untouched;
  std::memset(&untouched, 0xA5, sizeof untouched);
  EXPECT_EQ(std::memcmp(&m.data->dimm[2], &untouched, sizeof untouched), 0);
  EXPECT_EQ(m.data->clocks[2].tRFC, 0xA5A5A5A5u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeFailure,
    testing::Values(
        FailureRow{"block-1 checksum", spdFile("bad-crc1.bin"),
                   "\033[31mRail 1 channel 0 DIMM SPD checksum 1 failure\033[0m\n"},
        FailureRow{"all 0xFF", Bytes(512, 0xFF), "\033[31mRail 1 channel 0 DIMM SPD checksum 1 failure\033[0m\n"},
        FailureRow{"all zeros pass both checksums", Bytes(512, 0),
                   "\033[31mRail 1 channel 0 doesn't have DDR4 SDRAM\033[0m\n"},
        FailureRow{"not DDR4", spdFile("bad-not-ddr4.bin"),
                   "\033[31mRail 1 channel 0 doesn't have DDR4 SDRAM\033[0m\n"},
        FailureRow{"not an RDIMM", spdFile("bad-not-rdimm.bin"), "\033[31mRail 1 channel 0 isn't a RDIMM\033[0m\n"},
        FailureRow{"LRDIMM", changed(ref16(), {{3, 0x04}}), "\033[31mRail 1 channel 0 isn't a RDIMM\033[0m\n"},
        FailureRow{"no ECC", spdFile("bad-no-ecc.bin"), "\033[31mRail 1 channel 0 doesn't support ECC\033[0m\n"},
        FailureRow{"bus width extension 2", changed(ref16(), {{13, 0x13}}),
                   "\033[31mRail 1 channel 0 doesn't support ECC\033[0m\n"},
        // A bad block 2 is a warning; the first failure after it is reported too.
        FailureRow{"block-2 checksum, then not DDR4", [] {
                     Bytes b = changed(ref16(), {{2, 0x0B}});
                     b[200] = 1;
                     return b;
                   }(),
                   "\033[31mRail 1 channel 0 DIMM SPD checksum 2 failure\033[0m\n"
                   "\033[31mRail 1 channel 0 doesn't have DDR4 SDRAM\033[0m\n"}));

// Only bits 3:0 of byte 3 name the module type (bits 7:4 are the hybrid
// memory flags).
TEST(DecodeFailure, ModuleTypeIsBits3To0) {
  Decoded d = decode(changed(ref16(), {{3, 0x11}}));
  EXPECT_EQ(d.capacity, 0x400000000ull);
}

TEST(DecodeFailure, TooSlowForDdr4_2666LeavesTheDimmPartlyWritten) {
  Machine m;
  std::memset(m.data->dimm, 0xA5, sizeof m.data->dimm);
  std::memset(m.data->clocks, 0xA5, sizeof m.data->clocks);
  Decoded d = decode(m, spdFile("bad-ddr4-2400.bin"), 1, 1);
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, 0u);
  EXPECT_EQ(d.log, "\033[31mDDR4 DIMM doesn't support DDR4-2666\033[0m\n");
  const DDR_DIMM& x = m.data->dimm[3];
  EXPECT_EQ(x.width, 8);
  EXPECT_EQ(x.ranks, 2);
  EXPECT_EQ(x.pagesize, 1024u);
  EXPECT_EQ(x.tCKAVG, 833u);
  EXPECT_EQ(x.tCKAVG_max, 1600u);
  EXPECT_EQ(x.rows, 0xA5) << "filled only after the speed check";
  EXPECT_EQ(x.tAA, 0xA5A5A5A5u);
  EXPECT_EQ(m.data->clocks[3].tRP, 0xA5A5A5A5u);
}

struct SpeedRow {
  uint8_t mtb, fine;
  bool accepted;
};

class Speed : public testing::TestWithParam<SpeedRow> {};

TEST_P(Speed, DDR4_2666NeedsAtMost754ps) {
  const SpeedRow& r = GetParam();
  Decoded d = decode(changed(ref16(), {{18, r.mtb}, {125, r.fine}}));
  ASSERT_TRUE(d.completed);
  EXPECT_EQ(d.capacity != 0, r.accepted) << d.log;
  EXPECT_EQ(hasLine(d.log, "\033[31mDDR4 DIMM doesn't support DDR4-2666\033[0m"), !r.accepted) << d.log;
}

INSTANTIATE_TEST_SUITE_P(Periods, Speed,
                         testing::Values(SpeedRow{6, 0x00, true},    // 750 ps
                                         SpeedRow{6, 0x04, true},    // 754 ps
                                         SpeedRow{6, 0x05, false},   // 755 ps
                                         SpeedRow{7, 0x00, false},   // 875 ps
                                         SpeedRow{5, 0x00, true},    // 625 ps, DDR4-3200
                                         SpeedRow{0, 0xFF, false})); // -1 ps wraps to 4294967295

TEST(DecodeFailure, BadBlock2IsAWarningOnly) {
  Decoded d = decode(spdFile("warn-crc2-16GB-2Rx8.bin"), 0, 1);
  ASSERT_TRUE(d.completed);
  EXPECT_EQ(d.capacity, 0x400000000ull);
  EXPECT_EQ(d.log.rfind("\033[31mRail 0 channel 1 DIMM SPD checksum 2 failure\033[0m\n"
                        "Rail 0 Channel 1 16GB RDIMM 2Rx8\n",
                        0),
            0u)
      << d.log;
}

// --- Fatal checks ----------------------------------------------------------------

struct HaltRow {
  const char* what;
  std::map<size_t, uint8_t> bytes;  // changed in the 32 GB reference
  const char* expression;
};

std::ostream& operator<<(std::ostream& out, const HaltRow& r) { return out << r.what; }

class DecodeHalt : public testing::TestWithParam<HaltRow> {};

TEST_P(DecodeHalt, OnADimmTheControllerCannotServe) {
  const HaltRow& r = GetParam();
  Decoded d = decode(changed(ref32(), r.bytes));
  ASSERT_FALSE(d.completed);
  std::string expected = std::string(r.expression) + " failed at TARVO3/ZorPei/SpdDecode.cpp:";
  EXPECT_EQ(d.report.rfind(expected, 0), 0u) << d.report;
  EXPECT_NE(d.log.find("\033[31m" + expected), std::string::npos) << d.log;
  EXPECT_EQ(d.log.find("DIMM SPD data"), std::string::npos) << "nothing is listed";
}

INSTANTIATE_TEST_SUITE_P(
    Checks, DecodeHalt,
    testing::Values(HaltRow{"x16", {{12, 0x0A}}, "dimm->width == 4 || dimm->width == 8"},
                    HaltRow{"x32", {{12, 0x0B}}, "dimm->width == 4 || dimm->width == 8"},
                    HaltRow{"width code 6 (256 bits as 8 bits is 0)", {{12, 0x0E}},
                            "dimm->width == 4 || dimm->width == 8"},
                    HaltRow{"x16 with 3 ranks: width first", {{12, 0x12}}, "dimm->width == 4 || dimm->width == 8"},
                    HaltRow{"3 ranks", {{12, 0x10}}, "dimm->ranks == 4 || dimm->ranks == 2 || dimm->ranks == 1"},
                    HaltRow{"8 ranks", {{12, 0x38}}, "dimm->ranks == 4 || dimm->ranks == 2 || dimm->ranks == 1"},
                    HaltRow{"8 banks per group", {{4, 0x95}}, "!(spd[4] & (1 << 4))"},
                    HaltRow{"8 banks per group and 2 groups: banks first", {{4, 0x55}}, "!(spd[4] & (1 << 4))"},
                    HaltRow{"two bank groups", {{4, 0x45}}, "((spd[4] >> 6) & 3) == 2"},
                    HaltRow{"no bank groups", {{4, 0x05}}, "((spd[4] >> 6) & 3) == 2"},
                    HaltRow{"tRP 8000 ps is 11 clocks", {{26, 64}}, "clocks->tRP >= 12"},
                    HaltRow{"tRCD 8000 ps", {{25, 64}}, "clocks->tRCD >= 12"},
                    HaltRow{"tRP before tRCD", {{25, 64}, {26, 64}}, "clocks->tRP >= 12"}));

TEST(DecodeHalt, TrpOf8750psIs12ClocksAndAccepted) {
  Machine m;
  Decoded d = decode(m, changed(ref32(), {{26, 70}, {25, 70}}));
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(m.data->clocks[0].tRP, 12u);
  EXPECT_EQ(m.data->clocks[0].tRCD, 12u);
}

// --- SPD images -------------------------------------------------------------

TEST(SpdReference, TablesAreTheFirst192BytesOfTheReferenceImages) {
  ASSERT_EQ(sizeof spdReference16GB, 192u);
  ASSERT_EQ(sizeof spdReference32GB, 192u);
  EXPECT_EQ(Bytes(spdReference16GB, spdReference16GB + 192), Bytes(ref16().begin(), ref16().begin() + 192));
  EXPECT_EQ(Bytes(spdReference32GB, spdReference32GB + 192), Bytes(ref32().begin(), ref32().begin() + 192));
  // Spot checks of the documented bytes.
  EXPECT_EQ(spdReference16GB[12], 0x09);
  EXPECT_EQ(spdReference16GB[126], 0x23);
  EXPECT_EQ(spdReference16GB[127], 0xF7);
  EXPECT_EQ(spdReference16GB[137], 0x10);
  EXPECT_EQ(spdReference32GB[12], 0x08);
  EXPECT_EQ(spdReference32GB[126], 0x75);
  EXPECT_EQ(spdReference32GB[127], 0x16);
  EXPECT_EQ(spdReference32GB[138], 0x05);
}

// Every image of scenarios/spd as its README says.
struct ImageRow {
  const char* file;
  uint64_t capacity;
  const char* line;  // the summary line, or the failure line (without colours)
};

std::ostream& operator<<(std::ostream& out, const ImageRow& r) { return out << r.file; }

class SpdImageFile : public testing::TestWithParam<ImageRow> {};

TEST_P(SpdImageFile, DecodesAsDocumented) {
  const ImageRow& r = GetParam();
  Bytes spd = spdFile(r.file);
  zorsim::SpdVerdict v = zorsim::decodeSpdImage(spd);
  EXPECT_FALSE(v.halted) << v.reason;
  EXPECT_EQ(v.capacity, r.capacity);
  EXPECT_TRUE(hasLine(sim::stripColour(v.text), r.line)) << v.text;
  ASSERT_EQ(spd.size(), 512u);
  if (std::string(r.file).rfind("warn-crc2", 0) != 0) {
    EXPECT_EQ(crc16(&spd[128]), spd[254] | spd[255] << 8) << "block 2 carries a valid CRC";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, SpdImageFile,
    testing::Values(
        ImageRow{"ref-16GB-2Rx8.bin", 0x400000000, "Rail 0 Channel 0 16GB RDIMM 2Rx8"},
        ImageRow{"ref-32GB-2Rx4.bin", 0x800000000, "Rail 0 Channel 0 32GB RDIMM 2Rx4"},
        ImageRow{"8GB-1Rx8.bin", 0x200000000, "Rail 0 Channel 0 8GB RDIMM 1Rx8"},
        ImageRow{"16GB-1Rx4.bin", 0x400000000, "Rail 0 Channel 0 16GB RDIMM 1Rx4"},
        ImageRow{"64GB-4Rx4.bin", 0x1000000000, "Rail 0 Channel 0 64GB RDIMM 4Rx4"},
        ImageRow{"64GB-4Rx4-3DS-2H.bin", 0x1000000000, "Rail 0 Channel 0 64GB RDIMM 4Rx4 3DS 2H"},
        ImageRow{"128GB-8Rx4-3DS-4H.bin", 0x2000000000, "Rail 0 Channel 0 128GB RDIMM 8Rx4 3DS 4H"},
        ImageRow{"warn-crc2-16GB-2Rx8.bin", 0x400000000, "Rail 0 channel 0 DIMM SPD checksum 2 failure"},
        ImageRow{"bad-crc1.bin", 0, "Rail 0 channel 0 DIMM SPD checksum 1 failure"},
        ImageRow{"bad-not-ddr4.bin", 0, "Rail 0 channel 0 doesn't have DDR4 SDRAM"},
        ImageRow{"bad-not-rdimm.bin", 0, "Rail 0 channel 0 isn't a RDIMM"},
        ImageRow{"bad-no-ecc.bin", 0, "Rail 0 channel 0 doesn't support ECC"},
        ImageRow{"bad-ddr4-2400.bin", 0, "DDR4 DIMM doesn't support DDR4-2666"},
        ImageRow{"bad-die-code-10.bin", 0, "Rail 0 Channel 0 0GB RDIMM 2Rx8"}));

// Real dumps of public DIMMs, as their datasheets describe them.
struct RealRow {
  const char* file;
  uint64_t capacity;
  std::vector<const char*> lines;
};

std::ostream& operator<<(std::ostream& out, const RealRow& r) { return out << r.file; }

class RealDump : public testing::TestWithParam<RealRow> {};

TEST_P(RealDump, DecodesAsItsDatasheetSays) {
  const RealRow& r = GetParam();
  Bytes spd = spdFile(r.file);
  ASSERT_EQ(spd.size(), 256u);
  Decoded d = decode(spd);
  ASSERT_TRUE(d.completed) << d.report;
  EXPECT_EQ(d.capacity, r.capacity);
  std::string log = sim::stripColour(d.log);
  for (const char* line : r.lines) EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
}

INSTANTIATE_TEST_SUITE_P(
    Public, RealDump,
    testing::Values(
        // 64 GB, 2 ranks of x4, 16 Gbit dies, DDR4-3200, rank 1 mirrored.
        RealRow{"micron-36ASF8G72PZ-3G2E1-64GB-2Rx4-RDIMM.bin",
                0x1000000000,
                {"Rail 0 Channel 0 64GB RDIMM 2Rx4",
                 "- 10 Columns and 18 Rows ",  // 16 Gbit x4: 256K rows
                 "- RDIMM=1 LRDIMM=0 mirroring=1 ECC=1 width=4 ranks=2 pagesize=512 stacks=1",
                 "- tCKAVG 625ps -> max frequency 3200MHz"}},
        // 16 GB, 1 rank of x4, 8 Gbit dies, DDR4-2666.
        RealRow{"hynix-HMA82GR7JJR4N-VK-16GB-1Rx4-RDIMM.bin",
                0x400000000,
                {"Rail 0 Channel 0 16GB RDIMM 1Rx4",
                 "- 10 Columns and 17 Rows ",  // 8 Gbit x4: 128K rows
                 "- RDIMM=1 LRDIMM=0 mirroring=0 ECC=1 width=4 ranks=1 pagesize=512 stacks=1",
                 "- tCKAVG 750ps -> max frequency 2666MHz"}},
        // DDR4-2133: tCKAVGmin 938 ps.
        RealRow{"hynix-HMA42GR7MFR4N-TF-16GB-2Rx4-RDIMM-2133.bin", 0, {"DDR4 DIMM doesn't support DDR4-2666"}},
        // Load-reduced, 3DS 4H.
        RealRow{"samsung-M386AAK40B40-CWD70-128GB-LRDIMM-3DS4H.bin", 0, {"Rail 0 channel 0 isn't a RDIMM"}},
        // Unbuffered, without ECC: the module type is checked first.
        RealRow{"advantech-AQD-D4U32N32-SBW-32GB-UDIMM-noECC.bin", 0, {"Rail 0 channel 0 isn't a RDIMM"}}));

TEST(RealDump, SlowHynixHas938psTck) {
  Machine m;
  decode(m, spdFile("hynix-HMA42GR7MFR4N-TF-16GB-2Rx4-RDIMM-2133.bin"));
  EXPECT_EQ(m.data->dimm[0].tCKAVG, 938u);
}

TEST(DefaultScenario, FourGoodFullSizeRdimms) {
  zorsim::Scenario s = zorsim::defaultScenario();
  ASSERT_EQ(s.dimms.size(), 4u);
  for (const zorsim::Dimm& dimm : s.dimms) {
    EXPECT_EQ(dimm.spd.size(), 512u) << dimm.file;
    zorsim::SpdVerdict v = zorsim::decodeSpdImage(dimm.spd);
    EXPECT_NE(v.capacity, 0u) << dimm.file << ": " << v.reason;
    EXPECT_EQ(v.text.find("\033[31m"), std::string::npos) << dimm.file << ": " << v.text;
  }
}

}  // namespace
