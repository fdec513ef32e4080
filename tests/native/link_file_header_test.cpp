// Link-file headers: the documented example, address formatting, the flag masks, and chunks
// that must be ignored without touching record or buffer.
// Packed fields are compared through copies (unary +): a reference to them may be misaligned.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/link_file_header.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// The example header: 192.168.1.2, port 1558, selection 7, option word 0x0080.
Bytes exampleHeader() {
  return {0x4B, 0, 0, 0, 0xC0, 0xA8, 0x01, 0x02, 0x06, 0x16, 0, 0, 0x00, 0x07, 0x00, 0x80};
}

// A header with selection 0 and `name` at offset 34, NUL-terminated.
Bytes namedHeader(const std::string& name, uint16_t options = 0) {
  Bytes b(34, 0);
  b[0] = 'K';
  b[4] = 10;
  b[7] = 1;
  b[8] = 0x07;
  b[9] = 0xD0;  // 2000
  b[14] = static_cast<unsigned char>(options >> 8);
  b[15] = static_cast<unsigned char>(options);
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  return b;
}

LinkRecord junkRecord(uint32_t flags) {
  LinkRecord link;
  std::memset(&link, 'x', sizeof link);
  std::strcpy(link.streamName, "oldname");
  std::strcpy(link.server, "oldserver");
  link.flags = flags;
  link.selection = 99;
  return link;
}

TEST(LinkFileHeader, ExampleHeader) {
  Bytes b = exampleHeader();
  LinkRecord link = junkRecord(LF_DEFAULT_CONTROLS);
  ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
  EXPECT_STREQ("192.168.1.2", link.server);
  EXPECT_EQ(1558, +link.port);
  EXPECT_EQ(7, +link.selection);
  EXPECT_STREQ("", link.streamName);
  EXPECT_EQ('d', link.streamName[2]);  // emptied by its first byte only
  EXPECT_EQ(LF_NO_CONTROL, +link.flags);
  EXPECT_EQ(0x80, b[14]);
  EXPECT_EQ(0x00, b[15]);
  // Fields the header does not supply keep their values.
  EXPECT_EQ(0x78787878u, +link.threadHandle);
  EXPECT_EQ(0x78787878, +link.tag);
}

TEST(LinkFileHeader, AddressOctetsAsUnsignedDecimals) {
  struct Case { unsigned char octets[4]; const char* text; };
  const Case cases[] = {
      {{10, 0, 0, 255}, "10.0.0.255"},
      {{0, 0, 0, 0}, "0.0.0.0"},
      {{255, 255, 255, 255}, "255.255.255.255"},
      {{1, 20, 100, 9}, "1.20.100.9"},
  };
  for (const Case& c : cases) {
    Bytes b = exampleHeader();
    std::memcpy(&b[4], c.octets, 4);
    LinkRecord link = junkRecord(0);
    ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
    EXPECT_STREQ(c.text, link.server);
  }
}

TEST(LinkFileHeader, SelectionZeroTakesTheNameAtOffset34) {
  Bytes b = namedHeader("news");
  LinkRecord link = junkRecord(0);
  ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
  EXPECT_STREQ("news", link.streamName);
  EXPECT_EQ(0, +link.selection);
  EXPECT_EQ(2000, +link.port);
  EXPECT_STREQ("10.0.0.1", link.server);

  // A non-zero selection empties the name whatever stands at 34.
  b[13] = 3;
  ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
  EXPECT_STREQ("", link.streamName);
  EXPECT_EQ(3, +link.selection);

  // Selection is zero-extended.
  b[12] = 0xFF;
  b[13] = 0xFF;
  ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
  EXPECT_EQ(65535, +link.selection);
}

