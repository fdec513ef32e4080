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

#include <string>
#include <vector>

#include "tools/picturecheck/screen_picture.h"
#include "real_browser_support.h"

namespace {

class RealBrowserTest : public RealBrowserSession {
 protected:
  RealBrowserTest() : RealBrowserSession("ZUROV-x64.msi", "ProgramW6432", 120000) {}
  void SetUp() override {
    // Blink's renderer dies on every page without these three fonts.
    const char* fonts = "Software\\Wine\\Fonts\\Replacements";
    setRegistryText(HKEY_CURRENT_USER, fonts, "Times New Roman", "Liberation Serif");
    setRegistryText(HKEY_CURRENT_USER, fonts, "Arial", "Liberation Sans");
    setRegistryText(HKEY_CURRENT_USER, fonts, "Courier New", "Liberation Mono");
    RealBrowserSession::SetUp();
  }

  // cefhost on the page with `options`.
  std::string cefhost(const std::string& options) {
    return "\"" + programBesideTest("cefhost.exe") + "\" --seconds=300 --disable-gpu" + options + " \"" + page_ + "\"";
  }
};

TEST_F(RealBrowserTest, DemoPagePlaysInBothModesAsPagerunnerPlaysIt) {
  std::string output;
  std::vector<LinkmonLogEntry> pagerunner = playInPagerunner("", 90000, &output);
  size_t objects = objectTraces(pagerunner).size();
  ASSERT_EQ(8u, objects) << output;

  for (const char* mode : {" --disable-direct-npapi-requests", ""}) {
    SCOPED_TRACE(*mode ? mode : " (defaults)");
    std::vector<LinkmonLogEntry> browser;
    // The page's script writes one more object, which pagerunner (no script) never sees.
    EXPECT_EQ(0u, playUntilPlayed(cefhost(mode), "CefBrowserWindow", objects + 1, 1, 120000, &output, &browser))
        << output;
    expectPlayedAsPagerunner(pagerunner, browser, output);
  }
}

// The sample client in linkmon's place, in the browser's plug-in process: its child window
// inside each window the browser lends (handed out hidden on the desktop, then moved into the
// page), visible, at the window's size, and gone at window 0. Wine shows nothing drawn across
// processes, so its own log says where its windows sat.
TEST_F(RealBrowserTest, SampleClientsWindowSitsInEachWindowTheBrowserLends) {
  stopLinkmon(&client_);
  std::string log = newLinkmonLogPath("real-browser-sample"), output;
  // The browser's too: a sample client the module launches logs there.
  const Environment env = {{"KELVORA_SAMPLE_LOG", log}};
  setRegistryCommand(programBesideTest("kelvora_client.exe"));
  Program sample = startProgram("\"" + programBesideTest("kelvora_client.exe") + "\"", env);
  EXPECT_TRUE(pumpUntil([] { return FindWindowA("KelvoraLink", "Kelvora sample client") != nullptr; },
                        60000));
  // The script's object too; the browser shows those in view (the first ones on the page).
  Program browser = startProgram(cefhost(""), env);
  EXPECT_TRUE(playUntil(browser, "CefBrowserWindow", [&] { return sampleClientShowedAll(log, 9); }, 120000));
  EXPECT_EQ(0u, finishProgram(&browser, 120000, &output)) << output;
  SCOPED_TRACE(output);
  closeSampleClient();
  finishProgram(&sample, 5000);
  EXPECT_LE(1u, expectSampleClientChildWindows(log, 9));
}

// Under Wine 10 (ctest's picture_chromium39: Wine 8 shows nothing one process draws in
// another's window), the sample client's drawing seen in each box of the page in view.
TEST_F(RealBrowserTest, PictureShowsInEachBoxInView) {
  stopLinkmon(&client_);
  std::string log = newLinkmonLogPath("picture-chromium39"), output;
  LinkmonProcess client = startPictureClient(log);
  ASSERT_TRUE(client.process != nullptr);
  PictureLook look;
  const PictureVerdict& seen = look.seen;
  Program browser = startProgram(cefhost(""));
  // The script's object too; the browser shows those in view.
  playUntil(browser, "CefBrowserWindow", [&] { return lookAtPicture(&look, log), seen.lent == 9 && seen.passed(); }, 120000);
  finishProgram(&browser, 120000, &output);
  stopPictureClient(&client);
  EXPECT_TRUE(seen.passed()) << seen.failures << output;
  EXPECT_EQ(9u, seen.lent) << seen.report;
  EXPECT_LE(3u, seen.checked) << seen.report;
  printf("%sboxes repainted after the client drew: %u\n", seen.report.c_str(), look.repaints);
}

}  // namespace
