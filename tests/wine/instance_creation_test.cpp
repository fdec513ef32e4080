// NPP_New against a real client application process: the reply kinds, a missing client
// application, and a full instance table.
#include <cstring>
#include <thread>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"

namespace {

struct ReplyCase {
  const char* reply;
  NPError expected;
  bool kept;               // the instance stays in the table
  LinkIdentifier linkId;   // dwData of every later message
};

// Each case: linkmon answering LINKMSG_NEW with the case's reply, and one instance created.
class ReplyKinds : public NppTest, public ::testing::WithParamInterface<ReplyCase> {
 protected:
  void SetUp() override {
    NppTest::SetUp();
    ASSERT_TRUE(client_.start(GetParam().reply, 0x1234));
    result_ = createInstance(inst_, {{"Server", "mediahost"}, {"Name", "news"}});
    sent_ = client_.messages();
    ASSERT_EQ(1u, sent_.size());
    index_ = findSlotForInstance(instanceTable, inst_.handle());
  }

  ClientSession client_;
  TestInstance inst_;
  NPError result_ = -1;
  std::vector<ReceivedMessage> sent_;  // as NPP_New returned
  uint16_t index_ = NO_SLOT;
};

TEST_P(ReplyKinds, NppNewReturnsWhatTheReplyMeans) {
  EXPECT_EQ(GetParam().expected, result_);
  EXPECT_EQ(GetParam().kept, index_ != NO_SLOT);
}

TEST_P(ReplyKinds, NewAnnouncesTheObjectsRecord) {
  EXPECT_EQ(uint32_t(LINKMSG_NEW), sent_[0].code);
  EXPECT_EQ(0u, sent_[0].linkId);
  EXPECT_EQ(238u, sent_[0].cbData);
  LinkRecord announced = recordIn<LinkRecord>(sent_[0].data);
  EXPECT_STREQ("mediahost", announced.server);
  EXPECT_STREQ("news", announced.streamName);
  EXPECT_EQ(1558, announced.port);
}

TEST_P(ReplyKinds, RecordCarriesTheThreadPseudoHandle) {
  // GetCurrentThread's pseudo-handle, truncated to 32 bits.
  EXPECT_EQ(0xFFFFFFFEu, recordIn<LinkRecord>(sent_[0].data).threadHandle);
}

TEST_P(ReplyKinds, RefusedInstanceLeavesNothingBehind) {
  if (GetParam().kept) GTEST_SKIP() << "kept";
  EXPECT_EQ(nullptr, inst_.npp.pdata);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst_.handle(), nullptr));  // harmless
  EXPECT_EQ(1u, client_.messages().size());
}

TEST_P(ReplyKinds, KeptInstanceHoldsTheIdentifierAndTheRecord) {
  if (!GetParam().kept) GTEST_SKIP() << "refused";
  ASSERT_NE(NO_SLOT, index_);
  EXPECT_EQ(GetParam().linkId, instanceTable.slots[index_].linkId);
  EXPECT_EQ(1, instanceTable.slots[index_].linkSpecified);
  LinkRecord announced = recordIn<LinkRecord>(sent_[0].data);
  EXPECT_EQ(0, memcmp(&announced, &instanceTable.slots[index_].link, sizeof announced));
}

// pdata: a zeroed 16-byte block but for the index of the instance's slot.
TEST_P(ReplyKinds, KeptInstanceGetsAZeroedBlockNamingItsSlot) {
  if (!GetParam().kept) GTEST_SKIP() << "refused";
  ASSERT_NE(nullptr, inst_.npp.pdata);
  InstancePrivateBlock expected = {};
  expected.slot = index_;
  EXPECT_EQ(0, memcmp(&expected, inst_.npp.pdata, sizeof expected));
}

TEST_P(ReplyKinds, EveryLaterMessageCarriesTheIdentifier) {
  if (!GetParam().kept) GTEST_SKIP() << "refused";
  HWND hwnd = createAnsiHostWindow();
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst_, hwnd));
  SendMessageA(hwnd, WM_PAINT, 0, 0);
  unsigned char file[40] = {'K', 0, 0, 0, 10, 0, 0, 1, 0x1F, 0x90, 0, 0, 0, 3, 0, 0};
  EXPECT_EQ(40, NPP_Write(inst_.handle(), nullptr, 0, sizeof file, file));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst_.handle(), nullptr));
  uint64_t id = GetParam().linkId;
  const ExpectedLinkMessage expected[] = {{LINKMSG_NEW, 0},         {LINKMSG_SET_WINDOW, id},
                                          {LINKMSG_PAINT, id},      {LINKMSG_STREAM_INFO, id},
                                          {LINKMSG_STREAM_DATA, id}, {LINKMSG_DESTROY, id}};
  expectLinkMessages(client_.messages(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyKinds,
    ::testing::Values(ReplyCase{"accept", NPERR_NO_ERROR, true, 0x1234},
                      ReplyCase{"noid", NPERR_NO_ERROR, true, LINK_ID_NONE},
                      ReplyCase{"refuse", NPERR_OUT_OF_MEMORY_ERROR, false, 0}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.reply); });

