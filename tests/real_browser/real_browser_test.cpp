// examples/demo.html in a real browser (cefhost, the embedded Chromium engine) with the module
// installed from dist/ZUROV-x64.msi and linkmon as the client, started first (on a loaded
// machine a client the module launches may take longer than the module's 10 s): once with
// the engine's defaults, once with --disable-direct-npapi-requests, each page closed once it
// has played. Each object must go through its whole life in linkmon's log, no plug-in may
// crash, the module must come from where the package put it, and pagerunner's chromium
// family must produce the same messages. Then the sample client in linkmon's place, and
// (under Wine 10) its drawing seen in the page.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/picturecheck/screen_picture.h"
#include "real_browser_support.h"

namespace {

class RealBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    // Blink's renderer dies on every page without these three fonts.
    const char* fonts = "Software\\Wine\\Fonts\\Replacements";
    setRegistryText(HKEY_CURRENT_USER, fonts, "Times New Roman", "Liberation Serif");
    setRegistryText(HKEY_CURRENT_USER, fonts, "Arial", "Liberation Sans");
    setRegistryText(HKEY_CURRENT_USER, fonts, "Courier New", "Liberation Mono");
    endCrashedProcessesAtOnce();
    SetEnvironmentVariableA("ZUROV_CEF_DIR", windowsPath("ZUROV_CEF_DIR").c_str());

    page_ = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
    installed_ = getenv("ProgramW6432") + std::string("\\Kelvora\\ZUROV.DLL");
    log_ = newLinkmonLogPath("real-browser");
    std::string client = programBesideTest("linkmon.exe") + " --quiet --log " + log_;
    ASSERT_EQ(0u, runProgram("msiexec.exe /i \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x64.msi\" /qn CLIENTCOMMAND=\"" +
                             client + "\"", 120000));
    client_ = startLinkmon("--quiet --log \"" + log_ + "\"");
    ASSERT_TRUE(waitForLinkmonWindow(client_, 60000) != nullptr);
  }
  void TearDown() override {
    if (client_.process) stopLinkmon(&client_);
    runProgram("msiexec.exe /x \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x64.msi\" /qn", 120000);
  }

  // Plays the page with `command`; returns the messages of the linkmon it launched, closed.
  std::vector<LinkmonLogEntry> play(const std::string& command, std::string* output) {
    size_t before = readLinkmonLog(log_).size();
    EXPECT_EQ(0u, runProgram(command, 90000, output)) << command << "\n" << *output;
    return messagesSince(log_, before);
  }

  LaunchCommandsKept commands_;  // the package writes the machine's; a user's own comes first
  std::string page_, installed_, log_;
  LinkmonProcess client_;
};

TEST_F(RealBrowserTest, DemoPagePlaysInBothModesAsPagerunnerPlaysIt) {
  std::string output;
  std::vector<Trace> expected = objectTraces(
      play("\"" + programBesideTest("pagerunner.exe") + "\" --discover --browser=chromium \"" + page_ + "\"", &output));
  ASSERT_EQ(8u, expected.size()) << output;

  for (const char* mode : {" --disable-direct-npapi-requests", ""}) {
    SCOPED_TRACE(*mode ? mode : " (defaults)");
    size_t before = readLinkmonLog(log_).size();
    EXPECT_EQ(0u, playUntilPlayed("\"" + programBesideTest("cefhost.exe") + "\" --seconds=300 --disable-gpu" + mode +
                                      " \"" + page_ + "\"",
                                  "CefBrowserWindow", log_, before, expected.size() + 1, 1, 120000, &output))
        << output;
    std::vector<Trace> seen = objectTraces(messagesSince(log_, before));
    // The engine's crash events.
    EXPECT_EQ(std::string::npos, output.find("crashed")) << output;
    EXPECT_EQ(std::string::npos, output.find("renderer-terminated")) << output;
    EXPECT_NE(std::string::npos, output.find("plugin-load: " + installed_)) << output;
    EXPECT_EQ(1, expectWholeLives(seen)) << seen.size() << " objects";
    // The page's script writes one more object, which pagerunner (no script) never sees.
    ASSERT_TRUE(takeScriptedObject(&seen)) << output;
    EXPECT_EQ(expected, seen) << output;
  }
}

// The sample client in linkmon's place, in the browser's plug-in process: its child window
// inside each window the browser lends (handed out hidden on the desktop, then moved into the
// page), visible, at the window's size, and gone at window 0. Wine shows nothing drawn across
// processes, so its own log says where its windows sat.
TEST_F(RealBrowserTest, SampleClientsWindowSitsInEachWindowTheBrowserLends) {
  stopLinkmon(&client_);
  std::string log = newLinkmonLogPath("real-browser-sample"), output;
  SetEnvironmentVariableA("KELVORA_SAMPLE_LOG", log.c_str());
  setRegistryCommand(programBesideTest("kelvora_client.exe"));
  StartedProgram sample = startProgram("\"" + programBesideTest("kelvora_client.exe") + "\"");
  EXPECT_TRUE(pumpUntil([] { return FindWindowA("KelvoraLink", "Kelvora sample client") != nullptr; },
                        60000));
  // The script's object too; the browser shows those in view (the first ones on the page).
  StartedProgram browser =
      startProgram("\"" + programBesideTest("cefhost.exe") + "\" --seconds=300 --disable-gpu \"" + page_ + "\"");
  EXPECT_TRUE(pumpUntil(
      [&] { return sampleClientShowedAll(log, 9) || WaitForSingleObject(browser.process, 0) == WAIT_OBJECT_0; },
      120000));
  if (HWND window = findProcessWindow(browser.pid, "CefBrowserWindow")) PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, finishProgram(&browser, 120000 * ZUROV_WAIT_SCALE, &output)) << output;
  SCOPED_TRACE(output);
  closeSampleClient();
  std::string sampleOutput;
  finishProgram(&sample, 5000, &sampleOutput);
  SetEnvironmentVariableA("KELVORA_SAMPLE_LOG", nullptr);
  EXPECT_LE(1u, expectSampleClientChildWindows(log, 9));
}

// Under Wine 10 (ctest's picture_chromium39: Wine 8 shows nothing one process draws in
// another's window), the sample client's drawing seen in each box of the page in view.
TEST_F(RealBrowserTest, PictureShowsInEachBoxInView) {
  stopLinkmon(&client_);
  std::string log = newLinkmonLogPath("picture-chromium39"), output;
  LinkmonProcess client = startPictureClient(log);
  ASSERT_TRUE(client.process != nullptr);
  PictureVerdict seen;
  StartedProgram browser =
      startProgram("\"" + programBesideTest("cefhost.exe") + "\" --seconds=300 --disable-gpu \"" + page_ + "\"");
  // The script's object too; the browser shows those in view.
  pumpUntil([&] {
    seen = checkPicture(log);
    return (seen.lent == 9 && seen.passed()) || WaitForSingleObject(browser.process, 0) == WAIT_OBJECT_0;
  }, 120000);
  if (HWND window = findProcessWindow(browser.pid, "CefBrowserWindow")) PostMessageA(window, WM_CLOSE, 0, 0);
  finishProgram(&browser, 120000 * ZUROV_WAIT_SCALE, &output);
  stopPictureClient(&client);
  EXPECT_TRUE(seen.passed()) << seen.failures << output;
  EXPECT_EQ(9u, seen.lent) << seen.report;
  EXPECT_LE(3u, seen.checked) << seen.report;
  printf("%s", seen.report.c_str());
}

}  // namespace
