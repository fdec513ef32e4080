// ZUROV.DLL loaded by path, as a browser loads it: the library entry routine and the three
// exported NP_ functions. Each test loads the module afresh, so its module-wide state starts
// as at a browser's first load. The client check runs in NP_PluginInit.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "link/link_records.h"
#include "link/modal_loop_filter.h"
#include "plugin/npapi.h"
#include "wine_test_support.h"

namespace {

typedef NPError(NP_OSCALL* GetEntryPointsProc)(NPPluginFuncs*);
typedef NPError(NP_OSCALL* PluginInitProc)(NPNetscapeFuncs*);
typedef NPError(NP_OSCALL* PluginShutdownProc)();

const char CLIENT_MISSING[] =
    "Unable to locate Kelvora Application!\r\rThe Main Kelvora App (ORBIPLAY) should be "
    "running before a Kelvora Link is accessed!";

std::string modulePath() { return programBesideTest("ZUROV.DLL"); }

// Whether this process has the library loaded; the module reaches these two on demand.
bool loaded(const char* library) { return GetModuleHandleA(library) != nullptr; }

// Keeps the registry's launch commands as they were before the test; the user's own, which
// the module reads first (and writes), is absent during it.
class ModuleLoadTest : public ::testing::Test {
 private:
  LaunchCommandsKept commands_;
};

TEST_F(ModuleLoadTest, LoadsBesideARunningClientAndFillsTheFunctionTable) {
  std::string log = newLinkmonLogPath("module-load");
  LinkmonProcess client = startLinkmon("--quiet --log " + log);
  ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
  setRegistryCommand("Z:\\nonexistent\\never-started.exe");  // loading must not launch

  HMODULE module = LoadLibraryA(modulePath().c_str());
  ASSERT_TRUE(module != nullptr) << GetLastError();
  auto getEntryPoints = reinterpret_cast<GetEntryPointsProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "NP_GetEntryPoints")));
  auto pluginInit = reinterpret_cast<PluginInitProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "NP_PluginInit")));
  auto pluginShutdown = reinterpret_cast<PluginShutdownProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "NP_PluginShutdown")));
  ASSERT_TRUE(getEntryPoints && pluginInit && pluginShutdown);
  EXPECT_TRUE(GetProcAddress(module, "SubClassProc") != nullptr);
  EXPECT_TRUE(GetProcAddress(module, "FCDLGProc") != nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(getEntryPoints),
            reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));

  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, getEntryPoints(nullptr));

  // Size 0: the module fills the table and sets the size to its own.
  NPPluginFuncs table;
  memset(&table, 0xCC, sizeof table);
  table.size = 0;
  EXPECT_EQ(NPERR_NO_ERROR, getEntryPoints(&table));
  EXPECT_EQ(NP_PLUGIN_FUNCS_MIN_SIZE, table.size);
  EXPECT_EQ(6, table.version);
  NPP_NewProcPtr* entries = &table.newp;
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(entries[i] != nullptr) << "entry " << i;
  EXPECT_TRUE(table.event == nullptr);

  // One byte short: refused, nothing filled.
  memset(&table, 0xCC, sizeof table);
  table.size = NP_PLUGIN_FUNCS_MIN_SIZE - 1;
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, getEntryPoints(&table));
  EXPECT_EQ(0xCCCC, table.version);

  // A larger table: the known part is filled, the size and the rest stay the browser's.
  struct {
    NPPluginFuncs known;
    unsigned char more[16];
  } larger;
  memset(&larger, 0xCC, sizeof larger);
  larger.known.size = NP_PLUGIN_FUNCS_MIN_SIZE + 16;
  EXPECT_EQ(NPERR_NO_ERROR, getEntryPoints(&larger.known));
  EXPECT_EQ(NP_PLUGIN_FUNCS_MIN_SIZE + 16, larger.known.size);
  EXPECT_TRUE(larger.known.newp != nullptr);
  EXPECT_EQ(0xCC, larger.more[0]);

  EXPECT_EQ(NPERR_NO_ERROR, pluginInit(nullptr));
  NPNetscapeFuncs browser = {sizeof browser, 0x0006};
  EXPECT_EQ(NPERR_NO_ERROR, pluginInit(&browser));
  EXPECT_FALSE(loaded("comdlg32.dll"));
  EXPECT_FALSE(loaded("winmm.dll"));
  EXPECT_EQ(NPERR_NO_ERROR, pluginShutdown());
  EXPECT_TRUE(FreeLibrary(module));

  EXPECT_EQ(0u, stopLinkmon(&client));
  EXPECT_TRUE(linkmonMessages(readLinkmonLog(log)).empty());  // loading sends nothing
  EXPECT_EQ("Z:\\nonexistent\\never-started.exe", registryCommand());
}

