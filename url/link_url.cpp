#include "url/link_url.h"

#include <cstring>

#include "text/ascii_text.h"

namespace {

// The pieces of a link URL up to its first slash; every pointer lies inside the caller's text.
struct UrlAnatomy {
  const char* authority;  // right after the first "://"
  const char* slash;      // first "/" from the authority on, or null
  const char* colon;      // first ":" from the authority on if it lies before the slash, or null
};

// First occurrence of "://"; returns the character after it, or null.
const char* afterSchemeMarker(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    // Short-circuiting keeps every read at or before the NUL.
    if (p[0] == ':' && p[1] == '/' && p[2] == '/') return p + 3;
  }
  return nullptr;
}

// False when the text holds no "://".
bool dissect(const char* url, UrlAnatomy* parts) {
  parts->authority = afterSchemeMarker(url);
  if (parts->authority == nullptr) return false;
  parts->slash = nullptr;
  parts->colon = nullptr;
  for (const char* p = parts->authority; *p != '\0'; ++p) {
    if (*p == '/') {
      parts->slash = p;
      break;
    }
    if (*p == ':' && parts->colon == nullptr) parts->colon = p;
  }
  return true;
}

size_t textLength(const char* text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

bool containsChar(const char* text, char c) {
  for (; *text != '\0'; ++text) {
    if (*text == c) return true;
  }
  return false;
}

void spacesToPlus(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == ' ') *text = '+';
  }
}

// Writes the decimal digits of value >= 0 at out (no NUL) and returns their count;
// out == null only counts.
size_t writeDecimal(char* out, int32_t value) {
  char digits[10];
  size_t n = 0;
  uint32_t v = static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10u);
    v /= 10u;
  } while (v != 0);
  if (out != nullptr) {
    for (size_t i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  }
  return n;
}

const char kScheme[] = "kvla://";
const size_t kSchemeLength = sizeof kScheme - 1;

}  // namespace

int32_t hostFromUrl(char* host, size_t hostCapacity, const char* url) {
  if (host == nullptr) return LINKURL_NULL_HOST;
  if (url == nullptr) return LINKURL_NULL_URL;
  UrlAnatomy parts;
  if (!dissect(url, &parts) || parts.slash == nullptr) return LINKURL_MALFORMED;
  const char* end = parts.colon != nullptr ? parts.colon : parts.slash;
  size_t length = static_cast<size_t>(end - parts.authority);
  if (length < 2) return LINKURL_MALFORMED;  // a one-character host is rejected too
  // A cut host would name a different server: refuse instead.
  if (length >= hostCapacity) return LINKURL_TOO_LONG;
  std::memcpy(host, parts.authority, length);
  host[length] = '\0';
  return LINKURL_OK;
}

int32_t portFromUrl(uint16_t* port, const char* url) {
  if (port == nullptr) return LINKURL_NULL_PORT;
  *port = 0xFFFF;  // stays on every later failure
  if (url == nullptr) return LINKURL_NULL_URL;
  UrlAnatomy parts;
  if (!dissect(url, &parts)) return LINKURL_MALFORMED;
  if (parts.slash == nullptr || parts.colon == nullptr) return LINKURL_NO_PORT;
  const char* text = parts.colon + 1;
  if (parts.slash - text < 2) return LINKURL_NO_PORT;  // "" and one character are no port
  // Port texts longer than four characters are converted whole (five-digit ports are real).
  int32_t value = decimalValue(text, parts.slash);
  *port = static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu);
  return LINKURL_OK;
}

int32_t pathFromUrl(char* path, size_t pathCapacity, const char* url) {
  if (path == nullptr) return LINKURL_NULL_PATH;
  if (url == nullptr) return LINKURL_NULL_URL;
  UrlAnatomy parts;
  if (!dissect(url, &parts) || parts.slash == nullptr) return LINKURL_MALFORMED;
  // A cut path would name a different stream: refuse instead.
  if (!copyTextIfFits(path, pathCapacity, parts.slash + 1)) return LINKURL_TOO_LONG;
  return LINKURL_OK;
}

int32_t buildLinkUrl(char* url, size_t urlCapacity, char* host, int32_t port, char* path) {
  if (url == nullptr) return LINKURL_NULL_URL;
  if (path == nullptr) return LINKURL_NULL_PATH;

  // A path with "://" and no space is a complete link URL already.
  if (afterSchemeMarker(path) != nullptr && !containsChar(path, ' ')) {
    size_t length = textLength(path);  // at least 3: it holds "://"
    if (length >= urlCapacity) return LINKURL_TOO_LONG;
    std::memmove(url, path, length - 1);
    url[length - 1] = '\0';  // the last character is dropped
    return LINKURL_OK;
  }

  if (host == nullptr) return LINKURL_NULL_HOST;
  spacesToPlus(host);  // before the "/" test: a refused host keeps its "+"
  if (containsChar(host, '/')) return LINKURL_BAD_HOST;

  // Measure before touching the path: "+" for " " keeps lengths, and a result that does not
  // fit must leave the caller's path as it was (its spaces could not be told from "+" later).
  size_t hostLength = textLength(host);
  size_t pathLength = textLength(path);
  bool addSlash = path[0] != '/';
  size_t portLength = port >= 0 ? 1 + writeDecimal(nullptr, port) : 0;
  size_t length = kSchemeLength + hostLength + portLength + (addSlash ? 1 : 0) + pathLength;
  if (length >= urlCapacity) return LINKURL_TOO_LONG;

  spacesToPlus(path);
  char* out = url;
  std::memcpy(out, kScheme, kSchemeLength);
  out += kSchemeLength;
  std::memcpy(out, host, hostLength);
  out += hostLength;
  if (port >= 0) {
    *out++ = ':';
    out += writeDecimal(out, port);
  }
  if (addSlash) *out++ = '/';
  std::memcpy(out, path, pathLength);
  // The assembled text is at least "kvla://" plus "/": dropping its last character is safe.
  url[length - 1] = '\0';
  return LINKURL_OK;
}
