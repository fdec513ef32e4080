// Configuring and launching the client application against the real registry, real files and
// processes (linkmon as the client), and the real FINDCLIENT dialog and boxes. Which store
// wins, what is written back, the wait and the warning: client_*_test natively.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/client_locator.h"
#include "link/file_dialog.h"
#include "link/find_client_dialog.h"
#include "link/on_demand_imports.h"
#include "plugin/module_reference.h"
#include "wine_test_support.h"

namespace {

const char FIND_CLIENT_CAPTION[] = "Finding Kelvora Client Application";
const char OPEN_CAPTION[] = "Find Kelvora Client APP (ORBIPLAY.EXE)";
const DWORD DIALOG_TIMEOUT_MS = 30000;  // the first Open dialog is slow on a busy machine

// --- The registry value and the WIN.INI entry, read and written directly ---

// Type of the registry command's value (REG_NONE when absent).
DWORD registryType() {
  HKEY key = openLaunchKey(), sub = nullptr;
  DWORD type = REG_NONE;
  if (RegOpenKeyA(key, LAUNCH_COMMAND_SUBKEY, &sub) == ERROR_SUCCESS) {
    RegQueryValueExA(sub, nullptr, nullptr, &type, nullptr, nullptr);
    RegCloseKey(sub);
  }
  RegCloseKey(key);
  return type;
}

// Stores the command with another value type, so that a write-back shows.
void setRegistryCommandAsExpandable(const std::string& command) {
  HKEY key = openLaunchKey(), sub = nullptr;
  RegCreateKeyA(key, LAUNCH_COMMAND_SUBKEY, &sub);
  RegSetValueExA(sub, nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>(command.size() + 1));
  RegCloseKey(sub);
  RegCloseKey(key);
}

const char ABSENT[] = "<absent>";

std::string clientDirectory() {
  char text[1024];
  GetProfileStringA(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, ABSENT, text, sizeof text);
  return text;
}

void setClientDirectory(const char* directory) {  // null removes the entry
  WriteProfileStringA(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, directory);
}

// Each test starts with no launch command and leaves the registry values and the WIN.INI
// entry as it found them.
class ClientLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLaunchCommand("");
    forgetClient();
    savedRegistry_ = registryCommand();
    savedUser_ = userRegistryCommand();
    deleteUserRegistryCommand();
    savedDirectory_ = clientDirectory();
    // A log of each test's own: a client that an earlier test started may still be starting
    // (seconds on a loaded emulated PC) and would log into a shared one.
    logPath_ = newLinkmonLogPath(
        ("locator-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name())).c_str());
    SetEnvironmentVariableA("LINKMON_LOG", logPath_.c_str());
    SetEnvironmentVariableA("LINKMON_QUIET", "1");
    SetEnvironmentVariableA("LINKMON_LIFETIME", "20000");  // a safety net only
  }
  void TearDown() override {
    if (savedRegistry_ == ABSENT) deleteRegistryCommand();
    else setRegistryCommand(savedRegistry_);
    if (savedUser_ == ABSENT) deleteUserRegistryCommand();
    else setUserRegistryCommand(savedUser_);
    setClientDirectory(savedDirectory_ == ABSENT ? nullptr : savedDirectory_.c_str());
    for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(logPath_))) closeLinkmon(e.pid);
    DeleteFileA(logPath_.c_str());
  }

  // configureLaunchCommand with a guard that cancels (and reports) an unexpected dialog.
  const char* configureWithoutDialog() {
    DialogWatcher guard(FIND_CLIENT_CAPTION, [](HWND d) { pressDialogButton(d, IDCANCEL); });
    const char* command = configureLaunchCommand();
    guard.stop();
    EXPECT_FALSE(guard.seen()) << "the find-client dialog opened";
    return command;
  }

  std::string savedRegistry_, savedUser_, savedDirectory_, logPath_;
};

TEST_F(ClientLocatorTest, RegistryCommandIsUsedAndWrittenBack) {
  setRegistryCommandAsExpandable("C:\\REG\\ORBIPLAY.EXE -x");
  setClientDirectory("C:\\INI");
  EXPECT_STREQ("C:\\REG\\ORBIPLAY.EXE -x", configureWithoutDialog());
  EXPECT_EQ("C:\\REG\\ORBIPLAY.EXE -x", registryCommand());
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), registryType()) << "the value was not written back";
}