TEST(LinkFileHeader, OptionBitClearsOnlyTheDefaultControlSet) {
  struct Case { uint16_t options; uint32_t before; uint32_t after; };
  const Case cases[] = {
      {0x0000, LF_DEFAULT_CONTROLS, LF_DEFAULT_CONTROLS},
      {0xFF7F, LF_DEFAULT_CONTROLS | LF_PLAY_NOW, LF_DEFAULT_CONTROLS | LF_PLAY_NOW},
      {0x0080, LF_DEFAULT_CONTROLS, LF_NO_CONTROL},
      {0x0080, LF_EMBED_CONTROL | LF_CTL_PLAY, LF_CTL_PLAY | LF_NO_CONTROL},
      {0x0080, LF_CTL_STOP | LF_LIVE | LF_NO_AUDIO, LF_CTL_STOP | LF_LIVE | LF_NO_AUDIO | LF_NO_CONTROL},
      {0xFFFF, 0xFFFFFFFF, 0xFF60FFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    Bytes b = namedHeader("x", c.options);
    LinkRecord link = junkRecord(c.before);
    ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
    EXPECT_EQ(c.after, +link.flags);
    EXPECT_EQ(c.options & 0xFF, b[14]);
    EXPECT_EQ(c.options >> 8, b[15]);
  }
}

TEST(LinkFileHeader, LongestNameFits) {
  Bytes b = namedHeader(std::string(79, 'n'));
  LinkRecord link = junkRecord(0);
  ASSERT_TRUE(applyLinkFileHeader(link, b.data(), b.size()));
  EXPECT_EQ(std::string(79, 'n'), link.streamName);
}

TEST(LinkFileHeader, IgnoredChunksChangeNeitherRecordNorBuffer) {
  Bytes notK = exampleHeader();
  notK[0] = 'k';
  Bytes unterminated = namedHeader("news");
  unterminated.pop_back();
  Bytes overlong = namedHeader(std::string(80, 'n'));
  Bytes endsAt34 = namedHeader("");
  endsAt34.resize(34);
  Bytes endsBefore34 = namedHeader("");
  endsBefore34.resize(20);
  Bytes short15 = exampleHeader();
  short15.pop_back();
  struct Case { const char* label; Bytes bytes; };
  const Case cases[] = {
      {"no magic", notK},           {"name without NUL", unterminated},
      {"name of 80", overlong},     {"selection 0, chunk ends at 34", endsAt34},
      {"ends before 34", endsBefore34}, {"shorter than 16", short15},
      {"empty", Bytes()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    // An exact-size heap copy, so ASan catches any read past the end.
    std::vector<unsigned char> buffer(c.bytes);
    LinkRecord link = junkRecord(LF_DEFAULT_CONTROLS);
    LinkRecord before = link;
    EXPECT_FALSE(applyLinkFileHeader(link, buffer.data(), buffer.size()));
    EXPECT_EQ(0, std::memcmp(&before, &link, sizeof link));
    EXPECT_EQ(c.bytes, buffer);
  }
  LinkRecord link = junkRecord(0);
  EXPECT_FALSE(applyLinkFileHeader(link, nullptr, 100));
}

Bytes prefix(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

// Only a header cut short, which more bytes behind it can complete, is worth holding.
TEST(LinkFileHeader, CutShortOnlyWhereMoreBytesCanCompleteTheHeader) {
  Bytes name79 = namedHeader(std::string(79, 'n'));
  name79.pop_back();  // 79 name bytes, no NUL yet: the NUL would still fit
  Bytes name80 = namedHeader(std::string(80, 'n'));
  name80.pop_back();  // 80 name bytes without NUL: can never fit
  Bytes wrongMagic = exampleHeader();
  wrongMagic[0] = 'k';
  wrongMagic.resize(10);
  Bytes numbered = exampleHeader();  // selection 7: applies, nothing to wait for
  struct Case { const char* label; Bytes bytes; bool cutShort; };
  const Case cases[] = {
      {"magic only", Bytes{'K'}, true},
      {"15 bytes", prefix(exampleHeader(), 15), true},
      {"selection 0, ends before the name", prefix(namedHeader("ab"), 20), true},
      {"selection 0, ends at 34", prefix(namedHeader("ab"), 34), true},
      {"unterminated name of 79", name79, true},
      {"unterminated name of 80", name80, false},
      {"terminated name", namedHeader("news"), false},
      {"selection not 0", numbered, false},
      {"wrong magic", wrongMagic, false},
      {"empty", Bytes(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<unsigned char> buffer(c.bytes);  // exact size, for ASan
    EXPECT_EQ(c.cutShort, linkFileHeaderCutShort(buffer.data(), buffer.size()));
  }
  EXPECT_FALSE(linkFileHeaderCutShort(nullptr, 5));
}

}  // namespace