// The module's three NP_ functions, looked up by name.
struct LoadedModule {
  HMODULE module = nullptr;
  GetEntryPointsProc getEntryPoints = nullptr;
  PluginInitProc pluginInit = nullptr;
  PluginShutdownProc pluginShutdown = nullptr;
  NPPluginFuncs table = {};  // filled by NP_GetEntryPoints
};

std::wstring widePath(const std::string& path) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  return wide;
}

LoadedModule loadModule(const std::wstring& path = widePath(modulePath())) {
  LoadedModule m;
  m.module = LoadLibraryW(path.c_str());
  if (m.module == nullptr) return m;
  m.getEntryPoints = reinterpret_cast<GetEntryPointsProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_GetEntryPoints")));
  m.pluginInit = reinterpret_cast<PluginInitProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_PluginInit")));
  m.pluginShutdown = reinterpret_cast<PluginShutdownProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_PluginShutdown")));
  m.table.size = sizeof m.table;
  if (m.getEntryPoints) m.getEntryPoints(&m.table);
  return m;
}

NPError newInstance(LoadedModule& m, NPP_t* npp) {
  char mimeType[] = "application/x-kvla";
  return m.table.newp(mimeType, npp, NP_EMBED, 0, nullptr, nullptr, nullptr);
}

NPError giveWindow(LoadedModule& m, NPP_t* npp, HWND hwnd) {
  NPWindow window = {};
  window.window = hwnd;
  return m.table.setwindow(npp, &window);
}

// The client application the module launched, found by its control window.
void stopLaunchedLinkmon() {
  HWND control = FindWindowA("KelvoraLinkMonitor", nullptr);
  DWORD pid = 0;
  if (control) GetWindowThreadProcessId(control, &pid);
  if (pid) closeLinkmon(pid);
}

TEST_F(ModuleLoadTest, InitLaunchesTheConfiguredClientAndLoadingDoesNot) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  ASSERT_FALSE(loaded("winmm.dll"));
  std::string log = newLinkmonLogPath("module-launch");
  std::string command = programBesideTest("linkmon.exe") + " --quiet --lifetime 30000 --log " + log;
  setRegistryCommand(command);

  LoadedModule m = loadModule();
  ASSERT_TRUE(m.module != nullptr) << GetLastError();
  ASSERT_TRUE(m.pluginInit != nullptr);
  // The entry routine runs under the loader lock: it starts and waits for nothing.
  EXPECT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  EXPECT_TRUE(readLinkmonLog(log).empty());

  // NP_PluginInit returns only once the client's link window exists.
  NPNetscapeFuncs browser = {sizeof browser, 0x0006};
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginInit(&browser));
  EXPECT_TRUE(FindWindowA("KelvoraLink", nullptr) != nullptr);
  // The wait's timer came with the launch and goes at shutdown.
  EXPECT_TRUE(loaded("winmm.dll"));
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_FALSE(loaded("winmm.dll"));
  EXPECT_TRUE(FreeLibrary(m.module));

  std::vector<LinkmonLogEntry> entries = readLinkmonLog(log);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ("start", entries[0].event);
  EXPECT_EQ(command + " /$l", entries[0].commandLine);
  EXPECT_EQ(command, registryCommand());
  stopLaunchedLinkmon();
}

