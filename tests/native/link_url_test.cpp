// Link URL extraction and building: the result tables, the null-argument order, untouched
// outputs on failure and the buffer bounds (exact fit against one byte short).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "url/link_url.h"

namespace {

const char kUntouched[] = "untouched";

struct ExtractRow {
  const char* url;
  int32_t hostStatus;
  const char* host;
  int32_t portStatus;
  uint16_t port;
  int32_t pathStatus;
  const char* path;
};

const ExtractRow kExtractRows[] = {
    {"kvla://mediahost:1600/news", 0, "mediahost", 0, 1600, 0, "news"},
    {"kvla://10.0.0.5:2000/12", 0, "10.0.0.5", 0, 2000, 0, "12"},
    {"kvla://mediahost/news", 0, "mediahost", 22, 65535, 0, "news"},
    {"kvla://mediahost:1600/", 0, "mediahost", 0, 1600, 0, ""},
    {"kvla://mediahost:1600", 38, nullptr, 22, 65535, 38, nullptr},
    {"kvla://m/news", 38, nullptr, 22, 65535, 0, "news"},
    {"kvla:///news", 38, nullptr, 22, 65535, 0, "news"},
    {"kvla://mediahost:7/news", 0, "mediahost", 22, 65535, 0, "news"},
    {"kvla://mediahost:/news", 0, "mediahost", 22, 65535, 0, "news"},
    {"kvla://mediahost/a:b/c", 0, "mediahost", 22, 65535, 0, "a:b/c"},
    {"other://mediahost:99/x", 0, "mediahost", 0, 99, 0, "x"},
    {"mediahost/news", 38, nullptr, 38, 65535, 38, nullptr},
    {"kvla://mediahost:ab/x", 0, "mediahost", 0, 0, 0, "x"},
    {"kvla://mediahost:-1/x", 0, "mediahost", 0, 65535, 0, "x"},
    {"kvla://mediahost:+12/x", 0, "mediahost", 0, 12, 0, "x"},
    {"kvla://mediahost:12a/x", 0, "mediahost", 0, 12, 0, "x"},
    // Beyond the published rows.
    {"kvla://ab:12/x", 0, "ab", 0, 12, 0, "x"},         // two characters: the shortest host
    {"kvla://:1600/x", 38, nullptr, 0, 1600, 0, "x"},   // empty host, yet a port
    {"://ab/x", 0, "ab", 22, 65535, 0, "x"},            // no scheme at all
    {"kvla:/ab/x", 38, nullptr, 38, 65535, 38, nullptr},
    {"kvla://ab:1:2/x", 0, "ab", 0, 1, 0, "x"},         // first colon opens the port text
    {"kvla://ab/p://q:9/r", 0, "ab", 22, 65535, 0, "p://q:9/r"},
    {"kvla://MediaHost/News", 0, "MediaHost", 22, 65535, 0, "News"},  // no case folding
    {"kvla://a b/x y", 0, "a b", 22, 65535, 0, "x y"},  // nothing decoded
    {"kvla://a+b/%20", 0, "a+b", 22, 65535, 0, "%20"},
    // Port texts longer than four characters are converted whole.
    {"kvla://ab:65535/x", 0, "ab", 0, 65535, 0, "x"},
    {"kvla://ab:10000/x", 0, "ab", 0, 10000, 0, "x"},
    {"kvla://ab:70000/x", 0, "ab", 0, 70000 & 0xFFFF, 0, "x"},
    {"kvla://ab:4294967297/x", 0, "ab", 0, 1, 0, "x"},  // wraps as a 32-bit value first
};

}  // namespace

TEST(LinkUrlExtract, ResultTable) {
  for (const ExtractRow& r : kExtractRows) {
    SCOPED_TRACE(r.url);
    char host[64];
    std::memcpy(host, kUntouched, sizeof kUntouched);
    EXPECT_EQ(r.hostStatus, hostFromUrl(host, r.url));
    EXPECT_STREQ(r.host != nullptr ? r.host : kUntouched, host);

    uint16_t port = 4321;
    EXPECT_EQ(r.portStatus, portFromUrl(&port, r.url));
    EXPECT_EQ(r.port, port);

    char path[64];
    std::memcpy(path, kUntouched, sizeof kUntouched);
    EXPECT_EQ(r.pathStatus, pathFromUrl(path, r.url));
    EXPECT_STREQ(r.path != nullptr ? r.path : kUntouched, path);
  }
}

