// Decimal values, ASCII-only case folding and the copy that rejects overlong text.
#include <gtest/gtest.h>

#include <cstring>

#include "text/ascii_text.h"

TEST(DecimalValue, ReadsSignsSpacesAndStopsAtTheFirstNonDigit) {
  struct Row {
    const char* text;
    int32_t value;
  };
  const Row rows[] = {
      {"", 0},           {"abc", 0},       {"1600", 1600},   {"0012", 12},
      {"12a", 12},       {"+12", 12},      {"-1", -1},       {"- 1", 0},
      {"+-1", 0},        {"--1", 0},       {"+", 0},         {" \t\n\v\f\r42", 42},
      {"  -7x9", -7},    {"1 2", 1},       {"\xA0" "5", 0},  {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},  // wraps
      {"4294967295", -1},         // wraps
      {"4294967296", 0},
      {"99999999999999999999", 1661992959},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.value, decimalValue(r.text)) << '"' << r.text << '"';
    EXPECT_EQ(r.value, decimalValue(r.text, r.text + std::strlen(r.text))) << '"' << r.text << '"';
  }
  EXPECT_EQ(0, decimalValue(nullptr));
}

// The range check sees the value before it wraps: 4294967296 is not 0.
TEST(DecimalValue, WithinARangeOnlyWhenItDidNotWrap) {
  struct Row {
    const char* text;
    int32_t low, high;
    bool within;
    int32_t value;
  };
  const Row rows[] = {
      {"65535", 0, 65535, true, 65535},  {"65536", 0, 65535, false, 0},
      {"-1", 0, 65535, false, 0},        {" +80x", 0, 65535, true, 80},
      {"abc", 0, 65535, true, 0},        {"4294967296", 0, 65535, false, 0},
      {"4294971832", 0, 65535, false, 0},  // 4536 after the wrap
      {"2147483647", INT32_MIN, INT32_MAX, true, INT32_MAX},
      {"2147483648", INT32_MIN, INT32_MAX, false, 0},
      {"-2147483648", INT32_MIN, INT32_MAX, true, INT32_MIN},
      {"-2147483649", INT32_MIN, INT32_MAX, false, 0},
      {"00000000000000000000007", 0, 9, true, 7},
  };
  for (const Row& r : rows) {
    int32_t value = -42;
    EXPECT_EQ(r.within, decimalValueWithin(r.text, r.low, r.high, &value)) << r.text;
    EXPECT_EQ(r.within ? r.value : -42, value) << r.text;
  }
}

TEST(DecimalValue, BoundedFormLooksOnlyInsideItsRange) {
  // No NUL at all: an overread would show under ASan.
  const char digits[4] = {'1', '2', '3', '4'};
  EXPECT_EQ(1234, decimalValue(digits, digits + 4));
  EXPECT_EQ(12, decimalValue(digits, digits + 2));
  EXPECT_EQ(0, decimalValue(digits, digits));
  const char sign[1] = {'-'};
  EXPECT_EQ(0, decimalValue(sign, sign + 1));
  const char spaces[2] = {' ', ' '};
  EXPECT_EQ(0, decimalValue(spaces, spaces + 2));
  const char* text = "12\0" "34";
  EXPECT_EQ(12, decimalValue(text, text + 5));  // a NUL ends the number as well
}

TEST(AsciiText, FoldsOnlyAsciiLetters) {
  EXPECT_EQ('A', asciiUpper('a'));
  EXPECT_EQ('Z', asciiUpper('z'));
  EXPECT_EQ('Q', asciiUpper('Q'));
  EXPECT_EQ('@', asciiUpper('@'));
  EXPECT_EQ('{', asciiUpper('{'));
  EXPECT_EQ('\xE4', asciiUpper('\xE4'));  // Latin-1 a-umlaut stays as it is
  EXPECT_TRUE(equalsIgnoringCase("FullScreen", "FULLSCREEN"));
  EXPECT_TRUE(equalsIgnoringCase("", ""));
  EXPECT_FALSE(equalsIgnoringCase("Live", "Lives"));
  EXPECT_FALSE(equalsIgnoringCase("Lives", "Live"));
  EXPECT_FALSE(equalsIgnoringCase("\xE4", "\xC4"));
  EXPECT_FALSE(equalsIgnoringCase("@", "`"));  // 0x40 and 0x60 differ by the case bit only
  EXPECT_FALSE(equalsIgnoringCase("a", nullptr));
}

TEST(CopyTextIfFits, ExactFitCopiesAndOneMoreIsRejectedUntouched) {
  char dst[5];
  std::memcpy(dst, "old!", 5);
  EXPECT_TRUE(copyTextIfFits(dst, "abcd"));
  EXPECT_STREQ("abcd", dst);
  EXPECT_FALSE(copyTextIfFits(dst, "vwxyz"));
  EXPECT_STREQ("abcd", dst);
  EXPECT_TRUE(copyTextIfFits(dst, ""));
  EXPECT_STREQ("", dst);
  EXPECT_FALSE(copyTextIfFits(dst, 0, ""));
  EXPECT_FALSE(copyTextIfFits(dst, nullptr));
  EXPECT_FALSE(copyTextIfFits(nullptr, 5, "a"));
}

TEST(CopyTextIfFits, ReadsNoFurtherThanTheDestinationCapacity) {
  // The source has no NUL within its 8 bytes; capacity 8 must stop the scan there.
  char* src = new char[8];
  std::memset(src, 'x', 8);
  char dst[8] = "keep";
  EXPECT_FALSE(copyTextIfFits(dst, src));
  EXPECT_STREQ("keep", dst);
  delete[] src;
}
