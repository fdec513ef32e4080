#include "npp_test_fixture.h"

#include <cstring>
#include <map>

#include "link/client_locator.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"
#include "wine_test_support.h"

std::vector<HostCall> hostCalls;

namespace {

std::vector<HWND> hostWindows;

LRESULT recordHostCall(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  hostCalls.push_back({hwnd, message, wParam, lParam});
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return message == WM_APP ? HOST_RESULT : -1;
}

LRESULT CALLBACK hostProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT r = recordHostCall(hwnd, message, wParam, lParam);
  return r != -1 ? r : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK hostProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT r = recordHostCall(hwnd, message, wParam, lParam);
  return r != -1 ? r : DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

// The browser's page window: one visible top-level window for the whole run (mapping a
// top-level window is slow under Wine), the plug-in windows are its children.
HWND pageWindow() {
  static HWND page = nullptr;
  if (page == nullptr) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PluginTestPage";
    RegisterClassA(&wc);
    page = CreateWindowExA(WS_EX_NOACTIVATE, "PluginTestPage", "page", WS_POPUP | WS_VISIBLE, 0,
                           0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  }
  return page;
}

WNDPROC ansiHostProc() { return hostProcA; }
WNDPROC unicodeHostProc() { return hostProcW; }

HWND createAnsiHostWindow() {
  static ATOM atom = 0;
  if (atom == 0) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = hostProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PluginHostA";
    atom = RegisterClassA(&wc);
  }
  HWND hwnd = CreateWindowExA(0, "PluginHostA", "ansi host", WS_CHILD | WS_VISIBLE, 0, 0, 64, 64,
                              pageWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
  hostWindows.push_back(hwnd);
  return hwnd;
}

HWND createUnicodeHostWindow() {
  static ATOM atom = 0;
  if (atom == 0) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = hostProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PluginHostW";
    atom = RegisterClassW(&wc);
  }
  HWND hwnd = CreateWindowExW(0, L"PluginHostW", L"unicode host", WS_CHILD | WS_VISIBLE, 80, 0,
                              64, 64, pageWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
  hostWindows.push_back(hwnd);
  return hwnd;
}

size_t hostCallCount(HWND hwnd, UINT message) {
  size_t n = 0;
  for (const HostCall& c : hostCalls) n += c.hwnd == hwnd && c.message == message;
  return n;
}

HWND createMessageWindow(const char* className, WNDPROC proc) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
  return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                         nullptr);
}

bool restored(HWND hwnd) {
  return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ansiHostProc());
}

bool ClientSession::start(const char* reply, uint16_t firstId, const std::string& options) {
  logPath_ = newLinkmonLogPath("npp");
  std::string args = "--quiet --log \"" + logPath_ + "\" --reply " + reply + " --first-id " +
                     std::to_string(firstId) + " " + options;
  process_ = startLinkmon(args);
  if (process_.process == nullptr) return false;
  if (waitForLinkmonWindow(process_, 10000) == nullptr) return false;
  return findLinkWindow() != nullptr;
}

void ClientSession::stop(DWORD timeoutMs) {
  if (process_.process != nullptr) stopLinkmon(&process_, timeoutMs);
  process_ = LinkmonProcess();
  findLinkWindow();
}

std::vector<ReceivedMessage> ClientSession::messages() const {
  return linkmonMessages(readLinkmonLog(logPath_));
}

// The fixed settings go through the environment, which the client inherits: the command has
// to fit the module's 160 bytes wherever the build folder is.
LaunchedClient::LaunchedClient(const char* options) : log_(newLinkmonLogPath("launched")) {
  SetEnvironmentVariableA("LINKMON_QUIET", "1");
  SetEnvironmentVariableA("LINKMON_LIFETIME", "30000");
  SetEnvironmentVariableA("LINKMON_LOG", log_.c_str());
  std::string command = "\"" + programBesideTest("linkmon.exe") + "\" " + options;
  EXPECT_TRUE(setLaunchCommand(command.c_str())) << command;
}

LaunchedClient::~LaunchedClient() {
  for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(log_))) closeLinkmon(e.pid);
  for (const char* name : {"LINKMON_QUIET", "LINKMON_LIFETIME", "LINKMON_LOG"})
    SetEnvironmentVariableA(name, nullptr);
  setLaunchCommand("");
  findLinkWindow();
}

void expectNothingLeft() {
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  for (const InstanceSlot& slot : instanceTable.slots) EXPECT_EQ(0, slot.inUse);
}

void expectConsistent(const std::vector<ReceivedMessage>& sent) {
  expectNothingLeft();
  std::map<uint64_t, int> handedOut, destroyed;
  for (const ReceivedMessage& m : sent) {
    if (m.code == LINKMSG_NEW && (m.reply & 0xFFFF) == 0) ++handedOut[m.reply >> 16];
    if (m.code == LINKMSG_DESTROY) ++destroyed[m.linkId];
  }
  EXPECT_EQ(handedOut, destroyed);
  for (const auto& id : handedOut) EXPECT_EQ(1, id.second) << "identifier " << id.first;
}

std::vector<uint32_t> codesOf(const std::vector<ReceivedMessage>& messages) {
  std::vector<uint32_t> codes;
  for (const ReceivedMessage& m : messages) codes.push_back(m.code);
  return codes;
}

NPError createInstance(TestInstance& instance,
                       std::vector<std::pair<std::string, std::string>> attributes) {
  std::vector<char*> names, values;
  for (auto& a : attributes) {
    names.push_back(&a.first[0]);
    values.push_back(&a.second[0]);
  }
  char mimeType[] = "application/x-kvla";
  return NPP_New(mimeType, instance.handle(), NP_EMBED, static_cast<int16_t>(attributes.size()),
                 names.data(), values.data(), nullptr);
}

NPError setWindow(TestInstance& instance, HWND hwnd) {
  NPWindow window = {};
  window.window = hwnd;
  window.width = 64;
  window.height = 64;
  window.type = NPWindowTypeWindow;
  return NPP_SetWindow(instance.handle(), &window);
}

void NppTest::SetUp() {
  memset(&instanceTable, 0, sizeof instanceTable);
  forgetClient();
  hostCalls.clear();
  findLinkWindow();
}

void NppTest::TearDown() {
  for (HWND hwnd : hostWindows) DestroyWindow(hwnd);
  hostWindows.clear();
  memset(&instanceTable, 0, sizeof instanceTable);
  forgetClient();
  findLinkWindow();
}
