// Link URLs: "kvla://" host [":" port] "/" path. Three extractors and one builder over
// 8-bit NUL-terminated text; no state, nothing allocated, outputs in caller buffers.
#pragma once

#include <cstddef>
#include <cstdint>

// Status of every operation; a null argument is named by its role.
enum LinkUrlStatus : int32_t {
  LINKURL_OK = 0,
  LINKURL_NULL_PATH = 19,  // path output (pathFromUrl) or path input (buildLinkUrl) is null
  LINKURL_NO_PORT = 22,    // no usable port in the link URL
  LINKURL_NULL_PORT = 26,  // port output is null
  LINKURL_BAD_HOST = 28,   // host contains "/"
  LINKURL_NULL_HOST = 29,  // host output (hostFromUrl) or host input (buildLinkUrl) is null
  LINKURL_MALFORMED = 38,  // no "://", no "/" after it, or a host shorter than two characters
  LINKURL_NULL_URL = 39,   // link URL input (extractors) or output (buildLinkUrl) is null
  LINKURL_TOO_LONG = 40,   // the result does not fit its buffer; the buffer is untouched
};

// Host: from after the first "://" to the first ":" before the first "/", else to that "/".
// Written only on success.
int32_t hostFromUrl(char* host, size_t hostCapacity, const char* url);

// Port: the text between that ":" and the first "/", two characters at least. Writes 65535
// first (whenever port is non-null), the value on success.
int32_t portFromUrl(uint16_t* port, const char* url);

// Path: everything after the first "/" that follows "://", possibly empty. Written only on success.
int32_t pathFromUrl(char* path, size_t pathCapacity, const char* url);

// Assembles "kvla://" host [":" port] ["/"] path, or takes path whole when it holds "://" and
// no space, then drops the last character. Spaces in host and path become "+" in the caller's
// texts. port < 0 means no port. url is written only on success.
int32_t buildLinkUrl(char* url, size_t urlCapacity, char* host, int32_t port, char* path);

template <size_t N>
int32_t hostFromUrl(char (&host)[N], const char* url) {
  return hostFromUrl(host, N, url);
}
template <size_t N>
int32_t pathFromUrl(char (&path)[N], const char* url) {
  return pathFromUrl(path, N, url);
}
template <size_t N>
int32_t buildLinkUrl(char (&url)[N], char* host, int32_t port, char* path) {
  return buildLinkUrl(url, N, host, port, path);
}
