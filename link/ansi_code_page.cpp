#include "link/ansi_code_page.h"

#include <windows.h>

#include "link/embed_attributes.h"

bool utf8ToAnsiCodePage(char* out, size_t capacity, const char* utf8) {
  if (capacity > CONVERTED_VALUE_CAPACITY) capacity = CONVERTED_VALUE_CAPACITY;
  const int room = static_cast<int>(capacity);
  wchar_t wide[CONVERTED_VALUE_CAPACITY];
  int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, room);
  if (wideLength == 0) return false;
  BOOL usedDefault = FALSE;
  int ansiLength = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wideLength, out, room,
                                       nullptr, &usedDefault);
  // With WC_NO_BEST_FIT_CHARS, a character that would not read back as itself is replaced
  // by the default character, which usedDefault reports: no look-alike gets through.
  return ansiLength != 0 && !usedDefault;
}
