#include "link/file_dialog_paths.h"

#include <string.h>

namespace {

bool isSeparator(char c) { return c == '\\' || c == ':'; }

// Position of the last separator of `text`, never position 0; 0 when there is none.
size_t lastSeparator(const char* text, size_t length) {
  for (size_t i = length; i-- > 1;)
    if (isSeparator(text[i])) return i;
  return 0;
}

}  // namespace

bool convertFilterSpec(const char* filterSpec, char* filter, size_t size) {
  memset(filter, 0, size);
  size_t length = strlen(filterSpec);
  // Trailing "^" already supply closing NULs; the zero fill supplies the rest.
  size_t closing = 0;
  while (closing < 2 && closing < length && filterSpec[length - 1 - closing] == '^') ++closing;
  if (length + (2 - closing) > size) return false;
  for (size_t i = 0; i < length; ++i) filter[i] = filterSpec[i] == '^' ? '\0' : filterSpec[i];
  return true;
}

const char* defaultExtension(const char* filter, size_t size) {
  for (size_t i = 0; i < size && filter[i] != '\0'; ++i)
    if (filter[i] == '.') return filter + i;
  return nullptr;
}

void deriveRestartPoint(char* fileName, char* initialDir, size_t size) {
  if (size == 0) return;
  fileName[size - 1] = '\0';
  size_t length = strlen(fileName);
  memcpy(initialDir, fileName, length + 1);
  if (length == 0) return;
  size_t separator = lastSeparator(initialDir, length);
  initialDir[separator] = '\0';  // position 0 when none: the directory becomes empty
  const char* dot = strchr(fileName + separator + 1, '.');
  size_t extensionLength = dot ? strlen(dot) : 0;
  // "*" + extension is never longer than the old name: the extension starts after position 0.
  if (dot) memmove(fileName + 1, dot, extensionLength + 1);
  else fileName[1] = '\0';
  fileName[0] = '*';
}

void completeExtension(char* path, size_t pathSize, const char* filter, size_t filterSize,
                       unsigned long filterIndex) {
  if (pathSize == 0 || filterIndex == 0) return;
  size_t length = strnlen(path, pathSize);
  if (length == pathSize) return;
  size_t separator = lastSeparator(path, length);
  if (separator == 0) return;  // no separator: left as chosen
  if (memchr(path + separator + 1, '.', length - separator - 1) != nullptr) return;
  // Pattern n follows the (2n-1)-th NUL of the list.
  unsigned long nulsToSkip = 2 * filterIndex - 1;
  size_t at = 0;
  while (nulsToSkip > 0 && at < filterSize) {
    if (filter[at] == '\0') --nulsToSkip;
    ++at;
  }
  if (nulsToSkip > 0 || at >= filterSize) return;
  size_t patternLength = strnlen(filter + at, filterSize - at);
  if (patternLength == filterSize - at || patternLength < 2) return;  // unterminated or empty
  size_t extensionLength = patternLength - 1;
  if (length + extensionLength >= pathSize) return;  // no room: the chosen path as it is
  memcpy(path + length, filter + at + 1, extensionLength);
  path[length + extensionLength] = '\0';
}
