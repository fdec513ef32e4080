// NPP_SetWindow, SubClassProc and NPP_Destroy on real ANSI and Unicode windows, with linkmon
// as the client application.
#include <cstring>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"

namespace {

const uint16_t FIRST_ID = 0x0300;

uint32_t wire(HWND hwnd) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)); }

class PluginWindow : public NppTest {
 protected:
  void SetUp() override {
    NppTest::SetUp();
    ASSERT_TRUE(client.start("accept", FIRST_ID));
    ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  }
  // Messages after LINKMSG_NEW.
  std::vector<ReceivedMessage> sentSinceNew() {
    std::vector<ReceivedMessage> all = client.messages();
    return std::vector<ReceivedMessage>(all.begin() + (all.empty() ? 0 : 1), all.end());
  }
  InstanceSlot& slot() { return instanceTable.slots[findSlotForInstance(instanceTable, inst.handle())]; }

  ClientSession client;
  TestInstance inst;
};

TEST_F(PluginWindow, SameWindowTwiceSubclassesOnceAndAnnouncesTwice) {
  HWND hwnd = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&SubClassProc), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  // Subclassed once: the procedure saved is still the host's, not SubClassProc itself.
  EXPECT_EQ(reinterpret_cast<intptr_t>(ansiHostProc()), slot().oldWndProc);
  EXPECT_EQ(hwnd, slot().hwnd);

  std::vector<ReceivedMessage> sent = sentSinceNew();
  ASSERT_EQ(2u, sent.size());
  for (const ReceivedMessage& m : sent) {
    EXPECT_EQ(uint32_t(LINKMSG_SET_WINDOW), m.code);
    EXPECT_EQ(uint32_t(FIRST_ID), m.linkId);
    EXPECT_EQ(20u, m.cbData);
    WindowRecord r = recordIn<WindowRecord>(m.data);
    EXPECT_EQ(wire(hwnd), r.window);
    EXPECT_EQ(0u, r.x | r.y | r.width | r.height);
  }
}

// Paint forwarding and argument passing, on a window of either character set.
struct HostKind {
  const char* name;
  HWND (*create)();
  WNDPROC (*proc)();
  bool unicode;
};

class PaintForwarding : public PluginWindow, public ::testing::WithParamInterface<HostKind> {};

TEST_P(PaintForwarding, PaintIsAnnouncedThenReachesTheHostProcedureUnchanged) {
  const HostKind& kind = GetParam();
  HWND hwnd = kind.create();
  ASSERT_EQ(kind.unicode, IsWindowUnicode(hwnd) != FALSE);
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  hostCalls.clear();

  // A real repaint: the window is invalidated and painted at once.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(1u, hostCallCount(hwnd, WM_PAINT));
  std::vector<ReceivedMessage> sent = sentSinceNew();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(uint32_t(LINKMSG_PAINT), sent[1].code);
  EXPECT_EQ(uint32_t(FIRST_ID), sent[1].linkId);
  EXPECT_EQ(0u, sent[1].cbData);
  EXPECT_TRUE(sent[1].nullData);

  // Any other message passes with the same arguments and the host's result, sending nothing.
  hostCalls.clear();
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0x1234, 0x5678));
  ASSERT_EQ(1u, hostCalls.size());
  EXPECT_EQ(hwnd, hostCalls[0].hwnd);
  EXPECT_EQ(WPARAM(0x1234), hostCalls[0].wParam);
  EXPECT_EQ(LPARAM(0x5678), hostCalls[0].lParam);
  EXPECT_EQ(2u, sentSinceNew().size());

  // Text travels through the character-set conversion a Unicode host needs.
  EXPECT_TRUE(SetWindowTextA(hwnd, "lent to the client"));
  wchar_t wide[64] = {};
  GetWindowTextW(hwnd, wide, 64);
  EXPECT_STREQ(L"lent to the client", wide);

  // A zero window gives the host window its own procedure back.
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  EXPECT_EQ(kind.unicode, IsWindowUnicode(hwnd) != FALSE);
  LONG_PTR current = kind.unicode ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC)
                                  : GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(kind.proc()), current);
  EXPECT_EQ(nullptr, slot().hwnd);
  EXPECT_EQ(0, slot().oldWndProc);
  sent = sentSinceNew();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(uint32_t(LINKMSG_SET_WINDOW), sent[2].code);
  EXPECT_EQ(0u, recordIn<WindowRecord>(sent[2].data).window);

  // No longer held by any slot: a repaint reaches the host without a notice.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(3u, sentSinceNew().size());
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, PaintForwarding,
    ::testing::Values(HostKind{"Ansi", createAnsiHostWindow, ansiHostProc, false},
                      HostKind{"Unicode", createUnicodeHostWindow, unicodeHostProc, true}),
    [](const ::testing::TestParamInfo<HostKind>& info) { return std::string(info.param.name); });

