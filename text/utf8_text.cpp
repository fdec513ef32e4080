#include "text/utf8_text.h"

bool isUtf8BeyondAscii(const char* text) {
  if (text == nullptr) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  bool beyondAscii = false;
  while (*p != '\0') {
    unsigned lead = *p++;
    if (lead < 0x80) continue;
    beyondAscii = true;
    // How many continuation bytes follow, and the range the first of them must lie in:
    // narrower after E0 and F0 (overlong forms), ED (surrogates) and F4 (above U+10FFFF).
    int follow;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (; follow > 0; --follow, ++p) {
      if (*p < low || *p > high) return false;  // the NUL, too, ends a sequence too early
      low = 0x80;
      high = 0xBF;
    }
  }
  return beyondAscii;
}
