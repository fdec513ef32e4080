// The NPP_ entry points called in the orders real browsers use: from inside the launch wait
// (a browser runs its work from messages, which the wait dispatches), twice, or out of turn.
// After each: a valid heap, window procedures restored, all slots free, and every identifier
// the client application handed out told LINKMSG_DESTROY exactly once.
#include <deque>
#include <functional>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"

namespace {

// Browser work queued for the browser's message loop: each posted message runs one call.
std::deque<std::function<void()>> browserWork;
const UINT RUN_BROWSER_WORK = WM_APP + 7;

LRESULT CALLBACK browserWorkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != RUN_BROWSER_WORK) return DefWindowProcA(hwnd, message, wParam, lParam);
  std::function<void()> work = browserWork.front();
  browserWork.pop_front();
  work();
  return 0;
}

void runFromBrowserLoop(std::function<void()> work) {
  static HWND window = createMessageWindow("BrowserWork", browserWorkProc);
  browserWork.push_back(work);
  PostMessageA(window, RUN_BROWSER_WORK, 0, 0);
}

struct WaitCase {
  const char* name;
  const char* options;  // linkmon's
  bool appears;         // whether its link window ever appears
};

class DestroyDuringCreation : public NppTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(DestroyDuringCreation, FreesOnceAndTellsTheClientNothing) {
  ASSERT_EQ(nullptr, findLinkWindow());
  LaunchedClient client(GetParam().options);
  TestInstance inst;
  HWND hwnd = createAnsiHostWindow();
  // The page is laid out, then closed, while NPP_New waits for the client application.
  runFromBrowserLoop([&] { EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd)); });
  runFromBrowserLoop([&] { EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr)); });
  DialogWatcher warning("ZUROV.DLL", [](HWND box) { pressDialogButton(box, IDOK); });

  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, createInstance(inst, {{"Server", "mediahost"}}));
  warning.stop();
  EXPECT_EQ(!GetParam().appears, warning.seen());
  EXPECT_TRUE(browserWork.empty());
  EXPECT_EQ(nullptr, inst.npp.pdata);
  EXPECT_TRUE(restored(hwnd));
  std::vector<ReceivedMessage> sent = linkmonMessages(client.log());
  EXPECT_TRUE(sent.empty());  // the client application never heard of the instance
  expectConsistent(sent);
}

INSTANTIATE_TEST_SUITE_P(ClientReplies, DestroyDuringCreation,
                         ::testing::Values(WaitCase{"accepting", "--reply accept", true},
                                           WaitCase{"refusing", "--reply refuse", true},
                                           WaitCase{"neverAppearing", "--no-window", false}),
                         [](const ::testing::TestParamInfo<WaitCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(NppTest, CallsFromInsideTheWaitJoinItAndWindowsAreAnnouncedAfterCreation) {
  ASSERT_EQ(nullptr, findLinkWindow());
  LaunchedClient client("--reply accept --first-id 40");
  TestInstance first, second;
  HWND hwnd = createAnsiHostWindow();
  runFromBrowserLoop([&] { EXPECT_EQ(NPERR_NO_ERROR, setWindow(first, hwnd)); });
  runFromBrowserLoop([&] { EXPECT_EQ(NPERR_NO_ERROR, createInstance(second)); });
  // A quit the browser asked for before the wait still reaches its loop afterwards.
  PostQuitMessage(77);

  ASSERT_EQ(NPERR_NO_ERROR, createInstance(first));
  MSG quit = {};
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(77u, quit.wParam);
  EXPECT_EQ(1u, linkmonStarts(client.log()).size());  // one launch, joined by the second

  // The second instance was created inside the first one's wait, so it got the first
  // identifier; the first instance's window follows its LINKMSG_NEW.
  std::vector<ReceivedMessage> sent = linkmonMessages(client.log());
  std::vector<uint32_t> codes = {LINKMSG_NEW, LINKMSG_NEW, LINKMSG_SET_WINDOW};
  ASSERT_EQ(codes, codesOf(sent));
  EXPECT_EQ(41u, sent[2].linkId);
  EXPECT_EQ(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)),
            *reinterpret_cast<const uint32_t*>(sent[2].data.data()));

  SendMessageA(hwnd, WM_PAINT, 0, 0);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(first.handle(), nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(second.handle(), nullptr));
  EXPECT_TRUE(restored(hwnd));
  sent = linkmonMessages(client.log());
  EXPECT_EQ(uint32_t(LINKMSG_PAINT), sent[3].code);
  EXPECT_EQ(41u, sent[3].linkId);
  expectConsistent(sent);
}

TEST_F(NppTest, SecondNewForALiveInstanceFailsAndLeavesItAsItWas) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 7));
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  HWND hwnd = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  uint16_t index = findSlotForInstance(instanceTable, inst.handle());
  void* block = inst.npp.pdata;

  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, createInstance(inst, {{"Server", "other"}}));
  EXPECT_EQ(index, findSlotForInstance(instanceTable, inst.handle()));
  EXPECT_EQ(block, inst.npp.pdata);
  EXPECT_EQ(7, instanceTable.slots[index].linkId);
  EXPECT_EQ(hwnd, instanceTable.slots[index].hwnd);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&SubClassProc), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));

  SendMessageA(hwnd, WM_PAINT, 0, 0);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_TRUE(restored(hwnd));
  std::vector<ReceivedMessage> sent = client.messages();
  std::vector<uint32_t> codes = {LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_PAINT, LINKMSG_DESTROY};
  EXPECT_EQ(codes, codesOf(sent));
  EXPECT_EQ(7u, sent[2].linkId);
  expectConsistent(sent);
}

