// Attribute values from UTF-8 into the ANSI code page, which the client application reads.
#pragma once

#include <cstddef>

// Writes `utf8` (NUL-terminated) in the ANSI code page to out[capacity] with its NUL and
// returns true only when every character has its own code there: a character the code page
// lacks (no best-fit stand-in, no default character), invalid UTF-8, or a text that needs more
// than capacity (at most CONVERTED_VALUE_CAPACITY) bytes gives false; out is undefined then.
bool utf8ToAnsiCodePage(char* out, size_t capacity, const char* utf8);
