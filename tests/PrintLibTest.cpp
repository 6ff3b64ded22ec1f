// The framework's format rules, as a table of format, arguments and text.
#include <gtest/gtest.h>

#include <string>

extern "C" {
#include <PiPei.h>
#include <Library/PrintLib.h>
}

namespace {

std::string print(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  AsciiVSPrint(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

struct Row {
  const char* what;
  std::string text;
  const char* expected;
};

const EFI_GUID kGuid = {0x31271B47, 0x5E95, 0x437C, {0xA5, 0x00, 0x48, 0x23, 0x2F, 0x26, 0x0E, 0x88}};
const CHAR16 kWide[] = {'Z', 'O', 'R', 0};

class FormatRules : public ::testing::TestWithParam<Row> {};

TEST_P(FormatRules, PrintsAsTheFrameworkDoes) { EXPECT_EQ(GetParam().text, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    PrintLib, FormatRules,
    ::testing::Values(
        Row{"hex is upper case", print("%x", 0xabcdefu), "ABCDEF"},
        Row{"X is the same as x", print("%X", 0xabcdefu), "ABCDEF"},
        Row{"zero pad", print("%08x", 0x1Fu), "0000001F"},
        Row{"space pad", print("%8x", 0x1Fu), "      1F"},
        Row{"left-justify", print("[%-6u]", 42u), "[42    ]"},
        Row{"unsigned 32", print("%u", 4294967295u), "4294967295"},
        Row{"signed 32", print("%d", -5), "-5"},
        Row{"signed zero pad keeps sign first", print("%05d", -42), "-0042"},
        Row{"64-bit hex", print("%lx", 0x123456789ABCDEF0ull), "123456789ABCDEF0"},
        Row{"64-bit zero pad width", print("%012lx", 0x80000000ull), "000080000000"},
        Row{"64-bit unsigned", print("%lu", 18446744073709551615ull), "18446744073709551615"},
        Row{"64-bit signed", print("%ld", -9000000000ll), "-9000000000"},
        Row{"capital L is 64-bit too", print("%Lx", 0x100000000ull), "100000000"},
        Row{"ascii string", print("%a!", "zor"), "zor!"},
        Row{"ascii string padded", print("[%5a]", "ab"), "[   ab]"},
        Row{"ascii string left", print("[%-5a]", "ab"), "[ab   ]"},
        Row{"null ascii string", print("%a", static_cast<const char*>(nullptr)), "<null string>"},
        Row{"unicode string in an ascii format", print("%s", kWide), "ZOR"},
        Row{"character", print("%c%c", 'O', 'K'), "OK"},
        Row{"percent", print("100%%"), "100%"},
        Row{"newline becomes CR LF", print("a\nb\n"), "a\r\nb\r\n"},
        Row{"no # flag: 0x is literal", print("0x%04x", 0xAu), "0x000A"},
        Row{"width from the arguments", print("[%*u]", 4u, 7u), "[   7]"},
        Row{"guid", print("%g", &kGuid), "31271B47-5E95-437C-A500-48232F260E88"},
        Row{"status", print("%r", static_cast<EFI_STATUS>(EFI_NOT_FOUND)), "Not Found"},
        Row{"several conversions in order",
            print("Routing MMIO-L %08x:%08x to %u.%u\n", 0xC0000000u, 0xC01FFFFFu, 0u, 1u),
            "Routing MMIO-L C0000000:C01FFFFF to 0.1\r\n"}));

TEST(PrintLib, TruncatesToTheBufferAndTerminates) {
  char buffer[6];
  UINTN length = AsciiSPrint(buffer, sizeof buffer, "%a", "abcdefghij");
  EXPECT_EQ(length, 5u);
  EXPECT_STREQ(buffer, "abcde");
}

}  // namespace
