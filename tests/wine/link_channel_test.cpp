// The link channel against a real window in this process.
#include <gtest/gtest.h>

#include "link/client_locator.h"
#include "link/link_channel.h"
#include "wine_test_support.h"

namespace {

struct Received {
  WPARAM code;
  ULONG_PTR dwData;
  DWORD cbData;
  bool nullData;
  unsigned char bytes[512];
};
Received lastReceived;
int receivedCount;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    lastReceived.code = wParam;
    lastReceived.dwData = cds->dwData;
    lastReceived.cbData = cds->cbData;
    lastReceived.nullData = cds->lpData == nullptr;
    if (cds->lpData && cds->cbData <= sizeof lastReceived.bytes)
      memcpy(lastReceived.bytes, cds->lpData, cds->cbData);
    ++receivedCount;
    return 0x00070000;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND createLinkWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = recordingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = LINK_WINDOW_CLASS;
  RegisterClassA(&wc);
  // A top-level window: FindWindow does not see message-only windows.
  return CreateWindowA(LINK_WINDOW_CLASS, "in-process link window", WS_OVERLAPPED, 0, 0, 10,
                       10, nullptr, nullptr, wc.hInstance, nullptr);
}

}  // namespace

TEST(LinkChannel, FindSendsAndForgetsTheWindow) {
  HWND w = createLinkWindow();
  ASSERT_TRUE(w != nullptr);
  EXPECT_EQ(w, findLinkWindow());
  EXPECT_EQ(w, linkWindow());

  LinkRecord r = {};
  r.port = 1558;
  EXPECT_EQ(0x00070000u, sendLinkMessage(LINKMSG_NEW, &r, sizeof r, 0));
  EXPECT_EQ(static_cast<WPARAM>(LINKMSG_NEW), lastReceived.code);
  EXPECT_EQ(238u, lastReceived.cbData);
  EXPECT_EQ(0, memcmp(&r, lastReceived.bytes, sizeof r));

  EXPECT_EQ(0x00070000u, sendLinkMessage(LINKMSG_PAINT, nullptr, 0, 7));
  EXPECT_EQ(7u, lastReceived.dwData);
  EXPECT_TRUE(lastReceived.nullData);

  DestroyWindow(w);
  EXPECT_EQ(nullptr, findLinkWindow());
  int before = receivedCount;
  EXPECT_EQ(0u, sendLinkMessage(LINKMSG_PAINT, nullptr, 0, 7));
  EXPECT_EQ(before, receivedCount);
}
