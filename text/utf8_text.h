// Telling UTF-8 from the 8-bit text of a page's own code page.
#pragma once

// True when `text` (NUL-terminated) is well-formed UTF-8 and holds at least one character
// beyond ASCII: no stray continuation byte, no overlong form, no surrogate, nothing above
// U+10FFFF, no sequence cut by the NUL. False for plain ASCII, for any other bytes, and for null.
bool isUtf8BeyondAscii(const char* text);
