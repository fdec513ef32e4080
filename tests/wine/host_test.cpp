// zurov-link.exe for real, started through cmd.exe as Chrome and Edge start it, this test in
// the browser's place.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <atomic>
#include <thread>

#include "bridge/native_framing.h"
#include "include/kelvora_link.h"
#include "wine_test_support.h"

namespace {

// A page floods the host while it waits for the client to start: the writer is held in the
// pipe and the host's memory stays bounded. Then its window is owned by this test's window
// around the page, cut to its client area, hidden once the page falls silent and shown again
// by a lease; the object still ends.
TEST(Host, BoundedOwnedCutAndLeased) {
  LaunchCommandsKept commands;
  std::string log = newLinkmonLogPath("host");
  // Not quiet: the client the host starts writes to its console, never into the host's replies.
  setRegistryCommand(programBesideTest("linkmon.exe") + " --lifetime 60000 --window-delay 4000 --log " + log);
  HWND browser = CreateWindowExA(0, "STATIC", "browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                 640, 480, nullptr, nullptr, nullptr, nullptr);
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE in, inRead;
  ASSERT_TRUE(CreatePipe(&inRead, &in, &sa, 0));
  SetHandleInformation(in, HANDLE_FLAG_INHERIT, 0);
  Program broker = startProgram("cmd.exe /c \"" + programBesideTest("zurov-link.exe") + "\"", {}, true, inRead);
  CloseHandle(inRead);
  ASSERT_NE(nullptr, broker.process);
  auto count = [&](const char* what) {  // in the host's replies so far
    std::string replies = readFile(broker.outputPath);
    size_t n = 0;
    for (size_t at = replies.find(what); at != std::string::npos; at = replies.find(what, at + 1)) ++n;
    return n;
  };
  auto send = [&](const std::string& message) {
    std::string frame = nativeFrame(message);
    DWORD written;
    return WriteFile(in, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr) != FALSE;
  };

  EXPECT_TRUE(send("{\"type\":\"new\",\"id\":1,\"attributes\":[[\"server\",\"mediahost\"]]}"));
  const size_t FRAMES = 64;
  const std::string padded = "{\"type\":\"destroy\",\"id\":9,\"pad\":\"" + std::string(1000000, 'x') + "\"}";
  std::atomic<size_t> written{0};
  std::thread writer([&] {
    for (size_t i = 0; i < FRAMES && send(padded); ++i) written += padded.size();
  });
  size_t writtenAtVerdict = 0;
  EXPECT_TRUE(pumpUntil([&] { return (writtenAtVerdict = written), count("accepted") == 1; }, 60000));
  EXPECT_LT(writtenAtVerdict, FRAMES * padded.size() / 2);  // the writer was held
  EXPECT_TRUE(pumpUntil([&] { return count("no such object") == FRAMES; }, 60000));
  writer.join();
  HWND object = FindWindowA("KelvoraLinkObject", nullptr);
  DWORD hostPid = 0;
  GetWindowThreadProcessId(object, &hostPid);
  HANDLE host = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, hostPid);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  EXPECT_TRUE(host != nullptr && GetProcessMemoryInfo(host, &memory, sizeof memory));
  // Wine counts the working set alone: about 35 MB bounded here, 89 MB with no bound.
  EXPECT_LT(memory.PeakWorkingSetSize, size_t(56) << 20);
  CloseHandle(host);

  // The box runs 50 px past the page's bottom, where the page says it all shows.
  RECT page;
  GetClientRect(browser, &page);
  MapWindowPoints(browser, nullptr, reinterpret_cast<POINT*>(&page), 2);
  std::string box = "[" + std::to_string(page.left + 10) + "," + std::to_string(page.bottom - 100) + ",200,150]";
  send("{\"type\":\"window\",\"id\":1,\"box\":" + box + ",\"clip\":" + box + ",\"visible\":true}");
  EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(object) != FALSE; }, 10000));
  EXPECT_EQ(browser, GetWindow(object, GW_OWNER));
  EXPECT_EQ(0, GetWindowLongA(object, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT region = {};
  EXPECT_EQ(SIMPLEREGION, GetWindowRgnBox(object, &region));
  EXPECT_EQ(100, region.bottom - region.top);
  EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(object); }, 10000));
  send("{\"type\":\"lease\",\"ids\":[1]}");
  EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(object) != FALSE; }, 10000));

  CloseHandle(in);  // the input's end: the host destroys its objects and ends
  EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(broker.process, 0) == WAIT_OBJECT_0; }, 30000));
  std::vector<LinkmonLogEntry> sent = linkmonMessages(readLinkmonLog(log));
  EXPECT_TRUE(!sent.empty() && sent.back().code == LINKMSG_DESTROY);
  std::string replies = readFile(broker.outputPath);
  NativeFrameReader reader = {};
  std::vector<NativeFrame> frames;
  readNativeFrames(reader, reinterpret_cast<const unsigned char*>(replies.data()), replies.size(), frames);
  EXPECT_TRUE(nativeInputEndedCleanly(reader));
  for (const NativeFrame& f : frames) EXPECT_TRUE(!f.tooLong && f.body[0] == '{') << f.body;
  for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(log))) closeLinkmon(e.pid);
  finishProgram(&broker, 5000);
  DestroyWindow(browser);
}

}  // namespace
