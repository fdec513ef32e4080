// The system-call table under Windows (link/system_calls.h): the system's own calls where
// their types are plain already, else the adapters below, each only what turns the table's
// plain values into Windows' and back.
#include "link/system_calls.h"

#include <windows.h>

#include <string.h>

#include <type_traits>

#include "link/find_client_dialog.h"
#include "link/link_channel.h"
#include "link/modal_loop_filter.h"
#include "link/on_demand_imports.h"

static_assert(std::is_same<HWND, WindowHandle>::value, "window handles by Windows' tag");
static_assert(std::is_same<HINSTANCE, ModuleHandle>::value, "module handles by Windows' tag");
static_assert(std::is_same<HKEY, RegistryKey>::value, "registry keys by Windows' tag");

namespace {

void WINAPI closeRegistryKey(HKEY key, const char* text) {
  if (text != nullptr) RegSetValueA(key, nullptr, REG_SZ, text, static_cast<DWORD>(strlen(text)));
  RegCloseKey(key);
}

bool WINAPI identifyFile(const char* path, FileIdentity* identity) {
  identity->known = false;
  // No access asked for: only the file's information is read, whoever holds it open.
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    identity->known = true;
    identity->volume = info.dwVolumeSerialNumber;
    identity->indexHigh = info.nFileIndexHigh;
    identity->indexLow = info.nFileIndexLow;
  }
  CloseHandle(file);
  return identity->known;
}

// Any PATH fits: no environment variable is longer than 32,767 characters.
char path[32768];
const char* WINAPI pathText() {
  DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
  return length != 0 && length < sizeof path ? path : nullptr;
}

// `path` as its canonical long full path: GetFullPathNameA, then GetLongPathNameA where that
// can be reached and the file exists. False when the full path does not fit `size` bytes.
bool canonicalPath(const char* path, char* out, DWORD size) {
  DWORD length = GetFullPathNameA(path, size, out, nullptr);
  if (length == 0 || length >= size) return false;
  // In place; where the long form cannot be had, the full path stands.
  longPathName(out, out, size);
  return true;
}

bool WINAPI samePathName(const char* a, const char* b) {
  char first[MAX_PATH], second[MAX_PATH];
  return canonicalPath(a, first, sizeof first) && canonicalPath(b, second, sizeof second) &&
         lstrcmpiA(first, second) == 0;
}

// The traits of `process` (opened with at least limited query access); older Windows refuse
// both queries, and a token that cannot be read gives neither.
TokenTraits WINAPI tokenTraits(void* process) {
  // TOKEN_INFORMATION_CLASS values of Vista, which older headers and systems lack.
  const TOKEN_INFORMATION_CLASS TOKEN_ELEVATION = static_cast<TOKEN_INFORMATION_CLASS>(20);
  const TOKEN_INFORMATION_CLASS TOKEN_INTEGRITY_LEVEL = static_cast<TOKEN_INFORMATION_CLASS>(25);
  TokenTraits traits = {UNKNOWN_INTEGRITY_LEVEL, false};
  HANDLE token;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return traits;
  union {
    SID_AND_ATTRIBUTES label;  // the label's SID follows in the same buffer
    DWORD elevation;
    char bytes[64];
  } info;
  DWORD size;
  if (GetTokenInformation(token, TOKEN_INTEGRITY_LEVEL, &info, sizeof info, &size)) {
    const SID* sid = static_cast<const SID*>(info.label.Sid);
    if (sid->SubAuthorityCount == 1) traits.integrityLevel = sid->SubAuthority[0];
  }
  traits.elevated = GetTokenInformation(token, TOKEN_ELEVATION, &info, sizeof info, &size) &&
                    info.elevation != 0;
  CloseHandle(token);
  return traits;
}

