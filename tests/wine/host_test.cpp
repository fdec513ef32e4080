// zurov-link.exe for real, started through cmd.exe as Chrome and Edge start it, this test's
// process in the browser's place: its windows are owned by this process's window around the
// page and cut to its client area, hide when the page stops reporting, and its reader stops
// while a flood waits behind a launch.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/native_framing.h"
#include "include/kelvora_link.h"
#include "wine_test_support.h"

namespace {

// The host with its standard input and output as pipes; its replies collected by a thread.
class Host {
 public:
  Host() {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE inRead, outWrite;
    if (!CreatePipe(&inRead, &in_, &sa, 0) || !CreatePipe(&out_, &outWrite, &sa, 0)) return;
    SetHandleInformation(in_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = si.hStdError = outWrite;
    std::string line = "cmd.exe /c \"" + programBesideTest("zurov-link.exe") + "\"";
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
      broker_ = pi.hProcess;
      CloseHandle(pi.hThread);
    }
    CloseHandle(inRead);
    CloseHandle(outWrite);
    reader_ = std::thread([this] {
      NativeFrameReader reader = {};
      std::vector<NativeFrame> frames;
      char buffer[4096];
      DWORD got;
      while (ReadFile(out_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        readNativeFrames(reader, reinterpret_cast<unsigned char*>(buffer), got, frames);
        std::lock_guard<std::mutex> hold(lock_);
        for (const NativeFrame& f : frames) replies_.push_back(f.body);
        frames.clear();
      }
    });
  }

  bool send(const std::string& message) {
    std::string frame = nativeFrame(message);
    DWORD written;
    return WriteFile(in_, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr) &&
           written == frame.size();
  }
  std::vector<std::string> replies() {
    std::lock_guard<std::mutex> hold(lock_);
    return replies_;
  }
  // The input's end: the host destroys its objects and ends, and so does cmd.exe.
  void end() {
    if (in_ != nullptr) CloseHandle(in_);
    in_ = nullptr;
    if (broker_ != nullptr) {
      EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(broker_, 0) == WAIT_OBJECT_0; }, 30000));
      CloseHandle(broker_);
      broker_ = nullptr;
    }
  }
  // Wine lends a client the host started its standard handles: the output ends with the client.
  ~Host() {
    end();
    if (reader_.joinable()) reader_.join();
    if (out_ != nullptr) CloseHandle(out_);
    out_ = nullptr;
  }

 private:
  HANDLE in_ = nullptr, out_ = nullptr, broker_ = nullptr;
  std::thread reader_;
  std::mutex lock_;
  std::vector<std::string> replies_;
};

HWND found;
BOOL CALLBACK findObjectWindow(HWND window, LPARAM) {
  char name[64];
  if (GetClassNameA(window, name, sizeof name) && strcmp(name, "KelvoraLinkObject") == 0) found = window;
  return found == nullptr;
}
HWND objectWindow() {
  found = nullptr;
  EnumWindows(findObjectWindow, 0);
  return found;
}

std::string windowMessage(const RECT& box, bool visible) {
  std::string b = "[" + std::to_string(box.left) + "," + std::to_string(box.top) + "," +
                  std::to_string(box.right - box.left) + "," + std::to_string(box.bottom - box.top) + "]";
  return "{\"type\":\"window\",\"id\":1,\"box\":" + b + ",\"clip\":" + b + ",\"visible\":" +
         (visible ? "true" : "false") + "}";
}
const char NEW_OBJECT[] = "{\"type\":\"new\",\"id\":1,\"attributes\":[[\"server\",\"mediahost\"]]}";

bool destroyedOnce(const std::string& log) {
  size_t destroys = 0;
  for (const LinkmonLogEntry& e : linkmonMessages(readLinkmonLog(log))) destroys += e.code == LINKMSG_DESTROY;
  return destroys == 1;
}