TEST_F(PluginWindow, MovingToAnotherWindowRestoresTheFirst) {
  HWND first = createAnsiHostWindow();
  HWND second = createUnicodeHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, first));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, second));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(ansiHostProc()), GetWindowLongPtrA(first, GWLP_WNDPROC));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&SubClassProc), GetWindowLongPtrA(second, GWLP_WNDPROC));
  EXPECT_EQ(second, slot().hwnd);
}

TEST_F(PluginWindow, WindowNoSlotHoldsGoesToDefWindowProc) {
  HWND hwnd = createAnsiHostWindow();  // never given to the module
  SetWindowTextA(hwnd, "abc");
  hostCalls.clear();
  EXPECT_EQ(3, SubClassProc(hwnd, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_EQ(0, SubClassProc(hwnd, WM_APP, 1, 2));
  EXPECT_EQ(0, SubClassProc(hwnd, WM_PAINT, 0, 0));
  EXPECT_EQ(0, SubClassProc(nullptr, WM_APP, 1, 2));
  // Only DefWindowProc's own sends of painting (WM_NCPAINT, WM_ERASEBKGND) reach the window.
  for (UINT message : {UINT(WM_GETTEXTLENGTH), UINT(WM_APP), UINT(WM_PAINT)})
    EXPECT_EQ(0u, hostCallCount(hwnd, message)) << message;
  EXPECT_TRUE(sentSinceNew().empty());
}

TEST_F(PluginWindow, NullWindowPointerChangesNothing) {
  EXPECT_EQ(NPERR_NO_ERROR, NPP_SetWindow(inst.handle(), nullptr));
  EXPECT_TRUE(sentSinceNew().empty());
}

TEST_F(PluginWindow, DestroyRestoresFreesAnnouncesAndReleases) {
  HWND hwnd = createUnicodeHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  ASSERT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(unicodeHostProc()), GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  EXPECT_EQ(nullptr, inst.npp.pdata);
  EXPECT_EQ(NO_SLOT, findSlotForInstance(instanceTable, inst.handle()));
  EXPECT_EQ(NO_WINDOW_SLOT, slotForWindow(instanceTable, hwnd));

  // A second destroy of the same instance is harmless and tells the client nothing.
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  std::vector<ReceivedMessage> sent = sentSinceNew();
  std::vector<uint32_t> codes = {LINKMSG_SET_WINDOW, LINKMSG_DESTROY};
  EXPECT_EQ(codes, codesOf(sent));
  EXPECT_EQ(uint32_t(FIRST_ID), sent.back().linkId);
  EXPECT_EQ(0u, sent.back().cbData);
  EXPECT_TRUE(sent.back().nullData);
  for (const InstanceSlot& s : instanceTable.slots) EXPECT_EQ(0, s.inUse);
}

TEST_F(PluginWindow, DestroyWithoutClientStillTearsDownLocally) {
  HWND hwnd = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  size_t before = client.messages().size();
  client.stop();
  ASSERT_EQ(nullptr, findLinkWindow());

  // Without a client, SetWindow leaves everything as it was.
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  EXPECT_EQ(hwnd, slot().hwnd);

  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(ansiHostProc()), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  EXPECT_EQ(nullptr, inst.npp.pdata);
  EXPECT_EQ(NO_SLOT, findSlotForInstance(instanceTable, inst.handle()));
  EXPECT_EQ(before, client.messages().size());
}

// A client that repaints the window in its answer to each notice (bounded, so that a second
// notice fails the test rather than recursing until the stack is gone).
TEST_F(NppTest, AClientRepaintingInItsAnswerGetsOneNoticePerRepaint) {
  HWND hwnd = createAnsiHostWindow();
  std::atomic<int> notices{0};
  ThreadClient client([&](WPARAM code) -> LRESULT {
    if (code == LINKMSG_PAINT && ++notices < 100) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return code == LINKMSG_NEW ? 1 << 16 : 1;
  });
  ASSERT_NE(nullptr, findLinkWindow());
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  hostCalls.clear();
  for (int i = 0; i < 3; ++i) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(3, notices.load());
  EXPECT_EQ(6u, hostCallCount(hwnd, WM_PAINT));  // each repaint and the client's
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  expectNothingLeft();
}

// Which client an instance talks to: the configured program's link window, not a look-alike
// created later, and only ever the one that accepted the instance.
int squatterMessages = 0;
LRESULT CALLBACK squatterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(hwnd, message, wParam, lParam);
  ++squatterMessages;
  return 0x00050000;  // accepted, identifier 5
}

// A window of the link window class made now, above the client's, in the test's process.
HWND createSquatter() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = squatterProc;
  wc.lpszClassName = LINK_WINDOW_CLASS;
  RegisterClassA(&wc);
  return CreateWindowExA(0, LINK_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         nullptr, nullptr);
}

