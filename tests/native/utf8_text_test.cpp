// Which attribute values count as UTF-8 to convert: well-formed ones beyond ASCII only.
#include <gtest/gtest.h>

#include "text/utf8_text.h"

namespace {

TEST(IsUtf8BeyondAscii, WellFormedMultiByteOnly) {
  struct Case { const char* label; const char* text; bool utf8; };
  const Case cases[] = {
      {"e acute", "caf\xC3\xA9", true},
      {"three bytes", "\xE4\xB8\xAD", true},
      {"four bytes, highest", "\xF4\x8F\xBF\xBF", true},
      {"lowest of three", "\xE0\xA0\x80", true},
      {"plain ASCII", "news", false},
      {"empty", "", false},
      {"page's own byte", "caf\xE9", false},
      {"stray continuation", "\x80", false},
      {"overlong two", "\xC0\xAF", false},
      {"overlong three", "\xE0\x9F\xBF", false},
      {"overlong four", "\xF0\x8F\xBF\xBF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"lead F5", "\xF5\x80\x80\x80", false},
      {"cut by the NUL", "ab\xE4\xB8", false},
      {"valid then invalid", "\xC3\xA9\xFF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.utf8, isUtf8BeyondAscii(c.text)) << c.label;
  EXPECT_FALSE(isUtf8BeyondAscii(nullptr));
}

}  // namespace