TEST_F(ClientLocatorTest, DialogOffersOrbiplayAndStoresWhatTheUserConfirms) {
  struct Case { const char* typed; int button; const char* stored; };
  const Case cases[] = {
      {"C:\\TYPED\\ORBIPLAY.EXE", IDOK, "C:\\TYPED\\ORBIPLAY.EXE"},
      {"C:\\TYPED\\ORBIPLAY.EXE", IDCANCEL, "ORBIPLAY"},
      {"", IDOK, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + (c.button == IDOK ? " OK" : " Cancel"));
    deleteRegistryCommand();
    deleteUserRegistryCommand();
    setClientDirectory(nullptr);
    setLaunchCommand("");
    std::string shown, heldAtStart;
    DWORD style = 0, editStyle = 0;
    DialogWatcher user(FIND_CLIENT_CAPTION, [&](HWND d) {
      shown = dialogItemText(d, IDC_CLIENT_COMMAND);
      heldAtStart = configuredCommand();
      style = GetWindowLongA(d, GWL_STYLE);
      editStyle = GetWindowLongA(GetDlgItem(d, IDC_CLIENT_COMMAND), GWL_STYLE);
      SetDlgItemTextA(d, IDC_CLIENT_COMMAND, c.typed);
      pressDialogButton(d, c.button);
    });
    std::string stored = configureLaunchCommand();
    user.stop();
    ASSERT_TRUE(user.seen());
    EXPECT_EQ("ORBIPLAY", shown);
    EXPECT_EQ("ORBIPLAY", heldAtStart);
    EXPECT_EQ(0u, style & WS_SYSMENU);
    EXPECT_EQ(0u, editStyle & ES_AUTOHSCROLL);
    EXPECT_EQ(c.stored, stored);
    EXPECT_EQ(c.stored, registryCommand());
  }
}

TEST_F(ClientLocatorTest, BrowsePutsTheChosenProgramIntoTheField) {
  CreateDirectoryA("C:\\APPS", nullptr);
  writeFile("C:\\APPS\\ORBIPLAY.EXE", "");
  deleteRegistryCommand();
  setClientDirectory(nullptr);
  std::string fieldAfterBrowse;
  DialogWatcher user(FIND_CLIENT_CAPTION, [&](HWND d) {
    pressDialogButton(d, IDC_BROWSE);
    HWND open = waitForDialog(OPEN_CAPTION, DIALOG_TIMEOUT_MS);
    if (open) {
      chooseInFileDialog(open, "C:\\APPS\\ORBIPLAY.EXE");
      waitForWindowGone(open, DIALOG_TIMEOUT_MS);
    }
    // The edit field is set by the main thread right after the Open dialog ends.
    for (int i = 0; i < 100 && dialogItemText(d, IDC_CLIENT_COMMAND) == "ORBIPLAY"; ++i) Sleep(10);
    fieldAfterBrowse = dialogItemText(d, IDC_CLIENT_COMMAND);
    pressDialogButton(d, IDOK);
  });
  std::string stored = configureLaunchCommand();
  user.stop();
  EXPECT_EQ("C:\\APPS\\ORBIPLAY.EXE", fieldAfterBrowse);
  EXPECT_EQ("C:\\APPS\\ORBIPLAY.EXE", stored);
  EXPECT_EQ("C:\\APPS\\ORBIPLAY.EXE", registryCommand());
  runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr);
  DeleteFileA("C:\\APPS\\ORBIPLAY.EXE");
  RemoveDirectoryA("C:\\APPS");
}

TEST_F(ClientLocatorTest, LaunchAppendsTheSwitchAndEndsWhenTheWindowAppears) {
  // The window comes 1.5 s into the launch, from a thread of this test: the launch waits for
  // it and returns as it appears, before its own limit, however long the program it started
  // takes (on a loaded emulated PC, linkmon alone takes seconds to start).
  std::string command = programBesideTest("linkmon.exe") + " --no-window";
  ASSERT_LT(command.size(), LAUNCH_COMMAND_SIZE);
  setRegistryCommand(command);
  ASSERT_EQ(nullptr, findLinkWindow());
  std::unique_ptr<ThreadClient> client;
  std::thread late([&client] {
    Sleep(1500);
    client.reset(new ThreadClient([](WPARAM) { return LRESULT(1); }));
  });
  DWORD start = GetTickCount();
  EXPECT_EQ(LAUNCH_FOUND_WINDOW, launchClient());
  DWORD elapsed = GetTickCount() - start;
  late.join();
  EXPECT_EQ(client->window, linkWindow());
  EXPECT_GE(elapsed, 1500u);
  EXPECT_LT(elapsed, LAUNCH_WAIT_MS);
  EXPECT_EQ(command + " /$l", std::string(plannedClient().plan.commandLine));
  std::vector<LinkmonLogEntry> started;
  EXPECT_TRUE(pumpUntil([&] { return !(started = linkmonStarts(readLinkmonLog(logPath_))).empty(); },
                        60000));  // left running; TearDown ends it
  ASSERT_EQ(1u, started.size());
  EXPECT_EQ(command + " /$l", started[0].commandLine);
}

