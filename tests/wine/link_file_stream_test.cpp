// Link-file streams into a live instance: what the client application receives, byte by byte,
// from read-only chunks, headers split over writes, and a page closed during the first send.
#include <algorithm>
#include <cstring>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/instance_table.h"
#include "link/link_file_header.h"
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

// The chunk lies in a read-only page, as Chromium hands it over: the option word is swapped
// in the module's own copy.
TEST_F(LinkFileStream, HeaderUpdatesTheRecordAndTheBytesGoOnSwapped) {
  uint16_t stype = NP_NORMAL;
  EXPECT_EQ(NPERR_NO_ERROR, NPP_NewStream(inst.handle(), nullptr, nullptr, 0, &stype));
  EXPECT_EQ(NP_NORMAL, stype);
  EXPECT_EQ(32768, NPP_WriteReady(inst.handle(), nullptr));

  const std::vector<unsigned char> original = linkFile();
  int32_t len = static_cast<int32_t>(original.size());
  void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(nullptr, page);
  memcpy(page, original.data(), original.size());
  DWORD was = 0;
  ASSERT_TRUE(VirtualProtect(page, 4096, PAGE_READONLY, &was));
  ASSERT_EQ(len, NPP_Write(inst.handle(), nullptr, 0, len, page));
  EXPECT_EQ(0, memcmp(page, original.data(), original.size()));
  VirtualFree(page, 0, MEM_RELEASE);
  std::vector<unsigned char> swapped = original;
  std::swap(swapped[14], swapped[15]);

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

// Every chunk is consumed whole, never asked for again; what cannot become a link file sends
// nothing and changes nothing. Without a stream a header cut short cannot be held.
TEST_F(LinkFileStream, EveryChunkIsConsumedAndNothingIsAskedForAgain) {
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
  } cases[] = {{"shorter than the header, no stream", shortHeader, 0, nullptr},
               {"unterminated name, no stream", unterminated, 0, nullptr},
               {"not K", notLink, 0, nullptr},
               {"name that cannot fit", hopelessName, 0, nullptr},
               {"cut short at offset 300", shortHeader, 300, nullptr},
               {"cut short, stream ends here", shortHeader, 0, &sized}};
  for (auto& c : cases) {
    std::vector<unsigned char> before = c.bytes;
    int32_t len = static_cast<int32_t>(c.bytes.size());
    EXPECT_EQ(len, NPP_Write(inst.handle(), c.stream, c.offset, len, c.bytes.data())) << c.what;
    EXPECT_EQ(before, c.bytes) << c.what;
  }
  EXPECT_NE(nullptr, sized.pdata);  // held until the stream ends
  EXPECT_EQ(NPERR_NO_ERROR, NPP_DestroyStream(inst.handle(), &sized, 0 /* done */));
  EXPECT_EQ(nullptr, sized.pdata);
  unsigned char one = 'K';
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, 0, &one));
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, -5, &one));
  EXPECT_EQ(0, NPP_Write(inst.handle(), nullptr, 0, 40, nullptr));
  EXPECT_EQ(1u, client.messages().size());
  const InstanceSlot& slot = instanceTable.slots[findSlotForInstance(instanceTable, inst.handle())];
  EXPECT_EQ(0, memcmp(&announced, &slot.link, sizeof announced));
}

// A header split over two writes is completed from the second, whatever the stream says of
// its end: known, unknown (0), or raised to what has arrived so far. A stream that ends, or an
// instance that goes, before the header is complete sends nothing and leaks nothing.
TEST_F(LinkFileStream, HeaderSplitOverTwoWritesIsCompleted) {
  std::vector<unsigned char> file = linkFile();
  std::vector<unsigned char> swapped = file;
  std::swap(swapped[14], swapped[15]);
  const int32_t cut = 20, len = static_cast<int32_t>(file.size());
  size_t expectedCount = 1;
  for (uint32_t end : {uint32_t(len), 0u, uint32_t(cut)}) {
    SCOPED_TRACE(end);
    NPStream stream = {};
    stream.end = end;
    EXPECT_EQ(cut, NPP_Write(inst.handle(), &stream, 0, cut, file.data()));
    EXPECT_EQ(expectedCount, client.messages().size());
    EXPECT_EQ(len - cut, NPP_Write(inst.handle(), &stream, cut, len - cut, file.data() + cut));
    EXPECT_EQ(nullptr, stream.pdata);
    std::vector<ReceivedMessage> sent = client.messages();
    ASSERT_EQ(expectedCount += 2, sent.size());
    EXPECT_EQ(uint32_t(LINKMSG_STREAM_INFO), sent[expectedCount - 2].code);
    const LinkRecord* record =
        reinterpret_cast<const LinkRecord*>(sent[expectedCount - 2].data.data());
    EXPECT_STREQ("news", record->streamName);
    EXPECT_EQ(swapped, sent[expectedCount - 1].data);
    EXPECT_EQ(NPERR_NO_ERROR, NPP_DestroyStream(inst.handle(), &stream, 0 /* done */));
  }
  NPStream early = {}, left = {};
  EXPECT_EQ(cut, NPP_Write(inst.handle(), &early, 0, cut, file.data()));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_DestroyStream(inst.handle(), &early, 1 /* network error */));
  EXPECT_EQ(cut, NPP_Write(inst.handle(), &left, 0, cut, file.data()));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_EQ(nullptr, early.pdata);
  std::vector<ReceivedMessage> sent = client.messages();
  EXPECT_EQ(uint32_t(LINKMSG_DESTROY), sent.back().code);
  EXPECT_EQ(expectedCount + 1, sent.size());
  expectConsistent(sent);
}

// --- A page closed during the first send ---

// A client application on its own thread of this process (ThreadClient): it accepts every
// link as NESTED_ID and, on LINKMSG_STREAM_INFO, has the browser's thread destroy the instance
// (a message sent back to it, which the module's send handles while it waits).
const uint16_t NESTED_ID = 7;
const UINT DESTROY_NOW = WM_APP + 21;
NPP nestedInstance = nullptr;
HWND browserWindow = nullptr;
std::vector<uint32_t> nestedCodes;  // written on the client's thread while the browser waits

LRESULT nestedClientAnswer(WPARAM code) {
  nestedCodes.push_back(static_cast<uint32_t>(code));
  if (code == LINKMSG_NEW) return NESTED_ID << 16;
  if (code == LINKMSG_STREAM_INFO) SendMessageA(browserWindow, DESTROY_NOW, 0, 0);
  return 1;
}

LRESULT CALLBACK nestedBrowserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == DESTROY_NOW) return NPP_Destroy(nestedInstance, nullptr);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(NppTest, DestroyDuringTheFirstSendSendsNoData) {
  ThreadClient client(nestedClientAnswer);
  ASSERT_NE(nullptr, findLinkWindow());
  browserWindow = createMessageWindow("NestedBrowser", nestedBrowserProc);
  TestInstance inst;
  nestedInstance = inst.handle();
  nestedCodes.clear();
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));

  std::vector<unsigned char> file = linkFile();
  int32_t len = static_cast<int32_t>(file.size());
  NPStream stream = {};
  EXPECT_EQ(len, NPP_Write(inst.handle(), &stream, 0, len, file.data()));
  DestroyWindow(browserWindow);

  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_STREAM_INFO, LINKMSG_DESTROY}),
            nestedCodes);
  EXPECT_EQ(nullptr, inst.npp.pdata);
  expectNothingLeft();
}

}  // namespace
