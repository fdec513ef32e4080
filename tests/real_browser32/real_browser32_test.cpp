// examples/demo.html in a real 32-bit browser (cef1host: the embedded engine of Chromium 21,
// plug-ins in its own process) with the shipped module installed from dist/ZUROV-x86.msi by
// the PC's msiexec and linkmon as the client, started first: in the emulated PC a client
// the module launches may take longer than the module's 10 s to show its window. Each
// object must go through its whole life in linkmon's log, nothing may fault, the module
// must come from where the package put it, and pagerunner's chromium family in process
// must produce the same messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "real_browser_support.h"

namespace {

class RealBrowser32Test : public RealBrowserSession {
 protected:
  RealBrowser32Test() : RealBrowserSession("ZUROV-x86.msi", "ProgramFiles", 300000) {}
};

TEST_F(RealBrowser32Test, DemoPagePlaysAsPagerunnerPlaysIt) {
  std::string output;
  std::vector<LinkmonLogEntry> pagerunner = playInPagerunner("--in-process", 120000, &output);
  size_t objects = objectTraces(pagerunner).size();
  ASSERT_EQ(8u, objects) << output;

  // The page is closed once each object, the scripted one too, has its window and the link
  // file has been forwarded; the engine's own limit only ends a page that never gets there.
  std::vector<LinkmonLogEntry> browser;
  EXPECT_EQ(0u, playUntilPlayed("\"" + programBesideTest("cef1host.exe") + "\" --seconds=900 \"" + page_ + "\"",
                                "Cef1HostFrame", objects + 1, 1, 200000, &output, &browser))
      << output;
  printf("%s", output.c_str());
  EXPECT_NE(std::string::npos, output.find("plugin-unload: ")) << output;
  expectPlayedAsPagerunner(pagerunner, browser, output);
}

}  // namespace