TEST_F(ModuleLoadTest, InitIsRefusedWithAWarningWhenNoClientCanBeReached) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  setRegistryCommand("Z:\\nonexistent\\never-started.exe");

  LoadedModule m = loadModule();
  ASSERT_TRUE(m.module != nullptr) << GetLastError();
  MessageBoxSeen seen;
  std::thread watcher = startMessageBoxWatcher("ZUROV.DLL", &seen);
  DWORD start = GetTickCount();
  NPError result = m.pluginInit(nullptr);
  DWORD elapsed = GetTickCount() - start;
  watcher.join();
  EXPECT_FALSE(loaded("winmm.dll"));  // released: no NP_Shutdown follows a failed init
  EXPECT_TRUE(FreeLibrary(m.module));

  EXPECT_EQ(NPERR_MODULE_LOAD_FAILED_ERROR, result);
  EXPECT_LT(elapsed, 8000u);  // a command that cannot start is not waited for
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(nullptr, seen.owner);
  EXPECT_EQ("ZUROV.DLL", seen.caption);
  EXPECT_EQ(CLIENT_MISSING, seen.text);
  EXPECT_TRUE(seen.icon != nullptr);
  EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), seen.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, seen.buttonIds);
}

TEST_F(ModuleLoadTest, BrowseWorksInTheDialogShownByInit) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  deleteRegistryCommand();
  char directory[MAX_PATH] = "";
  GetProfileStringA("Belcor", "VUVE", "", directory, sizeof directory);
  ASSERT_STREQ("", directory);
  std::string program = programBesideTest("linkmon.exe");
  // Inherited by the linkmon that the module starts: silent, and gone after 30 s at the most.
  SetEnvironmentVariableA("LINKMON_QUIET", "1");
  SetEnvironmentVariableA("LINKMON_LIFETIME", "30000");

  LoadedModule m = loadModule();
  ASSERT_TRUE(m.module != nullptr) << GetLastError();
  std::string fieldAfterBrowse;
  DialogWatcher user("Finding Kelvora Client Application", [&](HWND d) {
    pressDialogButton(d, 1010);  // Browse
    HWND open = waitForDialog("Find Kelvora Client APP (ORBIPLAY.EXE)", 30000);
    if (open) {
      chooseInFileDialog(open, program.c_str());
      waitForWindowGone(open, 30000);
    }
    for (int i = 0; i < 100 && dialogItemText(d, 1000) == "ORBIPLAY"; ++i) Sleep(10);
    fieldAfterBrowse = dialogItemText(d, 1000);
    pressDialogButton(d, IDOK);
  });
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
  user.stop();
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_FALSE(loaded("comdlg32.dll"));
  EXPECT_TRUE(FreeLibrary(m.module));

  EXPECT_TRUE(user.seen());
  EXPECT_EQ(program, fieldAfterBrowse);
  EXPECT_EQ(program, registryCommand());
  EXPECT_TRUE(FindWindowA("KelvoraLink", nullptr) != nullptr);
  stopLaunchedLinkmon();
  SetEnvironmentVariableA("LINKMON_QUIET", nullptr);
  SetEnvironmentVariableA("LINKMON_LIFETIME", nullptr);
}

