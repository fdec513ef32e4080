#include "link/client_locator.h"

#include "link/find_client_dialog.h"
#include "link/launch_command.h"
#include "link/on_demand_imports.h"

char launchCommand[160];
char commandLine[240];
HINSTANCE moduleInstance;

namespace {
HWND cachedLinkWindow = nullptr;

void drainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
}  // namespace

HWND findLinkWindow() {
  cachedLinkWindow = FindWindowA(LINK_WINDOW_CLASS, nullptr);
  return cachedLinkWindow;
}

HWND linkWindow() { return cachedLinkWindow; }

void launchClient() {
  if (launchCommand[0] == '\0') configureLaunchCommand();
  if (!formatCommandLine(launchCommand, commandLine, sizeof commandLine)) return;
  if (WinExec(commandLine, SW_SHOWMINNOACTIVE) < 32) return;
  // The wait polls without pausing; the drain keeps the browser's own messages flowing.
  DWORD start = millisecondTime();
  while (cachedLinkWindow == nullptr && !launchWaitOver(start, millisecondTime())) {
    findLinkWindow();
    drainMessages();
  }
}

void configureLaunchCommand() {
  HKEY key;
  if (RegCreateKeyA(HKEY_USERS, LAUNCH_COMMAND_KEY, &key) != ERROR_SUCCESS) {
    MessageBoxA(nullptr, "Unable to Create Key!", MODULE_CAPTION, MB_ICONWARNING | MB_OK);
    return;
  }

  // A value that did not fit (or any failed read) leaves the buffer undefined: no command.
  LONG size = sizeof launchCommand;
  LONG status = RegQueryValueA(key, LAUNCH_COMMAND_SUBKEY, launchCommand, &size);
  if (status != ERROR_SUCCESS || !keepIfTerminated(launchCommand, sizeof launchCommand))
    launchCommand[0] = '\0';

  if (launchCommand[0] == '\0') {
    char directory[sizeof launchCommand];
    GetProfileStringA(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, "", directory,
                      sizeof directory);
    launchCommandFromDirectory(directory, launchCommand, sizeof launchCommand);
  }

  // Ask the user; the dialog leaves the confirmed text, or "ORBIPLAY" on cancel.
  if (launchCommand[0] == '\0')
    DialogBoxParamA(moduleInstance, FIND_CLIENT_DIALOG, nullptr, FCDLGProc, 0);

  // Written on every path, an empty command included, so the registry always holds it.
  RegSetValueA(key, LAUNCH_COMMAND_SUBKEY, REG_SZ, launchCommand, lstrlenA(launchCommand));
  RegCloseKey(key);
}
