#include "text/ascii_text.h"

#include <cstring>

namespace {

bool isDecimalSpace(char c) {
  // Bytes 0x80 and above are not white space, whatever the locale says.
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// end == nullptr: the text runs to its NUL. A NUL also ends a bounded range, since it
// is neither white space, sign nor digit.
// `*exact` (when given) is cleared when the value wrapped, a sign included.
int32_t decimalValueUpTo(const char* p, const char* end, bool* exact = nullptr) {
  if (p == nullptr) return 0;
  auto more = [&]() { return end == nullptr || p < end; };
  while (more() && isDecimalSpace(*p)) ++p;
  bool negative = false;
  if (more() && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // Unsigned arithmetic: overflow wraps instead of being undefined.
  uint32_t value = 0;
  // Past this magnitude the value no longer fits a signed 32-bit number.
  const uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
  while (more() && isDigit(*p)) {
    uint32_t digit = static_cast<uint32_t>(*p - '0');
    if (exact != nullptr && value > (limit - digit) / 10u) *exact = false;
    value = value * 10u + digit;
    ++p;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t decimalValue(const char* text) { return decimalValueUpTo(text, nullptr); }

int32_t decimalValue(const char* begin, const char* end) {
  if (end == nullptr || begin > end) return 0;
  return decimalValueUpTo(begin, end);
}

bool decimalValueWithin(const char* text, int32_t low, int32_t high, int32_t* value) {
  bool exact = true;
  int32_t v = decimalValueUpTo(text, nullptr, &exact);
  if (!exact || v < low || v > high) return false;
  *value = v;
  return true;
}

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  for (;; ++a, ++b) {
    if (asciiUpper(*a) != asciiUpper(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool copyTextIfFits(char* dst, size_t capacity, const char* src) {
  if (dst == nullptr || src == nullptr) return false;
  // Stops at src's NUL or after capacity bytes, whichever comes first.
  size_t length = 0;
  while (length < capacity && src[length] != '\0') ++length;
  if (length >= capacity) return false;
  std::memmove(dst, src, length + 1);
  return true;
}