// Read once: a token's level and elevation stay for the process's life. Elevated above the
// user's own programs only where the desktop's shell (GetShellWindow's process) runs lower:
// with UAC off (and under Wine) every program of the user runs as this one does.
TokenTraits WINAPI ownTokenTraits() {
  static bool read = false;
  static TokenTraits own;
  if (!read) {
    TokenTraits traits = tokenTraits(GetCurrentProcess());
    DWORD shell = 0;
    GetWindowThreadProcessId(GetShellWindow(), &shell);
    HANDLE process = OpenProcess(0x1000, FALSE, shell);  // limited query access
    uint32_t shellLevel = process ? tokenTraits(process).integrityLevel : UNKNOWN_INTEGRITY_LEVEL;
    if (process) CloseHandle(process);
    traits.elevated &= shellLevel != UNKNOWN_INTEGRITY_LEVEL && shellLevel < traits.integrityLevel;
    own = traits;
    read = true;
  }
  return own;
}

StartOutcome WINAPI startProgram(const char* program, const char* commandLine) {
  // CreateProcess's error for a program whose manifest asks for administrator rights.
  const DWORD ELEVATION_REQUIRED = 740;
  // Static: one launch at a time. Minimized, not activated, and with no standard handles: a
  // console client started by the host would otherwise write into the host's message stream.
  static STARTUPINFOA startup = {sizeof startup, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0,
                                 STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES, SW_SHOWMINNOACTIVE,
                                 0, nullptr, nullptr, nullptr, nullptr};
  static PROCESS_INFORMATION process;
  // The ANSI start converts the command line and leaves the plan's as it is.
  if (!CreateProcessA(program, const_cast<char*>(commandLine), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return GetLastError() == ELEVATION_REQUIRED ? PROGRAM_NEEDS_ELEVATION : PROGRAM_NOT_STARTED;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return PROGRAM_STARTED;
}

// The link channel's send (link/link_channel.h).
bool WINAPI sendLinkMessage(HWND window, LinkMessageCode code, const void* payload,
                            uint32_t length, LinkIdentifier linkId, uint32_t* reply) {
  if (window == nullptr) return false;
  COPYDATASTRUCT data;
  data.dwData = linkId;
  data.cbData = length;
  data.lpData = length != 0 ? const_cast<void*>(payload) : nullptr;
  // The client application reads the code from wParam, not a sender window handle.
  // Re-entry: SMTO_NORMAL lets messages other threads send to this one run during the wait,
  // and with them any NPP_ call; callers copy what they need first and check again after.
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window, WM_COPYDATA, static_cast<WPARAM>(code),
                          reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          LINK_SEND_TIMEOUT_MS, &result) == 0)
    return false;
  if (reply != nullptr) *reply = static_cast<uint32_t>(result);
  return true;
}

void WINAPI showWarning(const char* text) {
  // Re-entry: the box's loop dispatches messages; its callers count it as open first.
  MessageBoxA(nullptr, text, MODULE_CAPTION, MB_ICONWARNING | MB_OK);
}

bool WINAPI drainMessages(bool loopBegins, int* quitCode) {
  if (loopBegins) announceModalLoop();
  bool quit = false;
  MSG msg;
  // Re-entry: dispatching runs window procedures, and so any NPP_ call; the launcher is
  // consistent at every pass.
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      *quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    if (filteredByHost(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return quit;
}

DWORD WINAPI waitForMessages(DWORD ms) {
  if (ms != 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  return millisecondTime();
}

}  // namespace

SystemCalls systemCalls = {
    RegQueryValueA,
    RegCreateKeyA,
    closeRegistryKey,
    GetProfileStringA,
    identifyFile,
    pathText,
    samePathName,
    ownTokenTraits,
    tokenTraits,
    OpenProcess,
    processImagePath,
    CloseHandle,
    startProgram,
    FindWindowExA,
    GetWindowThreadProcessId,
    sendLinkMessage,
    showWarning,
    runFindClientDialog,
    drainMessages,
    waitForMessages,
    PostQuitMessage,
    LoadLibraryA,
};
