#include "link/client_configuration.h"

#include <string.h>

#include "text/ascii_text.h"

namespace {

char launchCommand[LAUNCH_COMMAND_SIZE];
char storedCommand[LAUNCH_COMMAND_SIZE];
bool storedCommandRead = false;
int boxesOpen = 0;  // configuration's boxes and dialogs on screen now

// The launch command's keys, the user's own first, then HKEY_USERS\.Default (the LocalSystem
// account's, which installers and older clients write).
const int KEYS = 2;
const int32_t COMMAND_ROOTS[KEYS] = {CURRENT_USER_ROOT, USERS_ROOT};
const char* const COMMAND_KEYS[KEYS] = {LAUNCH_COMMAND_USER_KEY "\\" LAUNCH_COMMAND_SUBKEY,
                                        LAUNCH_COMMAND_KEY "\\" LAUNCH_COMMAND_SUBKEY};

// The first key this process may trust: an elevated one trusts only what needs an
// administrator to write.
int firstKey() { return systemCalls.ownTokenTraits().elevated ? 1 : 0; }

// The first stored command, in `command` (LAUNCH_COMMAND_SIZE bytes), and the index of its
// key; -1 for none. A value that did not fit (or any failed read, which leaves the buffer
// undefined) is none; one stored without its NUL is its bytes.
int readStoredCommand(char* command) {
  for (int i = firstKey(); i < KEYS; ++i) {
    long size = LAUNCH_COMMAND_SIZE;
    if (systemCalls.readRegistryValue(predefinedKey(COMMAND_ROOTS[i]), COMMAND_KEYS[i], command,
                                      &size) == 0 &&
        keepTextRead(command, LAUNCH_COMMAND_SIZE, size) && command[0] != '\0')
      return i;
  }
  command[0] = '\0';
  return -1;
}

void warn(const char* text) {
  // Re-entry: the box's loop dispatches messages, so any NPP_ call may run meanwhile; one
  // that needs the client fails at once (configurationOpen).
  ++boxesOpen;
  systemCalls.showWarning(text);
  --boxesOpen;
}

}  // namespace

bool setLaunchCommand(const char* command) { return copyTextIfFits(launchCommand, command); }

const char* configuredCommand() {
  if (launchCommand[0] != '\0') return launchCommand;
  if (!storedCommandRead) readStoredCommand(storedCommand);
  storedCommandRead = true;
  return storedCommand;
}

void forgetStoredCommand() { storedCommandRead = false; }

bool configurationOpen() { return boxesOpen > 0; }

const char* commandToLaunch(ModuleHandle templateModule) {
  return launchCommand[0] != '\0' ? launchCommand : configureLaunchCommand(templateModule);
}

const char* configureLaunchCommand(ModuleHandle templateModule) {
  // The answer goes to the user's own key, and also to .Default where that works (a standard
  // user may only read it, or not create it at all). Only with neither key is nothing kept.
  RegistryKey keys[KEYS] = {nullptr, nullptr};
  bool anyKey = false;
  for (int i = firstKey(); i < KEYS; ++i) {
    if (systemCalls.createRegistryKey(predefinedKey(COMMAND_ROOTS[i]), COMMAND_KEYS[i],
                                      &keys[i]) != 0)
      keys[i] = nullptr;
    anyKey |= keys[i] != nullptr;
  }
  if (!anyKey) {
    warn("Unable to Create Key!");
    return launchCommand;
  }

  // A stored command goes back only to its own key: a copy in the user's key would hide every
  // later command an installer or administrator writes under .Default.
  int source = readStoredCommand(launchCommand);

  if (launchCommand[0] == '\0') {
    char directory[LAUNCH_COMMAND_SIZE];
    systemCalls.profileString(CLIENT_DIRECTORY_SECTION, CLIENT_DIRECTORY_KEY, "", directory,
                              sizeof directory);
    commandFromDirectory(directory, launchCommand, sizeof launchCommand);
  }

  // Ask the user; the dialog leaves the confirmed text, or "ORBIPLAY" on cancel.
  // Re-entry: the dialog (and Browse's file dialog) dispatch messages, so any NPP_ call may
  // run meanwhile; one that needs the client fails at once (configurationOpen).
  if (launchCommand[0] == '\0') {
    ++boxesOpen;
    systemCalls.askForCommand(templateModule, launchCommand, sizeof launchCommand);
    --boxesOpen;
  }

  // Written on every path, an empty command included, so the registry always holds it: a new
  // answer to both keys, a stored command to the key it came from.
  for (int i = 0; i < KEYS; ++i)
    if (keys[i] != nullptr)
      systemCalls.closeRegistryKey(keys[i], source < 0 || source == i ? launchCommand : nullptr);
  // What is stored now is what the client is known by, even when it is empty; whole buffers,
  // so that the plan of either is one plan.
  memcpy(storedCommand, launchCommand, sizeof storedCommand);
  storedCommandRead = true;
  return launchCommand;
}

bool commandFromDirectory(const char* directory, char* command, size_t commandSize) {
  if (commandSize == 0) return false;
  command[0] = '\0';
  size_t length = strlen(directory);
  if (length == 0) return false;
  bool hasSeparator = directory[length - 1] == '\\';
  size_t nameLength = sizeof CLIENT_PROGRAM_NAME - 1;
  size_t total = length + (hasSeparator ? 0 : 1) + nameLength;
  if (total >= commandSize) return false;
  memcpy(command, directory, length);
  if (!hasSeparator) command[length++] = '\\';
  memcpy(command + length, CLIENT_PROGRAM_NAME, nameLength + 1);
  return true;
}

bool keepTextRead(char* buffer, size_t size, long read) {
  if (size == 0) return false;
  size_t length = read > 0 ? static_cast<size_t>(read) : 0;
  if (length < size) {
    buffer[length] = '\0';
    return true;
  }
  if (length == size && memchr(buffer, '\0', size) != nullptr) return true;
  buffer[0] = '\0';
  return false;
}