TEST_F(ClientLocatorTest, ProgramPathWithASpaceStartsExactlyThatProgram) {
  // C:\...\zurov-launch\Kel App\linkmon.exe, and look-alikes at the first space: Kel.exe, and
  // Kel with no extension.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "zurov-launch\\";
  std::string real = folder + "Kel App\\linkmon.exe", lookAlike = folder + "Kel.exe";
  std::string bare = folder + "Kel";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "Kel App").c_str(), nullptr);
  for (const std::string& copy : {real, lookAlike, bare})
    ASSERT_TRUE(CopyFileA(programBesideTest("linkmon.exe").c_str(), copy.c_str(), FALSE)) << copy;

  // Named as a whole, and as WinExec would also find it, without ".exe".
  for (std::string command : {real, real.substr(0, real.size() - 4)}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(setLaunchCommand(command.c_str()));
    ASSERT_EQ(nullptr, findLinkWindow());
    launchClient();
    EXPECT_TRUE(linkWindow() != nullptr);
    EXPECT_EQ("\"" + command + "\" /$l", std::string(plannedClient().plan.commandLine));
    EXPECT_EQ(command, configuredCommand());  // the stored command stays as it was
    std::vector<LinkmonLogEntry> started = linkmonStarts(readLinkmonLog(logPath_));
    ASSERT_EQ(1u, started.size());  // only the quoted program: the look-alike logs here too
    EXPECT_EQ("\"" + command + "\" /$l", started[0].commandLine);
    closeLinkmon(started[0].pid);
    DeleteFileA(logPath_.c_str());
  }

  // A program followed by its own arguments: its command line is the command as it is.
  std::string withArguments = folder + "Kel App\\linkmon.exe --quiet";
  setLaunchCommand(withArguments.c_str());
  ASSERT_EQ(nullptr, findLinkWindow());
  launchClient();
  EXPECT_EQ(withArguments + " /$l", std::string(plannedClient().plan.commandLine));
  for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(logPath_))) closeLinkmon(e.pid);
  DeleteFileA(logPath_.c_str());

  // Uninstalled: the look-alikes at the first space still exist, and nothing starts.
  DeleteFileA(real.c_str());
  for (std::string gone : {folder + "Kel App\\linkmon.exe", folder + "Kel App\\linkmon.exe -x"}) {
    setLaunchCommand(gone.c_str());
    EXPECT_EQ(LAUNCH_NOT_STARTED, launchClient()) << gone;
    EXPECT_EQ(nullptr, linkWindow()) << gone;
  }
  EXPECT_TRUE(linkmonStarts(readLinkmonLog(logPath_)).empty()) << "the look-alike started";

  for (const LinkmonLogEntry& e : linkmonStarts(readLinkmonLog(logPath_))) closeLinkmon(e.pid);
  DeleteFileA(real.c_str());
  DeleteFileA(lookAlike.c_str());
  DeleteFileA(bare.c_str());
  RemoveDirectoryA((folder + "Kel App").c_str());
  RemoveDirectoryA(folder.c_str());
}

// A bare name starts only the program App Paths registers, not the copies of linkmon named
// ORBIPLAY.EXE in the current folder and beside the test program (both on PATH, relatively).
TEST_F(ClientLocatorTest, BareNameStartsOnlyTheRegisteredProgram) {
  const char APP_PATHS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORBIPLAY.EXE";
  char temp[MAX_PATH], saved[MAX_PATH], path[4096] = "";
  GetTempPathA(sizeof temp, temp);
  GetEnvironmentVariableA("PATH", path, sizeof path);
  GetCurrentDirectoryA(sizeof saved, saved);
  std::string program = std::string(temp) + "ORBIPLAY.EXE", beside = programBesideTest("ORBIPLAY.EXE");
  for (const std::string& copy : {program, beside, std::string(saved) + "\\ORBIPLAY.EXE"})
    ASSERT_TRUE(CopyFileA(programBesideTest("linkmon.exe").c_str(), copy.c_str(), FALSE)) << copy;
  SetCurrentDirectoryA(temp);  // now a decoy too
  SetEnvironmentVariableA("PATH", ".;bin;C:\\windows");
  RegDeleteKeyA(HKEY_CURRENT_USER, APP_PATHS);
  setLaunchCommand("ORBIPLAY");
  launchClient();
  EXPECT_TRUE(linkmonStarts(readLinkmonLog(logPath_)).empty()) << "a decoy started";

  RegSetValueA(HKEY_CURRENT_USER, APP_PATHS, REG_SZ, program.c_str(), static_cast<DWORD>(program.size()));
  SetCurrentDirectoryA(saved);
  launchClient();
  std::vector<LinkmonLogEntry> started = linkmonStarts(readLinkmonLog(logPath_));
  ASSERT_EQ(1u, started.size());
  EXPECT_EQ("ORBIPLAY /$l", started[0].commandLine);
  HANDLE process = OpenProcess(0x1000, FALSE, started[0].pid);  // limited query access
  char image[MAX_PATH] = "";
  EXPECT_TRUE(processImagePath(process, image, sizeof image) && lstrcmpiA(program.c_str(), image) == 0) << image;
  CloseHandle(process);
  closeLinkmon(started[0].pid);
  RegDeleteKeyA(HKEY_CURRENT_USER, APP_PATHS);
  SetEnvironmentVariableA("PATH", path);
  for (const std::string& copy : {program, beside, std::string(saved) + "\\ORBIPLAY.EXE"}) DeleteFileA(copy.c_str());
}