void useInstance() {
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, createAnsiHostWindow()));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
}

TEST_F(NppTest, ALookAlikeLinkWindowCreatedAfterTheClientsGetsNothing) {
  setLaunchCommand(("\"" + programBesideTest("linkmon.exe") + "\" --quiet").c_str());
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 7));
  HWND squatter = createSquatter();
  ASSERT_EQ(squatter, FindWindowA(LINK_WINDOW_CLASS, nullptr)) << "not above the client";
  useInstance();
  DestroyWindow(squatter);
  setLaunchCommand("");
  EXPECT_EQ(0, squatterMessages);
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_DESTROY}),
            codesOf(client.messages()));
}

// The client runs from a folder with a long name, started by that name; the command names
// it as an 8.3 name, with forward slashes and with a ".\" folder: each is the client's file.
TEST_F(NppTest, ALookAlikeGetsNothingHoweverTheCommandSpellsTheClientsProgram) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "Kelvora Client Folder";
  std::string program = folder + "\\linkmon.exe", log = newLinkmonLogPath("spelled");
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(programBesideTest("linkmon.exe").c_str(), program.c_str(), FALSE));
  char shortName[MAX_PATH] = "";
  ASSERT_NE(0u, GetShortPathNameA(program.c_str(), shortName, sizeof shortName));
  ASSERT_EQ(std::string::npos, std::string(shortName).find(' ')) << shortName;
  std::string slashes = program;
  for (char& c : slashes) c = c == '\\' ? '/' : c;
  std::string line = "\"" + program + "\" --lifetime 60000 --quiet --reply accept --log \"" + log + "\"";
  LinkmonProcess client = startProgram(line, {}, false);
  ASSERT_TRUE(client.process != nullptr);
  ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
  HWND squatter = createSquatter();
  ASSERT_EQ(squatter, FindWindowA(LINK_WINDOW_CLASS, nullptr)) << "not above the client";
  for (const std::string& command : {std::string(shortName) + " --quiet", "\"" + slashes + "\"",
                                     "\"" + folder + "\\.\\linkmon.exe\" --quiet"}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(setLaunchCommand(command.c_str()));
    useInstance();
  }
  DestroyWindow(squatter);
  setLaunchCommand("");
  stopLinkmon(&client);
  EXPECT_EQ(0, squatterMessages);
  const uint32_t once[] = {LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_DESTROY};
  std::vector<uint32_t> thrice;
  for (int i = 0; i < 3; ++i) thrice.insert(thrice.end(), once, once + 3);
  EXPECT_EQ(thrice, codesOf(linkmonMessages(readLinkmonLog(log))));
  DeleteFileA(program.c_str());
  RemoveDirectoryA(folder.c_str());
  DeleteFileA(log.c_str());
}

TEST_F(NppTest, ARestartedClientGetsNothingOfTheOldClientsInstances) {
  ClientSession first, second;
  ASSERT_TRUE(first.start("accept", 1));
  TestInstance old;
  HWND host = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(old));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(old, host));
  first.stop();
  ASSERT_TRUE(second.start("accept", 1));
  // The orphan's calls still succeed and send nothing; a new instance goes to the new client.
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(old, host));
  RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(old.handle(), nullptr));
  EXPECT_TRUE(second.messages().empty());
  useInstance();
  EXPECT_EQ(3u, second.messages().size());
}

}  // namespace