TEST(Host, OwnedByTheWindowAroundThePageCutToItAndHiddenWhenThePageFallsSilent) {
  std::string log = newLinkmonLogPath("host-owner");
  LinkmonProcess client = startLinkmon("--log \"" + log + "\"");
  struct Stop {
    LinkmonProcess* client;
    ~Stop() { stopLinkmon(client); }
  } stop = {&client};
  ASSERT_NE(nullptr, waitForLinkmonWindow(client, 30000));
  HWND browser = CreateWindowExA(0, "STATIC", "browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                 640, 480, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, browser);
  RECT page;  // the client area on the screen
  GetClientRect(browser, &page);
  MapWindowPoints(browser, nullptr, reinterpret_cast<POINT*>(&page), 2);
  {
    Host host;
    ASSERT_TRUE(host.send(NEW_OBJECT));
    ASSERT_TRUE(pumpUntil([&] { return !host.replies().empty(); }, 30000));
    EXPECT_NE(std::string::npos, host.replies()[0].find("accepted"));
    // The box runs 50 px past the page's bottom: the page says it all shows.
    RECT box = {page.left + 10, page.bottom - 100, page.left + 210, page.bottom + 50};
    ASSERT_TRUE(host.send(windowMessage(box, true)));
    HWND object = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (object = objectWindow()) != nullptr && IsWindowVisible(object); }, 10000));
    EXPECT_EQ(browser, GetWindow(object, GW_OWNER));
    EXPECT_EQ(0, GetWindowLongA(object, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT region = {};
    EXPECT_EQ(SIMPLEREGION, GetWindowRgnBox(object, &region));
    EXPECT_EQ(100, region.bottom - region.top);
    // No report for 500 ms: hidden; a lease brings it back.
    EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(object); }, 10000));
    ASSERT_TRUE(host.send("{\"type\":\"lease\",\"ids\":[1]}"));
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(object) != FALSE; }, 10000));
    host.end();
  }
  EXPECT_TRUE(pumpUntil([&] { return destroyedOnce(log); }, 10000));
  DestroyWindow(browser);
}

// A page floods the host while its main thread waits for the client to start: the reader
// stops at the limit, the writer waits, memory stays bounded, and the object still ends.
TEST(Host, AFloodDuringALaunchWaitsInThePipeAndTheObjectStillEnds) {
  LaunchCommandsKept commands;
  std::string log = newLinkmonLogPath("host-flood");
  setRegistryCommand(programBesideTest("linkmon.exe") + " --quiet --lifetime 60000 --window-delay 4000 --log " + log);
  Host host;
  ASSERT_TRUE(host.send(NEW_OBJECT));
  const size_t FRAMES = 64;
  const std::string padded = "{\"type\":\"destroy\",\"id\":9,\"pad\":\"" + std::string(1000000, 'x') + "\"}";
  std::atomic<size_t> written{0};
  std::thread writer([&] {
    for (size_t i = 0; i < FRAMES && host.send(padded); ++i) written += padded.size() + 4;
  });
  size_t writtenAtVerdict = 0;
  ASSERT_TRUE(pumpUntil([&] {
    writtenAtVerdict = written;
    return !host.replies().empty();
  }, 60000));
  EXPECT_NE(std::string::npos, host.replies()[0].find("accepted")) << host.replies()[0];
  EXPECT_LT(writtenAtVerdict, FRAMES * padded.size() / 2);  // the writer was held
  EXPECT_TRUE(pumpUntil([&] { return host.replies().size() == FRAMES + 1; }, 60000))
      << host.replies().size() << " replies, the last " << host.replies().back().substr(0, 80);
  writer.join();
  // The host's peak memory, through its process found by the client's window it shares.
  DWORD hostPid = 0;
  for (const LinkmonLogEntry& e : readLinkmonLog(log))
    if (e.event == "message" && e.code == LINKMSG_SET_WINDOW && e.data.size() >= 4) {
      HWND lent = reinterpret_cast<HWND>(static_cast<uintptr_t>(e.data[0] | e.data[1] << 8 | e.data[2] << 16 | e.data[3] << 24));
      GetWindowThreadProcessId(lent, &hostPid);
    }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, hostPid);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  ASSERT_TRUE(process != nullptr && GetProcessMemoryInfo(process, &memory, sizeof memory));
  CloseHandle(process);
  // Wine counts the working set alone: about 35 MB bounded here, 89 MB with no bound.
  EXPECT_LT(memory.PeakWorkingSetSize, size_t(56) << 20);
  host.end();
  EXPECT_TRUE(pumpUntil([&] { return destroyedOnce(log); }, 10000));
  for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(log))) closeLinkmon(e.pid);
}

}  // namespace