// A client that shows its window while the warning is up (started by the user, or slower
// than the wait) serves the object: the module looks again once the box is dismissed.
TEST_F(NppTest, AClientThatAppearsWhileTheWarningIsUpIsUsed) {
  ASSERT_EQ(nullptr, findLinkWindow());
  setLaunchCommand("Z:\\nonexistent\\x.exe");
  LinkmonProcess late;
  std::thread user([&late] {
    HWND box = waitForDialog("ZUROV.DLL", 5000);
    late = startLinkmon("--quiet");
    waitForLinkmonWindow(late, 10000);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  TestInstance inst;
  NPError result = createInstance(inst);
  user.join();
  setLaunchCommand("");
  EXPECT_EQ(NPERR_NO_ERROR, result);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  stopLinkmon(&late);
  expectNothingLeft();
}

TEST_F(NppTest, MissingClientIsReportedAndLeavesNothingBehind) {
  ASSERT_EQ(nullptr, findLinkWindow());
  // A command that cannot start: the launch returns at once instead of waiting.
  setLaunchCommand("Z:\\nonexistent\\x.exe");

  MessageBoxSeen seen;
  std::thread watcher = startMessageBoxWatcher("ZUROV.DLL", &seen);
  TestInstance inst;
  DWORD start = GetTickCount();
  NPError result = createInstance(inst, {{"Server", "mediahost"}});
  DWORD elapsed = GetTickCount() - start;
  watcher.join();
  setLaunchCommand("");

  EXPECT_EQ(NPERR_MODULE_LOAD_FAILED_ERROR, result);
  EXPECT_LT(elapsed, 5000u);
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(nullptr, seen.owner);
  EXPECT_EQ("ZUROV.DLL", seen.caption);
  EXPECT_EQ(
      "Unable to locate Kelvora Application!\r\rThe Main Kelvora App (ORBIPLAY) should be "
      "running before a Kelvora Link is accessed!",
      seen.text);
  EXPECT_TRUE(seen.icon != nullptr);
  EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), seen.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, seen.buttonIds);

  EXPECT_EQ(NO_SLOT, findSlotForInstance(instanceTable, inst.handle()));
  EXPECT_EQ(nullptr, inst.npp.pdata);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
}

TEST_F(NppTest, TwentyInstancesFillTheTableAndTheTwentyFirstIsRefused) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 1));
  TestInstance inst[INSTANCE_SLOT_COUNT + 1];
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i)
    ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst[i])) << i;
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i)
    EXPECT_EQ(i + 1, instanceTable.slots[i].linkId);

  TestInstance& extra = inst[INSTANCE_SLOT_COUNT];
  EXPECT_EQ(NPERR_OUT_OF_MEMORY_ERROR, createInstance(extra));
  EXPECT_EQ(nullptr, extra.npp.pdata);
  // The table-full instance is ignored everywhere else too.
  HWND hwnd = createAnsiHostWindow();
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(extra, hwnd));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(ansiHostProc()), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  unsigned char file[40] = {'K'};
  EXPECT_EQ(40, NPP_Write(extra.handle(), nullptr, 0, sizeof file, file));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(extra.handle(), nullptr));
  EXPECT_EQ(size_t(INSTANCE_SLOT_COUNT), client.messages().size());

  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i)
    EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst[i].handle(), nullptr));
  std::vector<ReceivedMessage> sent = client.messages();
  ASSERT_EQ(size_t(2 * INSTANCE_SLOT_COUNT), sent.size());
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i) {
    EXPECT_EQ(uint32_t(LINKMSG_DESTROY), sent[INSTANCE_SLOT_COUNT + i].code);
    EXPECT_EQ(uint32_t(i + 1), sent[INSTANCE_SLOT_COUNT + i].linkId);
  }
  for (const InstanceSlot& slot : instanceTable.slots) EXPECT_EQ(0, slot.inUse);
}

// Attributes as Gecko and Opera pass them for <object> with <param> children: lower-case
// element attributes, "PARAM" with a null value, then the params; values in UTF-8, and an
// empty saved-data block (Opera). Characters of the ANSI code page (1252 here) are converted;
// a value with one it lacks (even one with a best-fit stand-in) is rejected whole.
TEST_F(NppTest, Utf8ValuesReachTheClientInItsCodePageOrNotAtAll) {
  ASSERT_EQ(1252u, GetACP());
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 5));
  char* argn[] = {const_cast<char*>("type"), const_cast<char*>("PARAM"),
                  const_cast<char*>("Server"), const_cast<char*>("Name"),
                  const_cast<char*>("Name"), nullptr, const_cast<char*>("Server")};
  char* argv[] = {const_cast<char*>("application/x-kvla"), nullptr,
                  const_cast<char*>("m\xC3\xBCnchen"), const_cast<char*>("caf\xC3\xA9"),
                  const_cast<char*>("\xC4\x81"),  // U+0101: 1252 has only the best fit "a"
                  const_cast<char*>("orphan"), const_cast<char*>("\xE4\xB8\xAD")};
  NPSavedData empty = {0, nullptr};
  char mimeType[] = "application/x-kvla";
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, NPP_New(mimeType, inst.handle(), NP_EMBED, 7, argn, argv, &empty));
  std::vector<ReceivedMessage> sent = client.messages();
  ASSERT_EQ(1u, sent.size());
  LinkRecord announced = recordIn<LinkRecord>(sent[0].data);
  EXPECT_STREQ("m\xFCnchen", announced.server);
  EXPECT_STREQ("caf\xE9", announced.streamName);

  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
}

TEST_F(NppTest, NullInstanceIsRejectedEverywhere) {
  NPWindow window = {};
  uint16_t stype = NP_NORMAL;
  unsigned char data[40] = {'K'};
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR,
            NPP_New(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, NPP_Destroy(nullptr, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, NPP_SetWindow(nullptr, &window));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, NPP_NewStream(nullptr, nullptr, nullptr, 0, &stype));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, NPP_DestroyStream(nullptr, nullptr, 0));
  EXPECT_EQ(-1, NPP_Write(nullptr, nullptr, 0, sizeof data, data));
  EXPECT_EQ(0x8000, NPP_WriteReady(nullptr, nullptr));
  for (const InstanceSlot& slot : instanceTable.slots) EXPECT_EQ(0, slot.inUse);
}

}  // namespace
