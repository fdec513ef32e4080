// Embed attributes to LinkRecord: the documented examples and edge cases as one table, then
// Packed fields are compared through copies (unary +): a reference to them may be misaligned.
// the reset semantics and the untrusted-input rules (null entries, overlong texts).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "link/embed_attributes.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Attributes;

const uint32_t THREAD = 0xFFFFFFFE;

// Runs buildLinkRecord on a record pre-filled with junk, as a reused slot would be.
int32_t build(LinkRecord& link, const Attributes& attributes) {
  std::memset(&link, 'x', sizeof link);
  std::vector<const char*> names, values;
  for (const auto& a : attributes) {
    names.push_back(a.first.c_str());
    values.push_back(a.second.c_str());
  }
  return buildLinkRecord(link, static_cast<int16_t>(attributes.size()), names.data(),
                         values.data(), THREAD);
}

struct Case {
  const char* label;
  Attributes attributes;
  const char* server;
  uint16_t port;
  const char* streamName;
  int32_t selection;
  uint32_t flags;
  int32_t tag;
  int32_t linkSpecified;
};

const uint32_t DEF = LF_DEFAULT_CONTROLS;

const Case cases[] = {
    // The documented examples.
    {"server and name", {{"Server", "mediahost"}, {"Name", "news"}}, "mediahost", 1558, "news", 0, 0, -1, 1},
    {"stream with selection", {{"Stream", "kvla://10.0.0.5:2000/12"}}, "10.0.0.5", 2000, "", 12, 0, -1, 1},
    {"live stream, play now", {{"Stream", "kvla://mediahost:1600/__live__"}, {"PlayNow", "yes"}},
     "mediahost", 1600, "", 0, LF_LIVE | LF_PLAY_NOW, -1, 1},
    {"function volume", {{"Function", "Volume"}}, "", 1558, "", 0, 0x00050000, -1, 1},
    {"no attributes", {}, "", 1558, "", 0, 0x009F0000, -1, 0},
    // Names in any ASCII letter case.
    {"lower-case name", {{"server", "mediahost"}}, "mediahost", 1558, "", 0, 0, -1, 1},
    {"upper-case name", {{"SERVER", "mediahost"}}, "mediahost", 1558, "", 0, 0, -1, 1},
    {"function value any case", {{"fUnCtIoN", "pLaYsToP"}}, "", 1558, "", 0,
     LF_EMBED_CONTROL | LF_CTL_PLAYSTOP, -1, 1},
    // First letters.
    {"PlayNow true", {{"PlayNow", "true"}}, "", 1558, "", 0, LF_PLAY_NOW | DEF, -1, 0},
    {"AutoStart Yes", {{"AutoStart", "Yes"}}, "", 1558, "", 0, LF_PLAY_NOW | DEF, -1, 0},
    {"PlayNow 1", {{"PlayNow", "1"}}, "", 1558, "", 0, DEF, -1, 0},
    {"PlayNow empty", {{"PlayNow", ""}}, "", 1558, "", 0, DEF, -1, 0},
    {"Audio no", {{"Audio", "no"}}, "", 1558, "", 0, LF_NO_AUDIO | DEF, -1, 0},
    {"Audio false", {{"Audio", "false"}}, "", 1558, "", 0, LF_NO_AUDIO | DEF, -1, 0},
    {"Audio off", {{"Audio", "off"}}, "", 1558, "", 0, DEF, -1, 0},
    {"every flag attribute",
     {{"Video", "N"}, {"FullScreen", "y"}, {"Live", "Yes"}, {"ShowControl", "f"}, {"Audio", "F"}},
     "", 1558, "", 0, LF_NO_VIDEO | LF_FULL_SCREEN | LF_LIVE | LF_NO_CONTROL | LF_NO_AUDIO | DEF, -1, 0},
    {"flags only accumulate", {{"Audio", "no"}, {"Audio", "yes"}}, "", 1558, "", 0, LF_NO_AUDIO | DEF, -1, 0},
    // Bytes 0x80 and above are not folded (a 0x5F mask would turn these into S, N and Y).
    {"high byte in name", {{"\xD3" "ERVER", "mediahost"}}, "", 1558, "", 0, DEF, -1, 0},
    {"high byte first letter N", {{"Audio", "\xCE" "o"}}, "", 1558, "", 0, DEF, -1, 0},
    {"high byte first letter Y", {{"FullScreen", "\xF9" "es"}}, "", 1558, "", 0, DEF, -1, 0},
    // Numbers: last one wins, Tag and Instance share a field, a Port outside 0 to 65535 is
    // rejected as an overlong text is (cut to 16 bits, 70000 was 4464).
    {"tag then instance", {{"Tag", "5"}, {"Instance", "9"}}, "", 1558, "", 0, DEF, 9, 0},
    {"instance then tag", {{"Instance", "9"}, {"Tag", "5"}}, "", 1558, "", 0, DEF, 5, 0},
    {"port above 65535", {{"Port", "70000"}}, "", 1558, "", 0, DEF, -1, 0},
    {"port 65535", {{"Port", "65535"}}, "", 65535, "", 0, DEF, -1, 0},
    {"negative port", {{"Port", "99"}, {"Port", "-1"}}, "", 99, "", 0, DEF, -1, 0},
    {"port that wraps to 80", {{"Port", "4294967376"}}, "", 1558, "", 0, DEF, -1, 0},
    {"port without digits", {{"Port", "abc"}}, "", 0, "", 0, DEF, -1, 0},
    {"selection", {{"Selection", " -3"}}, "", 1558, "", -3, DEF, -1, 0},
    {"unknown name ignored", {{"Colour", "red"}}, "", 1558, "", 0, DEF, -1, 0},
    // Stream URLs.
    {"stream without port", {{"Stream", "kvla://mediahost/news"}}, "mediahost", 1558, "news", 0, 0, -1, 1},
    {"stream path 007", {{"Stream", "kvla://mediahost/007"}}, "mediahost", 1558, "", 7, 0, -1, 1},
    {"stream path 0", {{"Stream", "kvla://mediahost/0"}}, "mediahost", 1558, "0", 0, 0, -1, 1},
    {"stream name resets selection", {{"Selection", "5"}, {"Stream", "kvla://mediahost/news"}},
     "mediahost", 1558, "news", 0, 0, -1, 1},
    {"live stream keeps selection", {{"Selection", "5"}, {"Stream", "kvla://mediahost/__LIVE__"}},
     "mediahost", 1558, "", 5, LF_LIVE, -1, 1},
    {"stream port overrides Port", {{"Port", "99"}, {"Stream", "kvla://mediahost/x"}},
     "mediahost", 1558, "x", 0, 0, -1, 1},
    {"stream with one-letter host skipped", {{"Name", "keep"}, {"Port", "99"}, {"Stream", "kvla://m/news"}},
     "", 99, "keep", 0, DEF, -1, 0},
    {"stream without scheme skipped", {{"Stream", "mediahost/news"}}, "", 1558, "", 0, DEF, -1, 0},
    // Function.
    {"unknown function", {{"Function", "Dance"}}, "", 1558, "", 0, LF_EMBED_CONTROL, -1, 1},
    {"empty function", {{"Function", ""}}, "", 1558, "", 0, LF_EMBED_CONTROL, -1, 1},
    {"slider sets both bits", {{"Function", "Slider"}}, "", 1558, "", 0, LF_EMBED_CONTROL | 0x00180000, -1, 1},
    {"two functions", {{"Function", "Play"}, {"Function", "Stop"}}, "", 1558, "", 0,
     LF_EMBED_CONTROL | LF_CTL_PLAY | LF_CTL_STOP, -1, 1},
};

