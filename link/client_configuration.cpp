#include "link/client_configuration.h"

#include "link/find_client_dialog.h"
#include "link/launch_command.h"
#include "link/process_token.h"

char launchCommand[LAUNCH_COMMAND_SIZE];

namespace {

char storedCommand[LAUNCH_COMMAND_SIZE];
bool storedCommandRead = false;
int boxesOpen = 0;  // configuration's boxes and dialogs on screen now

// The launch command's keys, the user's own first, then HKEY_USERS\.Default (the LocalSystem
// account's, which installers and older clients write).
const int KEYS = 2;
const HKEY COMMAND_ROOTS[KEYS] = {HKEY_CURRENT_USER, HKEY_USERS};
const char* const COMMAND_KEYS[KEYS] = {LAUNCH_COMMAND_USER_KEY "\\" LAUNCH_COMMAND_SUBKEY,
                                        LAUNCH_COMMAND_KEY "\\" LAUNCH_COMMAND_SUBKEY};

// The first key this process may trust: an elevated one trusts only what needs an
// administrator to write.
int firstKey() { return ownTokenTraits().elevated ? 1 : 0; }

// The first stored command, in `command` (LAUNCH_COMMAND_SIZE bytes), and the index of its
// key; -1 for none. A value that did not fit (or any failed read, which leaves the buffer
// undefined) is none.
int readStoredCommand(char* command) {
  for (int i = firstKey(); i < KEYS; ++i) {
    LONG size = LAUNCH_COMMAND_SIZE;
    if (RegQueryValueA(COMMAND_ROOTS[i], COMMAND_KEYS[i], command, &size) == ERROR_SUCCESS &&
        keepIfTerminated(command, LAUNCH_COMMAND_SIZE) && command[0] != '\0')
      return i;
  }
  command[0] = '\0';
  return -1;
}

void warn(const char* text) {
  // Re-entry: the box's loop dispatches messages, so any NPP_ call may run meanwhile; one
  // that needs the client fails at once (configurationOpen).
  ++boxesOpen;
  MessageBoxA(nullptr, text, MODULE_CAPTION, MB_ICONWARNING | MB_OK);
  --boxesOpen;
}

}  // namespace

const char* configuredCommand() {
  if (launchCommand[0] != '\0') return launchCommand;
  if (!storedCommandRead) readStoredCommand(storedCommand);
  storedCommandRead = true;
  return storedCommand;
}

void forgetStoredCommand() { storedCommandRead = false; }

bool configurationOpen() { return boxesOpen > 0; }

void configureLaunchCommand(HINSTANCE templateModule) {
  // The answer goes to the user's own key, and also to .Default where that works (a standard
  // user may only read it, or not create it at all). Only with neither key is nothing kept.
  HKEY keys[KEYS] = {nullptr, nullptr};
  bool anyKey = false;
  for (int i = firstKey(); i < KEYS; ++i) {
    if (RegCreateKeyA(COMMAND_ROOTS[i], COMMAND_KEYS[i], &keys[i]) != ERROR_SUCCESS)
      keys[i] = nullptr;
    anyKey |= keys[i] != nullptr;
  }
  if (!anyKey) {
    warn("Unable to Create Key!");
    return;
  }

  // A stored command goes back only to its own key: a copy in the user's key would hide every
  // later command an installer or administrator writes under .Default.
  int source = readStoredCommand(launchCommand);

  if (launchCommand[0] == '\0') {
    char directory[LAUNCH_COMMAND_SIZE];
    GetProfileStringA(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, "", directory,
                      sizeof directory);
    launchCommandFromDirectory(directory, launchCommand, sizeof launchCommand);
  }

  // Ask the user; the dialog leaves the confirmed text, or "ORBIPLAY" on cancel.
  // Re-entry: the dialog (and Browse's file dialog) dispatch messages, so any NPP_ call may
  // run meanwhile; one that needs the client fails at once (configurationOpen).
  if (launchCommand[0] == '\0') {
    ++boxesOpen;
    runFindClientDialog(templateModule, launchCommand, sizeof launchCommand);
    --boxesOpen;
  }

  // Written on every path, an empty command included, so the registry always holds it: a new
  // answer to both keys, a stored command to the key it came from.
  for (int i = 0; i < KEYS; ++i) {
    if (keys[i] == nullptr) continue;
    if (source < 0 || source == i)
      RegSetValueA(keys[i], nullptr, REG_SZ, launchCommand, lstrlenA(launchCommand));
    RegCloseKey(keys[i]);
  }
  // What is stored now is what the client is known by, even when it is empty.
  lstrcpyA(storedCommand, launchCommand);
  storedCommandRead = true;
}