TEST(LinkUrlExtract, NullArgumentsOutputFirstThenInput) {
  char buf[16];
  std::memcpy(buf, kUntouched, sizeof kUntouched);
  uint16_t port = 1234;
  EXPECT_EQ(LINKURL_NULL_HOST, hostFromUrl(nullptr, 16, nullptr));
  EXPECT_EQ(LINKURL_NULL_URL, hostFromUrl(buf, nullptr));
  EXPECT_EQ(LINKURL_NULL_PORT, portFromUrl(nullptr, nullptr));
  EXPECT_EQ(LINKURL_NULL_URL, portFromUrl(&port, nullptr));
  EXPECT_EQ(65535, port);  // written before the input is checked
  EXPECT_EQ(LINKURL_NULL_PATH, pathFromUrl(nullptr, 16, nullptr));
  EXPECT_EQ(LINKURL_NULL_URL, pathFromUrl(buf, nullptr));
  EXPECT_STREQ(kUntouched, buf);
}

TEST(LinkUrlExtract, HostAndPathMustFitWithTheirNul) {
  const char* url = "kvla://abcdefg:1600/hijklmn";  // host and path of seven characters
  char exact[8];
  std::memcpy(exact, "keep", 5);
  EXPECT_EQ(LINKURL_OK, hostFromUrl(exact, url));
  EXPECT_STREQ("abcdefg", exact);
  EXPECT_EQ(LINKURL_OK, pathFromUrl(exact, url));
  EXPECT_STREQ("hijklmn", exact);

  char shortBuf[7];
  std::memcpy(shortBuf, "keep", 5);
  EXPECT_EQ(LINKURL_TOO_LONG, hostFromUrl(shortBuf, url));
  EXPECT_STREQ("keep", shortBuf);
  EXPECT_EQ(LINKURL_TOO_LONG, pathFromUrl(shortBuf, url));
  EXPECT_STREQ("keep", shortBuf);

  char empty[1] = {'k'};
  EXPECT_EQ(LINKURL_OK, pathFromUrl(empty, "kvla://ab/"));
  EXPECT_EQ('\0', empty[0]);
  // Malformed wins over too long: the checks of the URL come first.
  EXPECT_EQ(LINKURL_MALFORMED, hostFromUrl(shortBuf, "kvla://a/x"));
}

namespace {

struct BuildRow {
  const char* host;  // null: no host
  int32_t port;
  const char* path;
  int32_t status;
  const char* url;        // expected output; null: untouched
  const char* hostAfter;  // the caller's host afterwards (null: as given)
  const char* pathAfter;  // the caller's path afterwards (null: as given)
};

const BuildRow kBuildRows[] = {
    {"mediahost", 1600, "news\n", 0, "kvla://mediahost:1600/news", nullptr, nullptr},
    {"mediahost", 1600, "news", 0, "kvla://mediahost:1600/new", nullptr, nullptr},
    {"mediahost", 1600, "/news\n", 0, "kvla://mediahost:1600/news", nullptr, nullptr},
    {"mediahost", 1600, "", 0, "kvla://mediahost:1600", nullptr, nullptr},
    {"mediahost", -1, "", 0, "kvla://mediahost", nullptr, nullptr},
    {"mediahost", 0, "x\n", 0, "kvla://mediahost:0/x", nullptr, nullptr},
    {"media host", -1, "my clip\n", 0, "kvla://media+host/my+clip", "media+host", "my+clip\n"},
    {"a/b", 1600, "x", 28, nullptr, nullptr, nullptr},
    {"a b/c", 1600, "x y", 28, nullptr, "a+b/c", nullptr},  // path keeps its space
    {nullptr, 5, "kvla://srv:5/y\n", 0, "kvla://srv:5/y", nullptr, nullptr},
    {"any host", 5, "kvla://srv:5/y\n", 0, "kvla://srv:5/y", nullptr, nullptr},  // host unread
    {nullptr, 5, "news", 29, nullptr, nullptr, nullptr},
    {"h", -1, "kvla://x/a b", 0, "kvla://h/kvla://x/a+", nullptr, "kvla://x/a+b"},
    // Beyond the published rows.
    {"h", 2147483647, "x\n", 0, "kvla://h:2147483647/x", nullptr, nullptr},
    {"h", INT32_MIN, "x\n", 0, "kvla://h/x", nullptr, nullptr},
    {"", -1, "", 0, "kvla://", nullptr, nullptr},
    {"h:1", -1, "p:q\n", 0, "kvla://h:1/p:q", nullptr, nullptr},
};

}  // namespace

