// ASCII helpers over 8-bit text: decimal values, case folding of a..z only, and copies that
// fit, NUL-terminated in fixed caller-owned buffers; bytes 0x80 and above pass untouched.
// Used by the link URL code and by the embed attribute parser.
#pragma once

#include <cstddef>
#include <cstdint>

// Decimal value: leading white space (space, \t, \n, \v, \f, \r), at most one "+" or "-"
// directly before the digits, then digits up to the first non-digit; wraps as a signed
// 32-bit integer; 0 without any digit (and for a null text).
int32_t decimalValue(const char* text);                    // text NUL-terminated
int32_t decimalValue(const char* begin, const char* end);  // only [begin, end) is looked at

// The decimal value of `text` into `*value` when it lies within [low, high] and did not wrap
// on the way; otherwise false, and `*value` is untouched.
bool decimalValueWithin(const char* text, int32_t low, int32_t high, int32_t* value);

// Folds a..z only; bytes 0x80 and above are returned unchanged.
char asciiUpper(char c);

// Equality with ASCII-only case folding; both NUL-terminated. A null text equals only null.
bool equalsIgnoringCase(const char* a, const char* b);

// Copies NUL-terminated src into dst[capacity] when it fits with its NUL and returns true;
// otherwise returns false and leaves dst untouched (overlong text is rejected, never cut).
bool copyTextIfFits(char* dst, size_t capacity, const char* src);
template <size_t N>
bool copyTextIfFits(char (&dst)[N], const char* src) {
  return copyTextIfFits(dst, N, src);
}