// When the test's WH_MSGFILTER hook first heard the module's launch wait; and a browser call
// that the page makes from inside the module's dialog, posted to the page window.
DWORD firstWaitFilterAt = 0;
LRESULT CALLBACK messageFilter(int code, WPARAM wParam, LPARAM lParam) {
  if (code == LAUNCH_WAIT_FILTER_CODE && !firstWaitFilterAt) firstWaitFilterAt = GetTickCount();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
std::function<void()> pageCall;
LRESULT CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) pageCall();
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
HWND createPageWindow() {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {0, pageProc, 0, 0, exe, nullptr, nullptr, nullptr, nullptr, "NestedPage"};
  RegisterClassA(&wc);
  return CreateWindowExA(0, "NestedPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, exe, nullptr);
}

// While the find-client dialog is open, the page creates a second object, then closes: the
// browser shuts the module down and frees it from inside the dialog.
TEST_F(ModuleLoadTest, CallsDuringTheDialogFailAtOnceOrUnloadSafelyAndTheWaitIsAModalLoop) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  deleteRegistryCommand();
  // The module waits 10 s of real time for the window: the emulated PC's slower client start
  // needs the room, so its delay grows less than its other waits.
  const DWORD windowDelay = 3000 + 500 * (ZUROV_WAIT_SCALE - 1);
  std::string command =
      programBesideTest("linkmon.exe") + " --window-delay " + std::to_string(windowDelay);
  SetEnvironmentVariableA("LINKMON_QUIET", "1");
  LoadedModule m = loadModule();
  ASSERT_TRUE(m.module != nullptr);
  NPP_t nested = {};
  std::atomic<int> nestedResult{-1};
  DWORD nestedMs = 0;
  pageCall = [&] {
    DWORD start = GetTickCount();
    NPError result = newInstance(m, &nested);
    nestedMs = GetTickCount() - start;
    m.pluginShutdown();
    FreeLibrary(m.module);
    nestedResult = result;
  };
  HWND page = createPageWindow();
  HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, messageFilter, nullptr, GetCurrentThreadId());
  MessageBoxSeen box;
  std::thread boxWatcher = startMessageBoxWatcher("ZUROV.DLL", &box);
  DialogWatcher user("Finding Kelvora Client Application", [&](HWND d) {
    PostMessageA(page, WM_APP, 0, 0);
    for (int i = 0; i < 500 && nestedResult == -1; ++i) Sleep(10);
    SetDlgItemTextA(d, 1000, command.c_str());
    pressDialogButton(d, IDOK);
  });
  // The module's code stays mapped under its dialog, and the launch goes on.
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
  DWORD returnedAt = GetTickCount();
  user.stop();
  boxWatcher.join();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(NPERR_MODULE_LOAD_FAILED_ERROR, nestedResult.load());
  EXPECT_LT(nestedMs, 1000u);
  EXPECT_FALSE(box.found);
  // The hook heard of the wait long before the window came, 3 s in: in its first second.
  EXPECT_NE(0u, firstWaitFilterAt) << "the wait never called the message filter";
  EXPECT_GE(returnedAt - firstWaitFilterAt, windowDelay - 1000 * ZUROV_WAIT_SCALE);

  // Loaded again, the dialog's answer serves the calls after it, and the next shutdown gives
  // back the module's own reference.
  EXPECT_EQ(m.module, LoadLibraryW(widePath(modulePath()).c_str()));
  EXPECT_EQ(NPERR_NO_ERROR, newInstance(m, &nested));
  EXPECT_EQ(NPERR_NO_ERROR, m.table.destroy(&nested, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_TRUE(FreeLibrary(m.module));
  EXPECT_FALSE(loaded(modulePath().c_str()));
  DestroyWindow(page);
  stopLaunchedLinkmon();
  SetEnvironmentVariableA("LINKMON_QUIET", nullptr);
}

// The plug-in window of the tests below, and a browser's procedure put above the module's.
const LRESULT HOST_RESULT = 0x5A5A;
WNDPROC belowBrowser = nullptr;
int hostPaints = 0;
LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++hostPaints;
  return message == WM_APP ? HOST_RESULT : DefWindowProcA(hwnd, message, wParam, lParam);
}
LRESULT CALLBACK browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(belowBrowser, hwnd, message, wParam, lParam);
}
void browserHooks(HWND hwnd) {
  belowBrowser = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserProc)));
}
HWND createHostWindow() {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {0, hostProc, 0, 0, exe, nullptr, nullptr, nullptr, nullptr, "UnloadHost"};
  RegisterClassA(&wc);
  return CreateWindowExA(WS_EX_NOACTIVATE, "UnloadHost", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                         nullptr, nullptr, exe, nullptr);
}
// A repaint of the window; true when it reached the page's own procedure exactly once.
bool paintsOnce(HWND hwnd) {
  hostPaints = 0;
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  return hostPaints == 1;
}

