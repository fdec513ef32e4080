// Which client application an instance talks to: the configured program's link window, not a
// look-alike created later, and only ever the one that accepted the instance.
#include <cstring>

#include "link/client_locator.h"
#include "npp_test_fixture.h"
#include "plugin/npp_functions.h"

namespace {

std::vector<UINT_PTR> squatterCodes;

// A "KelvoraLink" window of another program: it accepts everything with identifier 5.
LRESULT CALLBACK squatterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(hwnd, message, wParam, lParam);
  squatterCodes.push_back(wParam);
  return 0x00050000;
}

class ClientIdentity : public NppTest {
 protected:
  void SetUp() override {
    NppTest::SetUp();
    squatterCodes.clear();
    // The configured program is linkmon, as its installer would have stored it.
    std::string command = "\"" + programBesideTest("linkmon.exe") + "\" --quiet";
    strcpy(launchCommand, command.c_str());
  }
  void TearDown() override {
    if (squatter_) DestroyWindow(squatter_);
    launchCommand[0] = '\0';
    NppTest::TearDown();
  }
  HWND createSquatter() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = squatterProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = LINK_WINDOW_CLASS;
    RegisterClassA(&wc);
    squatter_ = CreateWindowExA(0, LINK_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                wc.hInstance, nullptr);
    return squatter_;
  }
  HWND squatter_ = nullptr;
};

TEST_F(ClientIdentity, ALookAlikeWindowCreatedAfterTheClientsGetsNothing) {
  ClientSession client;
  ASSERT_TRUE(client.start("accept", 7));
  HWND squatter = createSquatter();
  ASSERT_TRUE(squatter != nullptr);
  ASSERT_EQ(squatter, FindWindowA(LINK_WINDOW_CLASS, nullptr)) << "not above the client";

  TestInstance inst;
  HWND host = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(inst));
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(inst, host));
  char data[] = "not a link file";
  NPP_Write(inst.handle(), nullptr, 0, sizeof data, data);
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(inst.handle(), nullptr));

  EXPECT_TRUE(squatterCodes.empty()) << squatterCodes.size() << " message(s) to the look-alike";
  std::vector<ReceivedMessage> got = client.messages();
  EXPECT_EQ((std::vector<uint32_t>{LINKMSG_NEW, LINKMSG_SET_WINDOW, LINKMSG_DESTROY}), codesOf(got));
  expectConsistent(got);
}

TEST_F(ClientIdentity, ARestartedClientGetsNothingOfTheOldClientsInstances) {
  ClientSession first;
  ASSERT_TRUE(first.start("accept", 1));
  TestInstance old;
  HWND host = createAnsiHostWindow();
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(old));
  ASSERT_EQ(NPERR_NO_ERROR, setWindow(old, host));
  first.stop();

  ClientSession second;
  ASSERT_TRUE(second.start("accept", 1));
  // The orphan's calls still succeed, and nothing of it reaches the new client.
  EXPECT_EQ(NPERR_NO_ERROR, setWindow(old, host));
  InvalidateRect(host, nullptr, TRUE);
  UpdateWindow(host);
  char data[] = "not a link file";
  EXPECT_EQ(static_cast<int32_t>(sizeof data), NPP_Write(old.handle(), nullptr, 0, sizeof data, data));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(old.handle(), nullptr));
  EXPECT_TRUE(second.messages().empty()) << second.messages().size() << " message(s)";

  // A new instance goes to the new client.
  TestInstance fresh;
  ASSERT_EQ(NPERR_NO_ERROR, createInstance(fresh));
  EXPECT_EQ(NPERR_NO_ERROR, NPP_Destroy(fresh.handle(), nullptr));
  expectConsistent(second.messages());
  EXPECT_EQ(2u, second.messages().size());
}

}  // namespace