TEST_F(NppTest, CallsBeforeNewClaimNothingAndSendNothing) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 9));
  TestInstance inst;
  HWND hwnd = createAnsiHostWindow();
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  unsigned char file[40] = {'K', 0, 0, 0, 10, 0, 0, 1, 0x1F, 0x90, 0, 0, 0, 3, 0, 0};
  EXPECT_EQ(40, NPP_Write(inst.handle(), nullptr, 0, sizeof file, file));
  EXPECT_TRUE(restored(hwnd));
  EXPECT_EQ(NO_SLOT, findSlotForInstance(instanceTable, inst.handle()));

  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  std::vector<ReceivedMessage> sent = client.messages();
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_DESTROY}), codesOf(sent));
  expectConsistent(sent);
}

// A browser's own procedure on the plug-in window: after each NPP_SetWindow it goes above
// whatever is on top unless it is there already, and at teardown it gives back what it
// replaced only while it is still on top (Gecko, Chromium and WebKit alike).
// Only its paints are counted: painting a fresh window sends it WM_NCPAINT and WM_ERASEBKGND too.
WNDPROC belowBrowser = nullptr;
int browserPaints = 0;

LRESULT CALLBACK browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++browserPaints;
  return CallWindowProcA(belowBrowser, hwnd, message, wParam, lParam);
}

LONG_PTR procOf(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWLP_WNDPROC); }

void browserHooks(HWND hwnd) {
  if (procOf(hwnd) != reinterpret_cast<LONG_PTR>(browserProc))
    belowBrowser = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserProc)));
}

void browserUnhooks(HWND hwnd) {
  if (procOf(hwnd) == reinterpret_cast<LONG_PTR>(browserProc))
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
}

bool noForwards() {
  for (const WindowForward& f : instanceTable.forwards)
    if (f.hwnd != nullptr) return false;
  return true;
}

TEST_F(NppTest, BrowserProcedureAboveTheModuleStaysInTheChainThroughTeardown) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 21));
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  HWND hwnd = createAnsiHostWindow();
  // Gecko after every reflow, WebKit on every move: the same window again and again.
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
    browserHooks(hwnd);
  }
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&SubClassProc), reinterpret_cast<LONG_PTR>(belowBrowser));
  browserPaints = 0;
  hostCalls.clear();
  SendMessageA(hwnd, WM_PAINT, 0, 0);
  EXPECT_EQ(1, browserPaints);
  EXPECT_EQ(1u, hostCallCount(hwnd, WM_PAINT));

  // Chromium and WebKit: a null window before NPP_Destroy. The browser's procedure stays
  // on top and messages still pass the whole chain, with no more notices.
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(browserProc), procOf(hwnd));
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 1, 2));
  // The same window once more: taken up where SubClassProc still stands, not stacked twice.
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  browserHooks(hwnd);
  SendMessageA(hwnd, WM_PAINT, 0, 0);
  EXPECT_EQ(2u, hostCallCount(hwnd, WM_PAINT));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  ASSERT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));  // save == NULL (Gecko)
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 1, 2));

  // The browser steps out; the next message finds SubClassProc on top, which steps out too.
  browserUnhooks(hwnd);
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 1, 2));
  EXPECT_TRUE(restored(hwnd));
  EXPECT_TRUE(noForwards());
  std::vector<ReceivedMessage> sent = client.messages();
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_SET_WINDOW,
                                   LINKMSG_SET_WINDOW, LINKMSG_PAINT, LINKMSG_SET_WINDOW,
                                   LINKMSG_SET_WINDOW, LINKMSG_PAINT, LINKMSG_SET_WINDOW,
                                   LINKMSG_DESTROY}),
            codesOf(sent));
  expectConsistent(sent);
}

// The browser destroys its window before NPP_Destroy: the module finds it gone when it lets
// go of it (no WM_NCDESTROY is believed), and keeps no record of it.
TEST_F(NppTest, WindowDestroyedBeforeNppDestroyIsFoundGoneAndLeavesNoRecord) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 31));
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  HWND hwnd = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(inst, hwnd));
  browserHooks(hwnd);
  DestroyWindow(hwnd);
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  EXPECT_EQ(nullptr, instanceSlot(inst.handle())->hwnd);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_TRUE(noForwards());
  expectConsistent(client.messages());
}

// Chromium, and Gecko out of process: after a failed NPP_New come the null window and
// NPP_Destroy with save == NULL; Opera passes an empty saved-data block to NPP_New.
TEST_F(NppTest, NullWindowAndDestroyAfterAFailedNewLeaveNothing) {
  ClientSession client;
  ASSERT_TRUE(client.start("refuse", 1));
  TestInstance inst;
  char mimeType[] = "application/x-kvla";
  NPSavedData empty = {0, nullptr};
  EXPECT_EQ(NPERR_OUT_OF_MEMORY_ERROR,
            NPP_New(mimeType, inst.handle(), NP_EMBED, 0, nullptr, nullptr, &empty));
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
  EXPECT_EQ(nullptr, inst.npp.pdata);
  std::vector<ReceivedMessage> sent = client.messages();
  EXPECT_EQ(std::vector<uint32_t>{LINKMSG_NEW}, codesOf(sent));
  expectConsistent(sent);
}

}  // namespace
