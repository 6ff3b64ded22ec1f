// setField and fitField: register images composed field by field, a value
// that does not fit halts (setField) or saturates with a warning (fitField).
#include <gtest/gtest.h>

#include <string>

#include "Access.h"
#include "Machine.h"

namespace {

using test::Machine;

// The report of a call that must halt on a fatal check, or "" if it did not.
std::string haltOf(Machine& m, const std::function<void()>& call) {
  sim::Platform::Outcome outcome = m.run(call);
  return outcome.completed ? std::string() : outcome.report;
}

std::string fatal(const std::string& expression) {
  return expression + " failed at TARVO3/ZorPei/Access.cpp:";
}

struct SetRow {
  uint32_t word, hi, lo, val, expected;
};

class SetField : public testing::TestWithParam<SetRow> {};

TEST_P(SetField, ReplacesTheFieldAndKeepsTheRest) {
  const SetRow& r = GetParam();
  Machine m;
  uint32_t word = r.word;
  ASSERT_TRUE(m.run([&] { setField(&word, r.hi, r.lo, r.val); }).completed);
  EXPECT_EQ(word, r.expected);
  EXPECT_EQ(m.log(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SetField,
    testing::Values(SetRow{0xFFFFFFFF, 5, 4, 2, 0xFFFFFFEF},   //
                    SetRow{0x00000000, 7, 0, 0xAB, 0x000000AB},  //
                    SetRow{0x12345678, 31, 28, 0xF, 0xF2345678},  //
                    SetRow{0x12345678, 15, 8, 0, 0x12340078},     //
                    SetRow{0xFFFFFFFF, 0, 0, 0, 0xFFFFFFFE},      //
                    SetRow{0x00000000, 31, 31, 1, 0x80000000},    //
                    SetRow{0xA5A5A5A5, 31, 0, 0x5A5A5A5A, 0x5A5A5A5A}));

struct HaltRow {
  uint32_t hi, lo, val;
  const char* expression;
};

class SetFieldHalts : public testing::TestWithParam<HaltRow> {};

TEST_P(SetFieldHalts, OnAFieldOrValueThatCannotBe) {
  const HaltRow& r = GetParam();
  Machine m;
  uint32_t word = 0x12345678;
  EXPECT_EQ(haltOf(m, [&] { setField(&word, r.hi, r.lo, r.val); }).rfind(fatal(r.expression), 0), 0u)
      << m.log();
  EXPECT_EQ(word, 0x12345678u) << "a value that does not fit is never truncated";
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SetFieldHalts,
    testing::Values(HaltRow{2, 0, 8, "(val & mask) == val"},  //
                    HaltRow{5, 4, 4, "(val & mask) == val"},  //
                    HaltRow{30, 0, 0x80000000, "(val & mask) == val"},
                    HaltRow{4, 5, 0, "lo <= hi"},  //
                    HaltRow{4, 5, 0xFFFF, "lo <= hi"},  // the order of the checks
                    // Bits above 31 have no place in a 32-bit register.
                    HaltRow{32, 0, 0, "hi < 32"}));

TEST(SetField, HaltLineIsRedAtTheErrorLevel) {
  Machine m;
  uint32_t word = 0;
  m.run([&] { setField(&word, 2, 0, 8); });
  std::string log = m.log();
  EXPECT_EQ(log.rfind("\033[31m(val & mask) == val failed at TARVO3/ZorPei/Access.cpp:", 0), 0u) << log;
  EXPECT_EQ(log.substr(log.size() - 5), "\033[0m\n");
}

struct FitRow {
  uint32_t hi, lo, val, expected;
  const char* warning;  // "" when the value fits
};

class FitField : public testing::TestWithParam<FitRow> {};

TEST_P(FitField, PlacesOrSaturatesWithAWarning) {
  const FitRow& r = GetParam();
  Machine m;
  uint32_t word = 0;
  ASSERT_TRUE(m.run([&] { word = fitField(r.hi, r.lo, r.val); }).completed);
  EXPECT_EQ(word, r.expected);
  EXPECT_EQ(m.log(), r.warning);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FitField,
    testing::Values(FitRow{14, 8, 0x45, 0x00004500, ""},  //
                    FitRow{17, 0, 0x40B28, 0x0003FFFF,
                           "\033[31mValue 0x40B28 exceeds bits 17:0; using 0x3FFFF\033[0m\n"},
                    FitRow{25, 16, 0x500, 0x03FF0000, "\033[31mValue 0x500 exceeds bits 25:16; using 0x3FF\033[0m\n"},
                    FitRow{5, 5, 2, 0x00000020, "\033[31mValue 0x2 exceeds bits 5:5; using 0x1\033[0m\n"},
                    FitRow{31, 0, 0xFFFFFFFF, 0xFFFFFFFF, ""},  //
                    FitRow{31, 24, 0xFF, 0xFF000000, ""},       //
                    FitRow{3, 0, 0, 0, ""}));

TEST(FitField, HaltsOnLoAboveHi) {
  Machine m;
  EXPECT_EQ(haltOf(m, [&] { fitField(3, 4, 1); }).rfind(fatal("lo <= hi"), 0), 0u) << m.log();
}

}  // namespace
