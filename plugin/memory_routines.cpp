// The C library's memory and string routines that the module's code and the compiler call,
// for the module alone: it links no C runtime. (The test programs link the pure code with
// their normal runtime instead.) Plain byte loops, except memcpy: it copies each link-file
// chunk the module forwards (up to 32 KB), which the processor's string move does at memory
// speed.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
  void* d = destination;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(count) : : "memory");
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  if (d <= s) {
    while (count--) *d++ = *s++;
  } else {
    while (count--) d[count] = s[count];  // overlapping from above: copy from the end
  }
  return destination;
}

void* memset(void* destination, int value, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  while (count--) *d++ = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void* a, const void* b, size_t count) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; count--; ++x, ++y)
    if (*x != *y) return *x < *y ? -1 : 1;
  return 0;
}

void* memchr(const void* source, int value, size_t count) {
  const unsigned char* s = static_cast<const unsigned char*>(source);
  for (; count--; ++s)
    if (*s == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(s);
  return nullptr;
}

size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

size_t strnlen(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length]) ++length;
  return length;
}

char* strchr(const char* text, int character) {
  for (;; ++text) {
    if (*text == static_cast<char>(character)) return const_cast<char*>(text);
    if (*text == '\0') return nullptr;
  }
}

}  // extern "C"