TEST(BuildLinkRecord, AttributeTable) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    LinkRecord link;
    EXPECT_EQ(c.linkSpecified, build(link, c.attributes));
    EXPECT_STREQ(c.server, link.server);
    EXPECT_EQ(c.port, +link.port);
    EXPECT_STREQ(c.streamName, link.streamName);
    EXPECT_EQ(c.selection, +link.selection);
    EXPECT_EQ(c.flags, +link.flags);
    EXPECT_EQ(c.tag, +link.tag);
    EXPECT_EQ(0, +link.reserved);
    EXPECT_EQ(THREAD, +link.threadHandle);
  }
}

// A slot's record is reused: nothing of the earlier instance may be left in it, behind a
// text's NUL or in spare.
TEST(BuildLinkRecord, ResetIsZeroThroughoutApartFromItsDefaults) {
  LinkRecord link, expected;
  std::memset(&expected, 0, sizeof expected);
  expected.port = LINK_DEFAULT_PORT;
  expected.tag = -1;
  expected.flags = LF_DEFAULT_CONTROLS;
  expected.threadHandle = THREAD;
  build(link, {});
  EXPECT_EQ(0, std::memcmp(&expected, &link, sizeof link));

  build(link, {{"Name", "abcdef"}, {"Server", "192.168.1.2"}});
  const char* argv[] = {"ab", "10.0.0.5"};
  const char* argn[] = {"Name", "Server"};
  buildLinkRecord(link, 2, argn, argv, THREAD);
  EXPECT_EQ(0, std::memcmp(link.streamName, "ab\0\0\0\0\0", 7));
  EXPECT_EQ(0, std::memcmp(link.server, "10.0.0.5\0\0\0\0", 12));
}

