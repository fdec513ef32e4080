// The libraries the module reaches on first use: loaded by the call that needs them, kept
// through a release that arrives while their dialog runs, and missing ones (a load the
// system-call table refuses) behaving as a failed call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/client_locator.h"
#include "link/file_dialog.h"
#include "link/on_demand_imports.h"
#include "link/system_calls.h"
#include "wine_test_support.h"

namespace {

const char TITLE[] = "Find Kelvora Client APP (ORBIPLAY.EXE)";
const char FILTER[] = "EXE Files^*.EXE^^";

HMODULE commonDialogs() { return onDemandLibraries[COMMON_DIALOGS].module; }

// The system's load, but for `missing`, which it cannot find.
const char* missing = nullptr;
HMODULE WINAPI loadAllBut(const char* fileName) {
  return lstrcmpiA(fileName, missing) == 0 ? nullptr : LoadLibraryA(fileName);
}

// A window of the test's thread that releases the libraries when it gets WM_APP: sent from
// the dialog watcher, it arrives through the dialog's message loop, as a re-entered browser
// call would.
LRESULT CALLBACK releasingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) releaseOnDemandImports();
  return DefWindowProcA(window, message, wParam, lParam);
}

class OnDemandImportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    releaseOnDemandImports();
    runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr);
  }
  void TearDown() override {
    releaseOnDemandImports();
    systemCalls.loadLibrary = LoadLibraryA;
    runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr);
  }
};

TEST_F(OnDemandImportsTest, DialogLoadsCommonDialogsAndAReleaseDuringItWaitsForItsEnd) {
  ASSERT_TRUE(commonDialogs() == nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = releasingWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "OnDemandReleaser";
  RegisterClassA(&windowClass);
  HWND releaser = CreateWindowA("OnDemandReleaser", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  ASSERT_TRUE(releaser != nullptr);

  HMODULE during = nullptr, afterRelease = nullptr;
  DialogWatcher user(TITLE, [&](HWND d) {
    during = commonDialogs();
    SendMessageA(releaser, WM_APP, 0, 0);
    afterRelease = commonDialogs();
    pressDialogButton(d, IDCANCEL);
  });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 0, FILTER, TITLE, false, ""));
  user.stop();
  ASSERT_TRUE(user.seen());
  EXPECT_TRUE(during != nullptr);
  EXPECT_EQ(during, afterRelease);
  EXPECT_EQ(during, commonDialogs());  // kept until the next release

  releaseOnDemandImports();
  EXPECT_TRUE(commonDialogs() == nullptr);
  // The next dialog loads the library again.
  DialogWatcher again(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 0, FILTER, TITLE, false, ""));
  again.stop();
  EXPECT_TRUE(again.seen());
  EXPECT_TRUE(commonDialogs() != nullptr);
  DestroyWindow(releaser);
}

TEST_F(OnDemandImportsTest, MissingCommonDialogsFailLikeTheDialog) {
  missing = "COMDLG32.DLL";
  systemCalls.loadLibrary = loadAllBut;
  DialogWatcher guard(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 0, FILTER, TITLE, false, ""));
  guard.stop();
  EXPECT_FALSE(guard.seen());
  EXPECT_TRUE(commonDialogs() == nullptr);
}

TEST_F(OnDemandImportsTest, LaunchWaitWithoutTheMultimediaTimerStillWaitsForTheWindow) {
  missing = "WINMM.DLL";
  systemCalls.loadLibrary = loadAllBut;
  ASSERT_EQ(nullptr, findLinkWindow());
  std::string command = programBesideTest("linkmon.exe") + " --quiet --window-delay 2000";
  ASSERT_TRUE(setLaunchCommand(command.c_str()));
  DWORD start = GetTickCount();
  launchClient();
  DWORD elapsed = GetTickCount() - start;
  EXPECT_TRUE(onDemandLibraries[MULTIMEDIA_TIMER].module == nullptr);
  ASSERT_TRUE(linkWindow() != nullptr);
  EXPECT_GE(elapsed, 1500u);

  LinkmonProcess launched;
  GetWindowThreadProcessId(linkWindow(), &launched.pid);
  launched.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE,
                                 FALSE, launched.pid);
  EXPECT_EQ(0u, stopLinkmon(&launched));
}

}  // namespace
