// ZUROV.DLL loaded by path, as a browser loads it: the library entry routine and the three
// exported NP_ functions. Each test loads the module afresh, so its module-wide state starts
// as at a browser's first load. The client check runs in NP_PluginInit.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "link/link_records.h"
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
 protected:
  void SetUp() override {
    savedCommand_ = registryCommand();
    savedOwn_ = userRegistryCommand();
    deleteUserRegistryCommand();
  }
  void TearDown() override {
    if (savedCommand_ == "<absent>")
      deleteRegistryCommand();
    else
      setRegistryCommand(savedCommand_);
    if (savedOwn_ == "<absent>")
      deleteUserRegistryCommand();
    else
      setUserRegistryCommand(savedOwn_);
  }

 private:
  std::string savedCommand_, savedOwn_;
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
};

LoadedModule loadModule() {
  LoadedModule m;
  m.module = LoadLibraryA(modulePath().c_str());
  if (m.module == nullptr) return m;
  m.getEntryPoints = reinterpret_cast<GetEntryPointsProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_GetEntryPoints")));
  m.pluginInit = reinterpret_cast<PluginInitProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_PluginInit")));
  m.pluginShutdown = reinterpret_cast<PluginShutdownProc>(
      reinterpret_cast<void*>(GetProcAddress(m.module, "NP_PluginShutdown")));
  return m;
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

// The plug-in window of the test below, and a browser's procedure put above the module's.
const LRESULT HOST_RESULT = 0x5A5A;
WNDPROC belowBrowser = nullptr;
LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_APP ? HOST_RESULT : DefWindowProcA(hwnd, message, wParam, lParam);
}
LRESULT CALLBACK browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(belowBrowser, hwnd, message, wParam, lParam);
}

// Last in this file: its second round leaves the module loaded in this process for good.
TEST_F(ModuleLoadTest, NoWindowKeepsAProcedureOfTheModuleOnceItIsUnloaded) {
  std::string log = newLinkmonLogPath("module-unload");
  LinkmonProcess client = startLinkmon("--quiet --log " + log);
  ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = hostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "UnloadHost";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "UnloadHost", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  auto proc = [&] { return GetWindowLongPtrA(hwnd, GWLP_WNDPROC); };
  const LONG_PTR host = reinterpret_cast<LONG_PTR>(hostProc);

  // Round 1: the browser steps out before NP_Shutdown, so the module really goes.
  // Round 2: the browser's procedure is still above the module's at NP_Shutdown.
  for (bool browserStillOnTop : {false, true}) {
    SCOPED_TRACE(browserStillOnTop ? "browser still on top" : "browser stepped out");
    LoadedModule m = loadModule();
    ASSERT_TRUE(m.module != nullptr);
    NPPluginFuncs table = {};
    table.size = sizeof table;
    ASSERT_EQ(NPERR_NO_ERROR, m.getEntryPoints(&table));
    ASSERT_EQ(NPERR_NO_ERROR, m.pluginInit(nullptr));
    NPP_t npp = {};
    char mimeType[] = "application/x-kvla";
    ASSERT_EQ(NPERR_NO_ERROR, table.newp(mimeType, &npp, NP_EMBED, 0, nullptr, nullptr, nullptr));
    NPWindow window = {};
    window.window = hwnd;
    ASSERT_EQ(NPERR_NO_ERROR, table.setwindow(&npp, &window));
    belowBrowser = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserProc)));
    window.window = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, table.setwindow(&npp, &window));
    EXPECT_EQ(NPERR_NO_ERROR, table.destroy(&npp, nullptr));
    if (!browserStillOnTop)
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
    EXPECT_EQ(NPERR_NO_ERROR, m.pluginShutdown());
    EXPECT_TRUE(FreeLibrary(m.module));
    // Unloaded only when nothing of it is left in the window's chain.
    EXPECT_EQ(browserStillOnTop, loaded(modulePath().c_str()));
    EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
    if (browserStillOnTop) {
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(belowBrowser));
      EXPECT_EQ(HOST_RESULT, SendMessageA(hwnd, WM_APP, 0, 0));
    }
    EXPECT_EQ(host, proc());
  }
  DestroyWindow(hwnd);
  EXPECT_EQ(0u, stopLinkmon(&client));
  std::vector<LinkmonLogEntry> sent = linkmonMessages(readLinkmonLog(log));
  ASSERT_EQ(8u, sent.size());  // NEW, two SET_WINDOW, DESTROY per round
  EXPECT_EQ(uint32_t(LINKMSG_DESTROY), sent[3].code);
  EXPECT_EQ(uint32_t(LINKMSG_DESTROY), sent[7].code);
}

}  // namespace
