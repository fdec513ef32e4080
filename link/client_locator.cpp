#include "link/client_locator.h"

#include "link/find_client_dialog.h"
#include "link/launch_command.h"
#include "link/link_window_choice.h"
#include "link/modal_loop_filter.h"
#include "link/on_demand_imports.h"

char launchCommand[160];
char clientProgram[MAX_PATH];
char commandLine[240];
HINSTANCE moduleInstance;

namespace {
HWND cachedLinkWindow = nullptr;
bool launching = false;  // a launch (configuration, start or wait) is under way
// The longest sleep between two looks for the link window while a launch waits.
const DWORD LAUNCH_LOOK_INTERVAL_MS = 15;
const char APP_PATHS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

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

// The launch command's keys, the user's own first, then HKEY_USERS\.Default (the LocalSystem
// account's, which installers and older clients write).
const HKEY COMMAND_ROOTS[] = {HKEY_CURRENT_USER, HKEY_USERS};
const char* const COMMAND_KEYS[] = {LAUNCH_COMMAND_USER_KEY "\\" LAUNCH_COMMAND_SUBKEY,
                                    LAUNCH_COMMAND_KEY "\\" LAUNCH_COMMAND_SUBKEY};

// The first stored command, in `command` (as big as launchCommand), and the index of its key;
// -1 for none. A value that did not fit (or any failed read, which leaves the buffer
// undefined) is none.
int readStoredCommand(char* command) {
  for (int i = 0; i < 2; ++i) {
    LONG size = sizeof launchCommand;
    if (RegQueryValueA(COMMAND_ROOTS[i], COMMAND_KEYS[i], command, &size) == ERROR_SUCCESS &&
        keepIfTerminated(command, sizeof launchCommand) && command[0] != '\0')
      return i;
  }
  command[0] = '\0';
  return -1;
}

// Whether `program` (a path of `programSize` bytes), or it with ".EXE" added unless `exact`,
// names an existing file; the name found is left in `program`.
bool existingProgram(char* program, size_t programSize, bool exact) {
  size_t length = lstrlenA(program);
  for (int i = 0; i < 2; ++i) {
    DWORD attributes = GetFileAttributesA(program);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return true;
    if (exact || length + 5 > programSize) return false;
    lstrcatA(program, ".EXE");
    exact = true;
  }
  return false;
}

// Where an installer or the user put a program, never the current or the browser's folder:
// an absolute path as it stands; a bare name registered under App Paths (the user's, then the
// machine's), else in an absolute folder of PATH. A relative path with a folder is nowhere.
// `name` is shorter than launchCommand, `program` MAX_PATH bytes.
bool resolveProgram(const char* name, bool exact, char* program, size_t programSize) {
  if (isAbsolutePath(name)) {
    lstrcpyA(program, name);
    return existingProgram(program, programSize, exact);
  }
  if (hasFolder(name)) return false;
  char text[sizeof APP_PATHS_KEY + sizeof launchCommand + 4];
  lstrcpyA(text, APP_PATHS_KEY);
  lstrcatA(text, name);
  if (lstrcmpiA(text + lstrlenA(text) - 4, ".EXE") != 0) lstrcatA(text, ".EXE");
  static const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  for (HKEY root : roots) {
    LONG size = static_cast<LONG>(programSize);
    if (RegQueryValueA(root, text, program, &size) == ERROR_SUCCESS &&
        keepIfTerminated(program, programSize) && isAbsolutePath(program) &&
        existingProgram(program, programSize, true))
      return true;
  }
  // A PATH longer than the buffer is not searched at all rather than in part.
  char path[2048];
  DWORD pathLength = GetEnvironmentVariableA("PATH", path, sizeof path);
  if (pathLength == 0 || pathLength >= sizeof path) return false;
  size_t nameLength = lstrlenA(name);
  for (char* folder = path; *folder != '\0';) {
    char* end = folder;
    while (*end != '\0' && *end != ';') ++end;
    size_t length = static_cast<size_t>(end - folder);
    if (isAbsolutePath(folder) && length + nameLength + 2 <= programSize) {
      memcpy(program, folder, length);
      if (program[length - 1] != '\\') program[length++] = '\\';
      lstrcpyA(program + length, name);
      if (existingProgram(program, programSize, false)) return true;
    }
    folder = *end != '\0' ? end + 1 : end;
  }
  return false;
}

// The integrity level of a process, the last sub-authority of its token's label; UNKNOWN_LEVEL
// before Vista and whenever it cannot be read.
const DWORD UNKNOWN_LEVEL = 0xFFFFFFFF;
DWORD integrityLevel(HANDLE process) {
  const TOKEN_INFORMATION_CLASS TOKEN_INTEGRITY_LEVEL = static_cast<TOKEN_INFORMATION_CLASS>(25);
  DWORD level = UNKNOWN_LEVEL;
  HANDLE token;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return level;
  union {
    SID_AND_ATTRIBUTES label;  // the label's SID follows in the same buffer
    char bytes[64];
  } info;
  DWORD size;
  if (GetTokenInformation(token, TOKEN_INTEGRITY_LEVEL, &info, sizeof info, &size)) {
    const SID* sid = static_cast<const SID*>(info.label.Sid);
    if (sid->SubAuthorityCount == 1) level = sid->SubAuthority[0];
  }
  CloseHandle(token);
  return level;
}

// What is known of the process behind link window `window`, for the module's own level.
LinkWindowTraits linkWindowTraits(HWND window, DWORD ownLevel) {
  const DWORD QUERY_LIMITED_INFORMATION = 0x1000;  // Vista and later
  LinkWindowTraits traits = {false, false};
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  HANDLE process = OpenProcess(QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return traits;
  char image[MAX_PATH];
  traits.configuredImage = processImagePath(process, image, sizeof image) &&
                           lstrcmpiA(image, clientProgram) == 0;
  DWORD level = integrityLevel(process);
  traits.lowerIntegrity = level != UNKNOWN_LEVEL && ownLevel != UNKNOWN_LEVEL && level < ownLevel;
  CloseHandle(process);
  return traits;
}

}  // namespace

HWND findLinkWindow() {
  // Any program may create a window of the class; in z-order, the first is FindWindowA's.
  HWND chosen = nullptr;
  LinkWindowChoice choice = {0};
  DWORD ownLevel = integrityLevel(GetCurrentProcess());
  // The configured program, from the stored command while none was started yet.
  if (clientProgram[0] == '\0') {
    char stored[sizeof launchCommand];
    readStoredCommand(stored);
    bool whole;
    findLaunchProgram(launchCommand[0] != '\0' ? launchCommand : stored, resolveProgram,
                      clientProgram, sizeof clientProgram, &whole);
  }
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, LINK_WINDOW_CLASS, nullptr)) != nullptr) {
    if (considerLinkWindow(&choice, linkWindowTraits(window, ownLevel))) chosen = window;
    if (linkWindowChoiceFinal(choice)) break;
  }
  cachedLinkWindow = chosen;
  return chosen;
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
  // Exactly the program found, named as the application: nothing is looked up by the start
  // itself. The stored command itself stays as it is; unquoted with a space, it is quoted on
  // the command line, as the client application would otherwise read it cut at the space.
  bool whole = false;
  bool found = findLaunchProgram(launchCommand, resolveProgram, clientProgram,
                                 sizeof clientProgram, &whole);
  // Static: one launch at a time, and all but these fields stay zero.
  static STARTUPINFOA startup;
  static PROCESS_INFORMATION process;
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;
  if (formatCommandLine(launchCommand, whole && couldBeSplitAtSpace(launchCommand), commandLine,
                        sizeof commandLine) &&
      found &&
      CreateProcessA(clientProgram, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    waitForLinkWindow();
  }
  launching = false;
}

void configureLaunchCommand() {
  // The answer goes to the user's own key, and also to .Default where that works (a standard
  // user may only read it, or not create it at all). Only with neither key is nothing kept.
  HKEY keys[2];
  for (int i = 0; i < 2; ++i)
    if (RegCreateKeyA(COMMAND_ROOTS[i], COMMAND_KEYS[i], &keys[i]) != ERROR_SUCCESS)
      keys[i] = nullptr;
  if (keys[0] == nullptr && keys[1] == nullptr) {
    MessageBoxA(nullptr, "Unable to Create Key!", MODULE_CAPTION, MB_ICONWARNING | MB_OK);
    return;
  }

  // A stored command goes back only to its own key: a copy in the user's key would hide every
  // later command an installer or administrator writes under .Default.
  int source = readStoredCommand(launchCommand);

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

  // Written on every path, an empty command included, so the registry always holds it: a new
  // answer to both keys, a stored command to the key it came from.
  for (int i = 0; i < 2; ++i) {
    if (keys[i] == nullptr) continue;
    if (source < 0 || source == i)
      RegSetValueA(keys[i], nullptr, REG_SZ, launchCommand, lstrlenA(launchCommand));
    RegCloseKey(keys[i]);
  }
}
