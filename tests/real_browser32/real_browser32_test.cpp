// examples/demo.html in a real 32-bit browser (cef1host: the embedded engine of Chromium 21,
// plug-ins in its own process) with the shipped module installed from dist/ZUROV-x86.msi by
// the PC's msiexec and linkmon as the client, started first: in the emulated PC a client
// the module launches may take longer than the module's 10 s to show its window. Each
// object must go through its whole life in linkmon's log, nothing may fault, the module
// must come from where the package put it, and pagerunner's chromium family in process
// must produce the same messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/link_records.h"
#include "real_browser_support.h"

namespace {

class RealBrowser32Test : public testing::Test {
 protected:
  void SetUp() override {
    endCrashedProcessesAtOnce();
    SetEnvironmentVariableA("ZUROV_CEF_DIR", windowsPath("ZUROV_CEF_DIR").c_str());
    page_ = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
    installed_ = getenv("ProgramFiles") + std::string("\\Kelvora\\ZUROV.DLL");
    log_ = newLinkmonLogPath("real-browser32");
    std::string client = programBesideTest("linkmon.exe") + " --quiet --log " + log_;
    ASSERT_EQ(0u, runProgram("msiexec.exe /i \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x86.msi\" /qn CLIENTCOMMAND=\"" +
                             client + "\"", 300000 * ZUROV_WAIT_SCALE));
    client_ = startLinkmon("--quiet --log \"" + log_ + "\"");
    ASSERT_TRUE(waitForLinkmonWindow(client_, 60000) != nullptr);
  }
  void TearDown() override {
    if (client_.process) stopLinkmon(&client_);
    runProgram("msiexec.exe /x \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x86.msi\" /qn", 300000 * ZUROV_WAIT_SCALE);
  }

  LaunchCommandsKept commands_;  // the package writes the machine's; a user's own comes first
  std::string page_, installed_, log_;
  LinkmonProcess client_;
};

TEST_F(RealBrowser32Test, DemoPagePlaysAsPagerunnerPlaysIt) {
  std::string output;
  size_t before = readLinkmonLog(log_).size();
  EXPECT_EQ(0u, runProgram("\"" + programBesideTest("pagerunner.exe") + "\" --discover --browser=chromium --in-process \"" +
                               page_ + "\"",
                           120000 * ZUROV_WAIT_SCALE, &output))
      << output;
  std::vector<LinkmonLogEntry> pagerunnerMessages = messagesSince(log_, before);
  std::vector<Trace> expected = objectTraces(pagerunnerMessages);
  ASSERT_EQ(8u, expected.size()) << output;

  // The page is closed once each object, the scripted one too, has its window and the link
  // file has been forwarded; the engine's own limit only ends a page that never gets there.
  before = readLinkmonLog(log_).size();
  EXPECT_EQ(0u, playUntilPlayed("\"" + programBesideTest("cef1host.exe") + "\" --seconds=900 \"" + page_ + "\"",
                                "Cef1HostFrame", log_, before, expected.size() + 1, 1, 200000, &output))
      << output;
  std::vector<LinkmonLogEntry> browserMessages = messagesSince(log_, before);
  std::vector<Trace> seen = objectTraces(browserMessages);
  printTraces("pagerunner", expected, pagerunnerMessages);
  printTraces("browser", seen, browserMessages);
  printf("%s", output.c_str());

  EXPECT_EQ(std::string::npos, output.find("crashed")) << output;
  EXPECT_NE(std::string::npos, output.find("plugin-load: " + installed_)) << output;
  EXPECT_NE(std::string::npos, output.find("plugin-unload: ")) << output;
  EXPECT_EQ(1, expectWholeLives(seen)) << seen.size() << " objects";
  // The page's script writes one more object, which pagerunner (no script) never sees.
  ASSERT_TRUE(takeScriptedObject(&seen)) << output;
  EXPECT_EQ(expected, seen) << output;
}

}  // namespace
