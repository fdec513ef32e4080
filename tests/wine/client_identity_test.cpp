// Which client an instance talks to: the configured program's link window, not a look-alike
// created later, and only ever the one that accepted the instance.
#include <cstring>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/npp_functions.h"

namespace {

int squatterMessages = 0;
LRESULT CALLBACK squatterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(hwnd, message, wParam, lParam);
  ++squatterMessages;
  return 0x00050000;  // accepted, identifier 5
}

// Creates an instance, lends it a window and destroys it; all must succeed.
void useInstance() {
  TestInstance inst;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, createAnsiHostWindow()));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));
}

TEST_F(NppTest, ALookAlikeLinkWindowCreatedAfterTheClientsGetsNothing) {
  strcpy(launchCommand, ("\"" + programBesideTest("linkmon.exe") + "\" --quiet").c_str());
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 7));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = squatterProc;
  wc.lpszClassName = LINK_WINDOW_CLASS;
  RegisterClassA(&wc);
  HWND squatter = CreateWindowExA(0, LINK_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
  ASSERT_EQ(squatter, FindWindowA(LINK_WINDOW_CLASS, nullptr)) << "not above the client";
  useInstance();
  DestroyWindow(squatter);
  launchCommand[0] = '\0';
  EXPECT_EQ(0, squatterMessages);
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_DESTROY}),
            codesOf(client.messages()));
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