// --- A standard user: the default user's key read-only or impossible to create ---

// Deletes `name` under `parent` with all its sub-keys.
bool deleteKeyTree(HKEY parent, const char* name) {
  HKEY key;
  if (RegOpenKeyA(parent, name, &key) != ERROR_SUCCESS) return false;
  char child[256];
  while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS && deleteKeyTree(key, child)) {
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

const char STAND_IN_ROOT[] = "Software\\ZurovTest\\Users";

// The module's HKEY_USERS and HKEY_CURRENT_USER redirected, for this process, to volatile keys
// of the test, under which no (non-volatile) key can be created: a standard user's .Default,
// and a profile without a writable key of the user's own.
class StandardUserTest : public ClientLocatorTest {
 protected:
  void SetUp() override {
    ClientLocatorTest::SetUp();
    setClientDirectory(nullptr);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_USERS, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    for (HKEY k : opened_) RegCloseKey(k);
    deleteKeyTree(HKEY_CURRENT_USER, "Software\\ZurovTest");
    ClientLocatorTest::TearDown();
  }

  void redirect(HKEY predefined, const char* name) {
    HKEY root;
    std::string path = std::string(STAND_IN_ROOT) + "\\" + name;
    deleteKeyTree(HKEY_CURRENT_USER, path.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &root,
                                             nullptr));
    opened_.push_back(root);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(predefined, root));
  }

  std::vector<HKEY> opened_;
};

// A call that needs the client while "Unable to Create Key!" or the warning after it is up (a
// further object's NPP_New) fails at once, with no wait and no box of its own.
DWORD nestedElapsed = 0, slowestNested = 0;
bool nestedReached = false;
LRESULT CALLBACK nestedCallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcA(hwnd, message, wParam, lParam);
  DWORD start = GetTickCount();
  nestedReached |= reachClientApplication();
  nestedElapsed = GetTickCount() - start;
  slowestNested = std::max(slowestNested, nestedElapsed);
  return 0;
}

TEST_F(StandardUserTest, ACallInsideEitherBoxFailsAtOnceWithoutABoxOfItsOwn) {
  redirect(HKEY_USERS, "volatile");
  redirect(HKEY_CURRENT_USER, "volatile-own");
  ASSERT_EQ(nullptr, findLinkWindow());
  WNDCLASSA wc = {};
  wc.lpfnWndProc = nestedCallProc;
  wc.lpszClassName = "ZurovNestedCall";
  RegisterClassA(&wc);
  HWND caller = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
  std::vector<std::string> boxes;
  std::atomic<bool> done{false};
  std::thread user([&] {
    while (!done) {
      HWND box = FindWindowA("#32770", MODULE_CAPTION);
      if (box == nullptr || !IsWindowVisible(box)) {
        Sleep(10);
        continue;
      }
      boxes.push_back(dialogItemText(box, 0xFFFF));  // the box's text
      nestedElapsed = 0xFFFFFFFF;
      PostMessageA(caller, WM_APP, 0, 0);  // runs in the box's loop
      for (int i = 0; i < 1500 * ZUROV_WAIT_SCALE && nestedElapsed == 0xFFFFFFFF; ++i) Sleep(10);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      waitForWindowGone(box, 5000);
    }
  });
  EXPECT_FALSE(reachClientApplication());
  done = true;
  user.join();
  DestroyWindow(caller);
  EXPECT_FALSE(nestedReached);
  EXPECT_LT(slowestNested, 1000u * ZUROV_WAIT_SCALE);
  EXPECT_EQ((std::vector<std::string>{"Unable to Create Key!", CLIENT_MISSING_TEXT}), boxes);
}

}  // namespace