TEST(BuildLinkUrl, ResultTable) {
  for (const BuildRow& r : kBuildRows) {
    SCOPED_TRACE(std::string(r.host != nullptr ? r.host : "(null)") + " | " + r.path);
    char host[32] = {};
    char path[32] = {};
    if (r.host != nullptr) std::strcpy(host, r.host);
    std::strcpy(path, r.path);
    char url[64];
    std::memcpy(url, kUntouched, sizeof kUntouched);
    EXPECT_EQ(r.status, buildLinkUrl(url, r.host != nullptr ? host : nullptr, r.port, path));
    EXPECT_STREQ(r.url != nullptr ? r.url : kUntouched, url);
    if (r.host != nullptr) EXPECT_STREQ(r.hostAfter != nullptr ? r.hostAfter : r.host, host);
    EXPECT_STREQ(r.pathAfter != nullptr ? r.pathAfter : r.path, path);
  }
}

TEST(BuildLinkUrl, NullOutputThenNullPathWhateverTheHost) {
  char host[] = "a b";
  char path[] = "x y";
  char url[32];
  EXPECT_EQ(LINKURL_NULL_URL, buildLinkUrl(nullptr, 32, host, 1, path));
  EXPECT_EQ(LINKURL_NULL_URL, buildLinkUrl(nullptr, 32, nullptr, 1, nullptr));
  EXPECT_EQ(LINKURL_NULL_PATH, buildLinkUrl(url, host, 1, nullptr));
  EXPECT_EQ(LINKURL_NULL_PATH, buildLinkUrl(url, nullptr, 1, nullptr));
  EXPECT_STREQ("a b", host);  // nothing written before the argument checks
  EXPECT_STREQ("x y", path);
}

TEST(BuildLinkUrl, TheAssembledTextAndItsNulMustFitBeforeTheLastCharacterGoes) {
  // "kvla://a b:12/c d": 17 characters assembled, 18 bytes with the NUL.
  char shortBuf[17];
  std::memcpy(shortBuf, "keep", 5);
  char host[] = "a b";  // host spaces are replaced before the fit is known, as before "/"
  char path[] = "c d";  // the path is left alone: a failed call must not rewrite it
  EXPECT_EQ(LINKURL_TOO_LONG, buildLinkUrl(shortBuf, host, 12, path));
  EXPECT_STREQ("keep", shortBuf);
  EXPECT_STREQ("a+b", host);
  EXPECT_STREQ("c d", path);

  char exact[18];
  EXPECT_EQ(LINKURL_OK, buildLinkUrl(exact, host, 12, path));
  EXPECT_STREQ("kvla://a+b:12/c+", exact);
  EXPECT_STREQ("c+d", path);
}

TEST(BuildLinkUrl, PassThroughMustFitWholeWithItsNul) {
  char path[] = "kvla://srv/y\n";  // 13 characters
  char exact[14];
  EXPECT_EQ(LINKURL_OK, buildLinkUrl(exact, nullptr, -1, path));
  EXPECT_STREQ("kvla://srv/y", exact);
  char shortBuf[13];
  std::memcpy(shortBuf, "keep", 5);
  EXPECT_EQ(LINKURL_TOO_LONG, buildLinkUrl(shortBuf, nullptr, -1, path));
  EXPECT_STREQ("keep", shortBuf);
}

TEST(LinkUrl, BuiltUrlsSplitBackIntoTheirPieces) {
  char host[] = "stream server";
  char path[] = "clips/evening news\n";
  char url[64];
  ASSERT_EQ(LINKURL_OK, buildLinkUrl(url, host, 20000, path));
  char outHost[32], outPath[32];
  uint16_t port = 0;
  EXPECT_EQ(LINKURL_OK, hostFromUrl(outHost, url));
  EXPECT_EQ(LINKURL_OK, portFromUrl(&port, url));
  EXPECT_EQ(LINKURL_OK, pathFromUrl(outPath, url));
  EXPECT_STREQ("stream+server", outHost);
  EXPECT_EQ(20000, port);
  EXPECT_STREQ("clips/evening+news", outPath);
}
