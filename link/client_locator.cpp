#include "link/client_locator.h"

#include "link/find_client_dialog.h"
#include "link/launch_command.h"
#include "link/modal_loop_filter.h"
#include "link/on_demand_imports.h"

char launchCommand[160];
char commandLine[240];
HINSTANCE moduleInstance;

namespace {
HWND cachedLinkWindow = nullptr;
bool launching = false;  // a launch (configuration, start or wait) is under way
// The longest sleep between two looks for the link window while a launch waits.
const DWORD LAUNCH_LOOK_INTERVAL_MS = 15;

// Dispatches every message waiting on this thread. A WM_QUIT taken out here is not the
// module's to act on: it is reported through `quit`/`quitCode` and posted again later.
void drainMessages(bool* quit, int* quitCode) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      *quit = true;
      *quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    if (filteredByHost(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Looks for the link window for up to 10 s: a lookup and a drain of this thread's messages,
// then a sleep that ends early as soon as any message arrives for this thread.
// Re-entry: the drain runs window procedures and so any NPP_ call, for any instance; the
// module's state is consistent at every pass.
void waitForLinkWindow() {
  bool quit = false;
  int quitCode = 0;
  announceModalLoop();
  DWORD start = millisecondTime();
  while (cachedLinkWindow == nullptr && !launchWaitOver(start, millisecondTime())) {
    findLinkWindow();
    drainMessages(&quit, &quitCode);
    if (cachedLinkWindow != nullptr) break;
    // The drain left the queue empty, so any message that arrives now wakes the sleep: the
    // browser's messages flow as before, and the client gets the CPU while it starts.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, LAUNCH_LOOK_INTERVAL_MS, QS_ALLINPUT);
  }
  // The browser's own loop still has to see the quit it asked for.
  if (quit) PostQuitMessage(quitCode);
}

// Whether `command` names an existing file as a whole, as it stands or with ".EXE" added,
// the two names the start call would try for it.
bool namesExistingFile(const char* command) {
  static const char* const suffixes[] = {"", ".EXE"};
  char name[MAX_PATH];
  for (const char* suffix : suffixes) {
    if (lstrlenA(command) + lstrlenA(suffix) >= MAX_PATH) return false;
    lstrcpyA(name, command);
    lstrcatA(name, suffix);
    DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return true;
  }
  return false;
}

// Reads the launch command stored under `key` into launchCommand; a null key, a value that
// did not fit (or any failed read, which leaves the buffer undefined) gives no command.
void readStoredCommand(HKEY key) {
  LONG size = sizeof launchCommand;
  if (key == nullptr ||
      RegQueryValueA(key, LAUNCH_COMMAND_SUBKEY, launchCommand, &size) != ERROR_SUCCESS ||
      !keepIfTerminated(launchCommand, sizeof launchCommand))
    launchCommand[0] = '\0';
}

// Stores launchCommand under `key`; false for a null key or a refused write.
bool writeStoredCommand(HKEY key) {
  return key != nullptr && RegSetValueA(key, LAUNCH_COMMAND_SUBKEY, REG_SZ, launchCommand,
                                        lstrlenA(launchCommand)) == ERROR_SUCCESS;
}

// The current user's key in *own, opened at most once (with `create`, created when absent);
// null when it cannot be had. Only read, it is not created: no empty key is left behind.
HKEY userKey(HKEY* own, bool create) {
  if (*own == nullptr) {
    LONG status = create ? RegCreateKeyA(HKEY_CURRENT_USER, LAUNCH_COMMAND_USER_KEY, own)
                         : RegOpenKeyA(HKEY_CURRENT_USER, LAUNCH_COMMAND_USER_KEY, own);
    if (status != ERROR_SUCCESS) *own = nullptr;
  }
  return *own;
}

}  // namespace

HWND findLinkWindow() {
  cachedLinkWindow = FindWindowA(LINK_WINDOW_CLASS, nullptr);
  return cachedLinkWindow;
}

HWND linkWindow() { return cachedLinkWindow; }

void launchClient() {
  // A browser call made during a launch's dialog or wait lands here again: it never asks the
  // user a second time or starts a second client application. During the wait it joins the
  // wait; during the find-client dialog, whose window cannot appear before the dialog
  // closes, it returns at once, and the dialog's outcome serves the calls after it.
  if (launching) {
    if (!findClientDialogOpen()) waitForLinkWindow();
    return;
  }
  launching = true;
  if (launchCommand[0] == '\0') configureLaunchCommand();
  // An unquoted program path with a space would be split at the first space, starting another
  // program if one exists there; quoted, exactly the stored program starts. The stored
  // command itself stays as it is.
  bool quoted = couldBeSplitAtSpace(launchCommand) && namesExistingFile(launchCommand);
  if (formatCommandLine(launchCommand, quoted, commandLine, sizeof commandLine) &&
      WinExec(commandLine, SW_SHOWMINNOACTIVE) >= 32)
    waitForLinkWindow();
  launching = false;
}

void configureLaunchCommand() {
  // A standard user may only read the default user's key (or not create it at all): the
  // current user's key then keeps the answer. Only with neither key is nothing kept.
  HKEY shared = nullptr, own = nullptr;
  if (RegCreateKeyA(HKEY_USERS, LAUNCH_COMMAND_KEY, &shared) != ERROR_SUCCESS) {
    shared = nullptr;
    if (userKey(&own, true) == nullptr) {
      MessageBoxA(nullptr, "Unable to Create Key!", MODULE_CAPTION, MB_ICONWARNING | MB_OK);
      return;
    }
  }

  readStoredCommand(shared);
  if (launchCommand[0] == '\0') readStoredCommand(userKey(&own, false));

  if (launchCommand[0] == '\0') {
    char directory[sizeof launchCommand];
    GetProfileStringA(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, "", directory,
                      sizeof directory);
    launchCommandFromDirectory(directory, launchCommand, sizeof launchCommand);
  }

  // Ask the user; the dialog leaves the confirmed text, or "ORBIPLAY" on cancel.
  // Re-entry: the dialog (and Browse's file dialog) dispatch messages, so any NPP_ call may
  // run meanwhile; a launch it needs returns at once (see launchClient).
  if (launchCommand[0] == '\0')
    runFindClientDialog();

  // Written on every path, an empty command included, so the registry always holds it: to
  // the default user's key, else (a read-only key refuses the write) to the user's own.
  if (!writeStoredCommand(shared)) writeStoredCommand(userKey(&own, true));
  if (shared) RegCloseKey(shared);
  if (own) RegCloseKey(own);
}