// A WM_NCDESTROY posted to the window while it is hidden (browsers hide the windows of
// background tabs), then shown again: any program can do that to the handle it was lent.
void postForgedDestruction(HWND hwnd) {
  ShowWindow(hwnd, SW_HIDE);
  PostMessageA(hwnd, WM_NCDESTROY, 0, 0);
  pumpUntil([] { return true; }, 0);  // dispatches what is queued
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

// The page closes while the module talks: the client's answer to LINKMSG_STREAM_INFO sends a
// message to the browser's thread, which destroys the instance, shuts the module down and
// frees it. The send returns into the module, mapped until its next shutdown.
TEST_F(ModuleLoadTest, AnUnloadDuringASendLeavesTheModuleMappedUntilTheNextShutdown) {
  ASSERT_FALSE(loaded(modulePath().c_str()));
  LoadedModule m = loadModule();
  NPP_t npp = {};
  HWND page = createPageWindow();
  std::vector<WPARAM> codes;
  ThreadClient client([&](WPARAM code) -> LRESULT {
    codes.push_back(code);
    if (code == LINKMSG_STREAM_INFO) SendMessageA(page, WM_APP, 0, 0);
    return code == LINKMSG_NEW ? 1 << 16 : 1;
  });
  pageCall = [&] { m.table.destroy(&npp, nullptr), m.pluginShutdown(), FreeLibrary(m.module); };
  ASSERT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
  ASSERT_EQ(NPERR_NO_ERROR, newInstance(m, &npp));
  unsigned char file[40] = {'K', 0, 0, 0, 10, 0, 0, 1, 0x1F, 0x90, 0, 0, 0, 3, 0, 0};
  EXPECT_EQ(40, m.table.write(&npp, nullptr, 0, sizeof file, file));
  EXPECT_TRUE(loaded(modulePath().c_str()));
  EXPECT_EQ((std::vector<WPARAM>{LINKMSG_NEW, LINKMSG_STREAM_INFO, LINKMSG_DESTROY}), codes);
  EXPECT_EQ(m.module, LoadLibraryW(widePath(modulePath()).c_str()));
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_TRUE(FreeLibrary(m.module));
  EXPECT_FALSE(loaded(modulePath().c_str()));
  DestroyWindow(page);
}

// Another program's WM_NCDESTROY, sent from another thread or posted to the hidden window,
// with SubClassProc on top and then under a browser's procedure; then the window given again,
// and to a second instance.
TEST_F(ModuleLoadTest, ForgedDestructionAndASharedWindowLeaveTheChainWhole) {
  LinkmonProcess client = startLinkmon("--quiet");
  ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
  HWND hwnd = createHostWindow();
  LoadedModule m = loadModule();
  ASSERT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
  NPP_t first = {}, second = {};
  ASSERT_EQ(NPERR_NO_ERROR, newInstance(m, &first));
  ASSERT_EQ(NPERR_NO_ERROR, newInstance(m, &second));
  ASSERT_EQ(NPERR_NO_ERROR, giveWindow(m, &first, hwnd));
  for (bool underBrowser : {false, true}) {
    if (underBrowser) browserHooks(hwnd);
    std::atomic<bool> sent{false};
    std::thread other([&] {
      SendMessageTimeoutA(hwnd, WM_NCDESTROY, 0, 0, SMTO_NORMAL, 5000, nullptr);
      sent = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return sent.load(); }, 5000));
    other.join();
    postForgedDestruction(hwnd);
    EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
  }
  EXPECT_EQ(NPERR_NO_ERROR, giveWindow(m, &first, hwnd));
  EXPECT_EQ(NPERR_NO_ERROR, giveWindow(m, &second, hwnd));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(m.module, "SubClassProc")),
            reinterpret_cast<void*>(belowBrowser));
  EXPECT_TRUE(paintsOnce(hwnd));  // no recursion

  // The browser steps out, SubClassProc follows, and the module really goes.
  EXPECT_EQ(NPERR_NO_ERROR, m.table.destroy(&first, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, m.table.destroy(&second, nullptr));
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(hostProc), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_TRUE(FreeLibrary(m.module));
  EXPECT_FALSE(loaded(modulePath().c_str()));
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
  DestroyWindow(hwnd);
  EXPECT_EQ(0u, stopLinkmon(&client));
}

