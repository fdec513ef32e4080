// Link-file streams into a live instance: what the client application receives, byte by byte.
#include <algorithm>
#include <cstring>

#include "npp_test_fixture.h"
#include "plugin/instance_table.h"
#include "plugin/link_file_header.h"
#include "plugin/npp_functions.h"

namespace {

const uint16_t FIRST_ID = 0x0042;

class LinkFileStream : public NppTest {
 protected:
  void SetUp() override {
    NppTest::SetUp();
    ASSERT_TRUE(client.start("accept", FIRST_ID));
    ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst, {{"Server", "mediahost"}, {"Name", "old"}}));
    std::vector<ReceivedMessage> sent = client.messages();
    ASSERT_EQ(1u, sent.size());
    ASSERT_EQ(sizeof announced, sent[0].data.size());
    memcpy(&announced, sent[0].data.data(), sizeof announced);
  }
  ClientSession client;
  TestInstance inst;
  LinkRecord announced;
};

// A header with selection 0, a stream name at 34, the no-control option bit, and trailing bytes.
std::vector<unsigned char> linkFile() {
  std::vector<unsigned char> f = {0x4B, 1,    2,    3,    0xC0, 0xA8, 0x01, 0x02, 0x1F, 0x90,
                                  0,    0,    0x00, 0x00, 0x12, 0x80};
  f.resize(34, 0xEE);
  for (char c : std::string("news")) f.push_back(static_cast<unsigned char>(c));
  f.push_back(0);
  for (int i = 0; i < 300; ++i) f.push_back(static_cast<unsigned char>(i));
  return f;
}

TEST_F(LinkFileStream, HeaderUpdatesTheRecordAndTheBytesGoOnSwapped) {
  uint16_t stype = NP_NORMAL;
  EXPECT_EQ(NPERR_NO_ERROR, NPP_NewStream(inst.handle(), nullptr, nullptr, 0, &stype));
  EXPECT_EQ(NP_NORMAL, stype);
  EXPECT_EQ(32768, NPP_WriteReady(inst.handle(), nullptr));

  std::vector<unsigned char> buffer = linkFile();
  const std::vector<unsigned char> original = buffer;
  int32_t len = static_cast<int32_t>(buffer.size());
  ASSERT_EQ(len, NPP_Write(inst.handle(), nullptr, 0, len, buffer.data()));

  // The browser's own buffer holds the option word swapped; nothing else changed.
  std::vector<unsigned char> swapped = original;
  std::swap(swapped[14], swapped[15]);
  EXPECT_EQ(swapped, buffer);

  // What the client must have been sent: the announced record with the header applied.
  LinkRecord expected = announced;
  std::vector<unsigned char> scratch = original;
  ASSERT_TRUE(applyLinkFileHeader(expected, scratch.data(), scratch.size()));
  EXPECT_STREQ("192.168.1.2", expected.server);
  EXPECT_EQ(8080, expected.port);
  EXPECT_EQ(0, expected.selection);
  EXPECT_STREQ("news", expected.streamName);
  EXPECT_EQ(LF_NO_CONTROL, expected.flags);

  std::vector<ReceivedMessage> sent = client.messages();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(uint32_t(LINKMSG_STREAM_INFO), sent[1].code);
  EXPECT_EQ(uint32_t(FIRST_ID), sent[1].linkId);
  ASSERT_EQ(238u, sent[1].cbData);
  EXPECT_EQ(0, memcmp(&expected, sent[1].data.data(), sizeof expected));
  const InstanceSlot& slot = instanceTable.slots[findSlotForInstance(instanceTable, inst.handle())];
  EXPECT_EQ(0, memcmp(&expected, &slot.link, sizeof expected));

  EXPECT_EQ(uint32_t(LINKMSG_STREAM_DATA), sent[2].code);
  EXPECT_EQ(uint32_t(FIRST_ID), sent[2].linkId);
  EXPECT_EQ(uint32_t(len), sent[2].cbData);
  EXPECT_EQ(swapped, sent[2].data);

  EXPECT_EQ(32768, NPP_WriteReady(inst.handle(), nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_DestroyStream(inst.handle(), nullptr, 0));
  EXPECT_EQ(3u, client.messages().size());
}

// 0 ("deliver again") only for a header cut short at the stream's start that more bytes can
// complete; everything else is consumed whole. Nothing is sent and nothing changes either way.
TEST_F(LinkFileStream, OnlyAHeaderCutShortAtTheStartIsAskedForAgain) {
  std::vector<unsigned char> notLink = linkFile();
  notLink[0] = 'k';
  std::vector<unsigned char> shortHeader = linkFile();
  shortHeader.resize(15);
  std::vector<unsigned char> unterminated = linkFile();
  unterminated.resize(36);  // selection 0, the name runs to the end
  std::vector<unsigned char> hopelessName = linkFile();
  hopelessName.resize(34 + 80);
  std::fill(hopelessName.begin() + 34, hopelessName.end(), 'n');  // no room left for its NUL
  NPStream sized = {};
  sized.end = 15;  // the whole stream is these 15 bytes
  struct {
    const char* what;
    std::vector<unsigned char> bytes;
    int32_t offset;
    NPStream* stream;
    bool again;
  } cases[] = {{"shorter than the header", shortHeader, 0, nullptr, true},
               {"unterminated name", unterminated, 0, nullptr, true},
               {"not K", notLink, 0, nullptr, false},
               {"name that cannot fit", hopelessName, 0, nullptr, false},
               {"cut short at offset 300", shortHeader, 300, nullptr, false},
               {"cut short, stream ends here", shortHeader, 0, &sized, false}};
  for (auto& c : cases) {
    std::vector<unsigned char> before = c.bytes;
    int32_t len = static_cast<int32_t>(c.bytes.size());
    EXPECT_EQ(c.again ? 0 : len, NPP_Write(inst.handle(), c.stream, c.offset, len, c.bytes.data()))
        << c.what;
    EXPECT_EQ(before, c.bytes) << c.what;
  }
  unsigned char one = 'K';
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, 0, &one));
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, -5, &one));
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, 40, nullptr));
  EXPECT_EQ(1u, client.messages().size());
  const InstanceSlot& slot = instanceTable.slots[findSlotForInstance(instanceTable, inst.handle())];
  EXPECT_EQ(0, memcmp(&announced, &slot.link, sizeof announced));

  // Delivered again with the rest behind it, the header applies and the whole file goes on.
  std::vector<unsigned char> whole = linkFile();
  int32_t len = static_cast<int32_t>(whole.size());
  EXPECT_EQ(len, NPP_Write(inst.handle(), nullptr, 0, len, whole.data()));
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_STREAM_INFO, LINKMSG_STREAM_DATA}),
            codesOf(client.messages()));
}

}  // namespace