TEST(BuildLinkRecord, ZeroOrNegativeCountAppliesNothing) {
  const char* argn[] = {"Server"};
  const char* argv[] = {"mediahost"};
  for (int16_t argc : {0, -1, -32768}) {
    LinkRecord link;
    std::memset(&link, 'x', sizeof link);
    EXPECT_EQ(0, buildLinkRecord(link, argc, argn, argv, THREAD));
    EXPECT_STREQ("", link.server);
    EXPECT_EQ(LF_DEFAULT_CONTROLS, +link.flags);
  }
}

TEST(BuildLinkRecord, NullArraysAndEntriesAreSkipped) {
  LinkRecord link;
  const char* argn[] = {"Server", nullptr, "Name", "Port"};
  const char* argv[] = {nullptr, "mediahost", "news", "2000"};
  EXPECT_EQ(0, buildLinkRecord(link, 4, argn, nullptr, THREAD));
  EXPECT_EQ(0, buildLinkRecord(link, 4, nullptr, argv, THREAD));
  EXPECT_EQ(LF_DEFAULT_CONTROLS, +link.flags);
  EXPECT_EQ(0, buildLinkRecord(link, 4, argn, argv, THREAD));
  EXPECT_STREQ("", link.server);
  EXPECT_STREQ("news", link.streamName);
  EXPECT_EQ(2000, +link.port);
}

// Only UTF-8 beyond ASCII goes through the converter; what it refuses is skipped whole.
TEST(BuildLinkRecord, Utf8ValuesAreConvertedOrRejected) {
  static std::vector<std::string> asked;
  asked.clear();
  AnsiConverter toAnsi = [](char* out, size_t capacity, const char* utf8) {
    asked.push_back(utf8);
    if (std::string(utf8) != "caf\xC3\xA9" || capacity < 5) return false;
    std::memcpy(out, "caf\xE9", 5);
    return true;
  };
  const char* argn[] = {"Name", "Server", "Server", "Name", "Port"};
  const char* argv[] = {"caf\xC3\xA9", "\xE4\xB8\xAD", "m\xFCnchen", "\xC4\x81", "80"};
  LinkRecord link;
  EXPECT_EQ(1, buildLinkRecord(link, 5, argn, argv, THREAD, toAnsi));
  EXPECT_STREQ("caf\xE9", link.streamName);  // the refused second Name left it as it was
  EXPECT_STREQ("m\xFCnchen", link.server);   // not UTF-8: unchanged, never converted
  EXPECT_EQ(80, +link.port);
  EXPECT_EQ((std::vector<std::string>{"caf\xC3\xA9", "\xE4\xB8\xAD", "\xC4\x81"}), asked);
}

TEST(BuildLinkRecord, OverlongNameAndServerAreRejected) {
  const std::string name79(79, 'n'), name80(80, 'n');
  const std::string server119(119, 's'), server120(120, 's');
  LinkRecord link;
  build(link, {{"Name", name79}, {"Server", server119}});
  EXPECT_EQ(name79, link.streamName);
  EXPECT_EQ(server119, link.server);

  build(link, {{"Name", "keep"}, {"Name", name80}});
  EXPECT_STREQ("keep", link.streamName);
  EXPECT_EQ('\0', link.streamName[5]);

  // A rejected server names no link: the default control set follows.
  EXPECT_EQ(0, build(link, {{"Server", server120}}));
  EXPECT_STREQ("", link.server);
  EXPECT_EQ(LF_DEFAULT_CONTROLS, +link.flags);
}

TEST(BuildLinkRecord, StreamWhoseHostOrPathDoesNotFitChangesNothing) {
  const Attributes before = {{"Server", "old"}, {"Name", "oldname"}, {"Port", "99"}, {"Selection", "4"}};
  const std::string longHost = "kvla://" + std::string(120, 'h') + ":2000/news";
  const std::string longPath = "kvla://mediahost:2000/" + std::string(80, 'p');
  for (const std::string& url : {longHost, longPath}) {
    SCOPED_TRACE(url);
    Attributes attributes = before;
    LinkRecord expected, link;
    build(expected, attributes);
    attributes.push_back({"Stream", url});
    build(link, attributes);
    EXPECT_EQ(0, std::memcmp(&expected, &link, sizeof link));
  }
  // Without the server before it, the rejected URL leaves the link unspecified.
  LinkRecord link;
  EXPECT_EQ(0, build(link, {{"Stream", longPath}}));
  EXPECT_EQ(LF_DEFAULT_CONTROLS, +link.flags);
  // The longest that fit are taken.
  const std::string fits = "kvla://" + std::string(119, 'h') + "/" + std::string(79, 'p');
  EXPECT_EQ(1, build(link, {{"Stream", fits}}));
  EXPECT_EQ(std::string(119, 'h'), link.server);
  EXPECT_EQ(std::string(79, 'p'), link.streamName);
}

}  // namespace