// A copy of the module in a folder whose name the ANSI code page cannot spell, as the per-user
// package's folder under a Cyrillic user name; empty when it cannot be made.
std::wstring copyInCyrillicFolder() {
  const wchar_t name[] = L"\u041F\u043B\u0430\u0433\u0438\u043D";
  char ansi[32];
  BOOL defaulted = FALSE;
  WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, sizeof ansi, nullptr, &defaulted);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name, copy = folder + L"\\npzurov.dll";
  CreateDirectoryW(folder.c_str(), nullptr);
  bool copied = CopyFileW(widePath(modulePath()).c_str(), copy.c_str(), FALSE);
  return defaulted && copied ? copy : L"";
}

// One browser's life with a plug-in window: NPP_New, NPP_SetWindow, the browser's procedure
// over the module's, a NULL window, NPP_Destroy, NP_Shutdown, FreeLibrary. `browserStillOnTop`:
// the browser has not stepped out of the window's chain by then. The module is unloaded only
// when nothing of it is left in the chain, and the window works either way.
void playUnload(const std::wstring& path, bool browserStillOnTop) {
  ASSERT_FALSE(path.empty());
  std::string log = newLinkmonLogPath("module-unload");
  LinkmonProcess client = startLinkmon("--quiet --log " + log);
  ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
  HWND hwnd = createHostWindow();
  LoadedModule m = loadModule(path);
  ASSERT_TRUE(m.module != nullptr);
  ASSERT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
  NPP_t npp = {};
  ASSERT_EQ(NPERR_NO_ERROR, newInstance(m, &npp));
  ASSERT_EQ(NPERR_NO_ERROR, giveWindow(m, &npp, hwnd));
  browserHooks(hwnd);
  EXPECT_EQ(NPERR_NO_ERROR, giveWindow(m, &npp, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, m.table.destroy(&npp, nullptr));
  if (!browserStillOnTop)
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
  EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
  EXPECT_TRUE(FreeLibrary(m.module));
  EXPECT_EQ(browserStillOnTop, GetModuleHandleW(path.c_str()) != nullptr);
  EXPECT_TRUE(paintsOnce(hwnd));
  EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
  if (browserStillOnTop) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
    EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
  }
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(hostProc), GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  DestroyWindow(hwnd);
  EXPECT_EQ(0u, stopLinkmon(&client));
  static const ExpectedLinkMessage SENT[] = {{LINKMSG_NEW, 0},
                                             {LINKMSG_SET_WINDOW, ANY_LINK_ID},
                                             {LINKMSG_SET_WINDOW, ANY_LINK_ID},
                                             {LINKMSG_DESTROY, ANY_LINK_ID}};
  expectLinkMessages(linkmonMessages(readLinkmonLog(log)), SENT);
}

// These three come last in this file, in this order: the second and third leave the module
// loaded in this process for good.
TEST_F(ModuleLoadTest, UnloadsWhenTheBrowserSteppedOutOfTheWindowBeforeShutdown) {
  playUnload(widePath(modulePath()), false);
}

TEST_F(ModuleLoadTest, StaysLoadedWhileTheBrowsersProcedureIsStillAboveItsOwn) {
  playUnload(widePath(modulePath()), true);
}

// The per-user package's folder under a Cyrillic user name: pinned by address, not by name.
TEST_F(ModuleLoadTest, StaysLoadedFromAFolderTheAnsiCodePageCannotSpell) {
  playUnload(copyInCyrillicFolder(), true);
}

}  // namespace
