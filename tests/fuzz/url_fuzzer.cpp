// Fuzzes the link URL operations and the text helpers they use.
// Input: one control byte, then up to four fields separated by NUL bytes:
//   url, host, path, port text (absent port text: port -1).
// Control: bits 0-4 the capacity of the small output buffers (0..31), bit 5 a null host.
// Every text is an exact-size heap copy and every output a heap block of exactly its
// capacity, so ASan reports any read or write past them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/ascii_text.h"
#include "url/link_url.h"
#include "fuzz_check.h"

namespace {

const unsigned char kFill = 0xA5;

// An output block of exactly `size` bytes, prefilled so that "untouched" can be checked.
struct Block {
  explicit Block(size_t n) : size(n), data(new char[n]) { std::memset(data, kFill, size); }
  ~Block() { delete[] data; }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  bool untouched() const {
    for (size_t i = 0; i < size; ++i) {
      if (static_cast<unsigned char>(data[i]) != kFill) return false;
    }
    return true;
  }
  bool terminated() const { return std::memchr(data, '\0', size) != nullptr; }
  size_t size;
  char* data;
};

// A NUL-terminated exact-size heap copy of a text.
struct Text {
  explicit Text(const std::string& s) : data(new char[s.size() + 1]) {
    std::memcpy(data, s.c_str(), s.size() + 1);
  }
  ~Text() { delete[] data; }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  char* data;
};

std::string plusForSpace(std::string s) {
  for (char& c : s) {
    if (c == ' ') c = '+';
  }
  return s;
}

// The decimal value written plainly: wide arithmetic, reduced to 32 bits at the end.
uint32_t plainDecimal(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = (value * 10 + static_cast<uint64_t>(text[i] - '0')) & 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(negative ? (0x100000000ull - value) & 0xFFFFFFFFu : value);
}

// Host, path and their statuses as they must come out, from the rules written plainly.
struct Expected {
  int32_t hostStatus = LINKURL_MALFORMED;
  std::string host;
  int32_t pathStatus = LINKURL_MALFORMED;
  std::string path;
  int32_t portStatus = LINKURL_MALFORMED;
  uint16_t port = 0xFFFF;
};

Expected expectedPieces(const std::string& url) {
  Expected e;
  size_t marker = url.find("://");
  if (marker == std::string::npos) return e;
  size_t start = marker + 3;
  size_t slash = url.find('/', start);
  size_t colon = url.find(':', start);
  bool colonFirst = colon != std::string::npos && (slash == std::string::npos || colon < slash);
  e.portStatus = LINKURL_NO_PORT;
  if (slash == std::string::npos) return e;
  e.pathStatus = LINKURL_OK;
  e.path = url.substr(slash + 1);
  size_t hostEnd = colonFirst ? colon : slash;
  if (hostEnd - start >= 2) {
    e.hostStatus = LINKURL_OK;
    e.host = url.substr(start, hostEnd - start);
  }
  if (colonFirst && slash - colon - 1 >= 2) {
    e.portStatus = LINKURL_OK;
    e.port = static_cast<uint16_t>(plainDecimal(url.substr(colon + 1, slash - colon - 1)) & 0xFFFFu);
  }
  return e;
}

// Extraction into a big and a small buffer: same verdict unless the result does not fit.
void checkExtractor(int32_t (*extract)(char*, size_t, const char*), const char* url, size_t urlLength,
                    size_t smallCapacity, int32_t expectedStatus, const std::string& expected) {
  Block big(urlLength + 1);
  int32_t status = extract(big.data, big.size, url);
  FUZZ_CHECK(status == expectedStatus);
  if (status == LINKURL_OK) {
    FUZZ_CHECK(big.terminated());
    FUZZ_CHECK(expected == big.data);
  } else {
    FUZZ_CHECK(big.untouched());
  }

  Block small(smallCapacity);
  int32_t smallStatus = extract(small.data, small.size, url);
  if (status == LINKURL_OK && expected.size() >= smallCapacity) {
    FUZZ_CHECK(smallStatus == LINKURL_TOO_LONG);
    FUZZ_CHECK(small.untouched());
  } else {
    FUZZ_CHECK(smallStatus == status);
    if (status == LINKURL_OK) {
      FUZZ_CHECK(small.terminated());
      FUZZ_CHECK(expected == small.data);
    } else {
      FUZZ_CHECK(small.untouched());
    }
  }
}

// What buildLinkUrl must make of its pieces when the buffer is big enough, and what becomes
// of the caller's host and path.
int32_t expectedBuild(const std::string* host, int32_t port, const std::string& path, std::string* url,
                      std::string* hostAfter, std::string* pathAfter) {
  if (host != nullptr) *hostAfter = *host;
  *pathAfter = path;
  if (path.find("://") != std::string::npos && path.find(' ') == std::string::npos) {
    *url = path.substr(0, path.size() - 1);
    return LINKURL_OK;
  }
  if (host == nullptr) return LINKURL_NULL_HOST;
  *hostAfter = plusForSpace(*host);
  if (hostAfter->find('/') != std::string::npos) return LINKURL_BAD_HOST;
  std::string assembled = "kvla://" + *hostAfter;
  if (port >= 0) assembled += ":" + std::to_string(port);
  if (path.empty() || path[0] != '/') assembled += "/";
  *pathAfter = plusForSpace(path);
  assembled += *pathAfter;
  *url = assembled.substr(0, assembled.size() - 1);
  return LINKURL_OK;
}

void checkBuild(const std::string* host, int32_t port, const std::string& path, size_t smallCapacity) {
  std::string url, hostAfter, pathAfter;
  int32_t expected = expectedBuild(host, port, path, &url, &hostAfter, &pathAfter);
  const size_t bigCapacity = path.size() + (host != nullptr ? host->size() : 0) + 20;

  for (size_t capacity : {bigCapacity, smallCapacity}) {
    Text hostCopy(host != nullptr ? *host : std::string());
    Text pathCopy(path);
    Block out(capacity);
    int32_t status = buildLinkUrl(out.data, out.size, host != nullptr ? hostCopy.data : nullptr, port,
                                  pathCopy.data);
    // The assembled text (one longer than the result) and its NUL must fit.
    bool fits = url.size() + 2 <= capacity;
    if (host != nullptr) FUZZ_CHECK(hostAfter == hostCopy.data);
    if (expected == LINKURL_OK && fits) {
      FUZZ_CHECK(status == LINKURL_OK);
      FUZZ_CHECK(out.terminated());
      FUZZ_CHECK(url == out.data);
      FUZZ_CHECK(pathAfter == pathCopy.data);
    } else {
      FUZZ_CHECK(status == (expected == LINKURL_OK ? LINKURL_TOO_LONG : expected));
      FUZZ_CHECK(out.untouched());
      FUZZ_CHECK(path == pathCopy.data);  // a failed call leaves the path as it was
    }
  }
}

// A URL built from a plain host and path splits back into the same pieces.
void checkRoundTrip(const std::string& host, int32_t port, const std::string& path) {
  std::string hostPlus = plusForSpace(host);
  std::string pathLine = path + "\n";
  if (hostPlus.size() < 2 || hostPlus.find_first_of(":/") != std::string::npos) return;
  if (pathLine.find("://") != std::string::npos && pathLine.find(' ') == std::string::npos) return;
  Text hostCopy(host);
  Text pathCopy(pathLine);
  Block url(host.size() + path.size() + 21);
  FUZZ_CHECK(buildLinkUrl(url.data, url.size, hostCopy.data, port, pathCopy.data) == LINKURL_OK);
  Block outHost(url.size);
  Block outPath(url.size);
  uint16_t outPort = 0;
  FUZZ_CHECK(hostFromUrl(outHost.data, outHost.size, url.data) == LINKURL_OK);
  FUZZ_CHECK(hostPlus == outHost.data);
  FUZZ_CHECK(pathFromUrl(outPath.data, outPath.size, url.data) == LINKURL_OK);
  std::string pathPlus = plusForSpace(path);
  FUZZ_CHECK((path.empty() || path[0] != '/' ? pathPlus : pathPlus.substr(1)) == outPath.data);
  int32_t portStatus = portFromUrl(&outPort, url.data);
  if (port >= 10) {
    FUZZ_CHECK(portStatus == LINKURL_OK && outPort == static_cast<uint16_t>(port & 0xFFFF));
  } else {
    FUZZ_CHECK(portStatus == LINKURL_NO_PORT && outPort == 0xFFFF);
  }
}

void checkTextHelpers(const std::string& a, const std::string& b, const uint8_t* raw, size_t rawSize,
                      size_t smallCapacity) {
  // The bounded decimal value never looks past its range (raw has no NUL).
  std::vector<char> exact(raw, raw + rawSize);
  Text terminated(std::string(exact.begin(), exact.end()));
  int32_t bounded = decimalValue(exact.data(), exact.data() + exact.size());
  FUZZ_CHECK(bounded == decimalValue(terminated.data));
  FUZZ_CHECK(static_cast<uint32_t>(bounded) == plainDecimal(std::string(exact.begin(), exact.end())));

  Text ta(a), tb(b);
  FUZZ_CHECK(equalsIgnoringCase(ta.data, tb.data) == equalsIgnoringCase(tb.data, ta.data));
  FUZZ_CHECK(equalsIgnoringCase(ta.data, ta.data));
  Block dst(smallCapacity);
  bool copied = copyTextIfFits(dst.data, dst.size, ta.data);
  FUZZ_CHECK(copied == (a.size() < smallCapacity));
  if (copied) {
    FUZZ_CHECK(a == dst.data);
  } else {
    FUZZ_CHECK(dst.untouched());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const size_t smallCapacity = control & 0x1F;
  const bool nullHost = (control & 0x20) != 0;

  // Split the rest at NUL bytes into at most four fields.
  std::string fields[4];
  size_t fieldCount = 0;
  const uint8_t* p = data + 1;
  const uint8_t* end = data + size;
  while (fieldCount < 4) {
    const uint8_t* stop = p;
    while (stop < end && *stop != 0) ++stop;
    fields[fieldCount++] = std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(stop - p));
    if (stop == end) break;
    p = stop + 1;
  }
  const std::string& urlText = fields[0];
  const std::string& host = fields[1];
  const std::string& path = fields[2];
  int32_t port = -1;
  if (fieldCount == 4) {
    std::vector<char> raw(fields[3].begin(), fields[3].end());  // no NUL: exact heap block
    port = decimalValue(raw.data(), raw.data() + raw.size());
  }

  // Extractors.
  Text url(urlText);
  Expected e = expectedPieces(urlText);
  checkExtractor(hostFromUrl, url.data, urlText.size(), smallCapacity, e.hostStatus, e.host);
  checkExtractor(pathFromUrl, url.data, urlText.size(), smallCapacity, e.pathStatus, e.path);
  uint16_t outPort = 1234;
  FUZZ_CHECK(portFromUrl(&outPort, url.data) == e.portStatus);
  FUZZ_CHECK(outPort == e.port);
  FUZZ_CHECK(portFromUrl(nullptr, url.data) == LINKURL_NULL_PORT);

  // Builder, and the way back.
  checkBuild(nullHost ? nullptr : &host, port, path, smallCapacity);
  if (!nullHost) checkRoundTrip(host, port, path);

  checkTextHelpers(urlText, host, reinterpret_cast<const uint8_t*>(fields[3].data()), fields[3].size(),
                   smallCapacity);
  return 0;
}
