// What reaching the client application and the link channel ask of the system: one table of
// calls in plain types, after SQLite's os_win.c and its aSyscall[]. The configuration, plan,
// finder and launcher call nothing else, so they compile without <windows.h> and are tested
// natively, each case replacing the entries it needs; a link message is one entry too, which a
// test replaces to make a send fail. Under Windows the entries are the system's own calls where
// their types are plain already (DWORD is unsigned long there), else short adapters
// (link/windows_system_calls.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "link/link_records.h"

// The system's calling convention, so that its calls can be entries as they are.
#ifdef _WIN32
#define SYSTEM_CALL __stdcall
#else
#define SYSTEM_CALL
#endif

// Windows' handles by their own tags: Windows callers pass HWND, HINSTANCE and HKEY as they
// are, and the system's calls are entries without a cast; natively they are opaque.
typedef struct HWND__* WindowHandle;
typedef struct HINSTANCE__* ModuleHandle;
typedef struct HKEY__* RegistryKey;

// Which file a path names: the volume's serial number and the file's index on it. Two spellings
// of one file (a short 8.3 name, slashes, ".\") give the same identity.
struct FileIdentity {
  bool known;  // false where the file could not be opened to read it
  uint32_t volume;
  uint32_t indexHigh;
  uint32_t indexLow;
};

// The level of a process whose token cannot be read (before Vista, or no access).
const uint32_t UNKNOWN_INTEGRITY_LEVEL = 0xFFFFFFFF;

// What a process's token tells.
struct TokenTraits {
  uint32_t integrityLevel;  // the last sub-authority of the token's label, or unknown
  bool elevated;            // TokenElevation (Vista on); unknown counts as not elevated
};

// Name of the client application's program (no extension).
#define CLIENT_PROGRAM_NAME "ORBIPLAY"

// Caption of every box the module shows.
#define MODULE_CAPTION "ZUROV.DLL"

// The registry roots the launch path reads and writes: the system's predefined keys, by their
// values (HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, sign-extended as Windows does).
inline RegistryKey predefinedKey(int32_t value) {
  return reinterpret_cast<RegistryKey>(static_cast<intptr_t>(value));
}
const int32_t CURRENT_USER_ROOT = static_cast<int32_t>(0x80000001u);
const int32_t USERS_ROOT = static_cast<int32_t>(0x80000003u);
const int32_t LOCAL_MACHINE_ROOT = static_cast<int32_t>(0x80000002u);

// How starting a program ended.
enum StartOutcome { PROGRAM_STARTED, PROGRAM_NOT_STARTED, PROGRAM_NEEDS_ELEVATION };

struct SystemCalls {
  // --- The registry and WIN.INI ---
  // RegQueryValueA: the default value of `key` under `root` into `value`, `*size` bytes of
  // room in, the bytes read out. 0 (ERROR_SUCCESS) when it was read; otherwise there is none,
  // or it did not fit, and `value` is undefined.
  long(SYSTEM_CALL* readRegistryValue)(RegistryKey root, const char* key, char* value,
                                       long* size);
  // RegCreateKeyA: `key` under `root`, opened or created for writing, into `*created`; 0
  // (ERROR_SUCCESS) when that worked.
  long(SYSTEM_CALL* createRegistryKey)(RegistryKey root, const char* key, RegistryKey* created);
  // Closes a key createRegistryKey gave, once `text` (unless null) is written as its default
  // value where that is allowed.
  void(SYSTEM_CALL* closeRegistryKey)(RegistryKey key, const char* text);
  // GetProfileStringA: the WIN.INI entry, `fallback` when there is none, in `size` bytes.
  unsigned long(SYSTEM_CALL* profileString)(const char* section, const char* key,
                                            const char* fallback, char* value,
                                            unsigned long size);

  // --- Files and the environment ---
  // Whether `path` names an existing file (not a folder) that can be opened to read its
  // identity, which goes to `*identity` (known false otherwise).
  bool(SYSTEM_CALL* findFile)(const char* path, FileIdentity* identity);
  // The PATH text, whatever its length, valid until the next call; null when there is none.
  const char*(SYSTEM_CALL* pathText)();
  // Whether both paths spell one canonical long full path, case ignored: where identities
  // cannot be had.
  bool(SYSTEM_CALL* samePathName)(const char* a, const char* b);

  // --- Processes and tokens ---
  // This process's own traits. Elevated here means above the user's other programs.
  TokenTraits(SYSTEM_CALL* ownTokenTraits)();
  TokenTraits(SYSTEM_CALL* tokenTraits)(void* process);
  // OpenProcess: process `id` opened for `access`; null when it is gone or refuses.
  void*(SYSTEM_CALL* openProcess)(unsigned long access, int inherit, unsigned long id);
  // The full path of `process`'s image; false when it cannot be had or does not fit.
  bool(SYSTEM_CALL* processImage)(void* process, char* path, unsigned long size);
  int(SYSTEM_CALL* closeHandle)(void* handle);
  // Starts exactly `program` with `commandLine`, minimized and not activated.
  StartOutcome(SYSTEM_CALL* startProgram)(const char* program, const char* commandLine);

  // --- Windows and messages ---
  // FindWindowExA: the next top-level window of `windowClass` after `after` in z-order.
  WindowHandle(SYSTEM_CALL* findWindowEx)(WindowHandle parent, WindowHandle after,
                                          const char* windowClass, const char* title);
  // GetWindowThreadProcessId: the window's thread; its process in `*process` (0 when gone).
  unsigned long(SYSTEM_CALL* windowThreadProcessId)(WindowHandle window, unsigned long* process);
  // One link message, as link/link_channel.h says (sendLinkMessageTo).
  bool(SYSTEM_CALL* sendLinkMessage)(WindowHandle window, LinkMessageCode code,
                                     const void* payload, uint32_t length,
                                     LinkIdentifier linkId, uint32_t* reply);

  // --- The user ---
  // A warning box with the caption MODULE_CAPTION.
  void(SYSTEM_CALL* showWarning)(const char* text);
  // FINDCLIENT, from the template in `templateModule` (null: the program's own file), editing
  // `command` (`size` bytes): offered as it is, CLIENT_PROGRAM_NAME when empty; left as the
  // user confirmed it, or as offered on Cancel.
  void(SYSTEM_CALL* askForCommand)(ModuleHandle templateModule, char* command, size_t size);

  // --- The module's own message loop ---
  // Dispatches every message waiting on this thread, each shown first to the message hooks as
  // a modal loop's (one a hook handled is not dispatched); `loopBegins` tells the hooks before
  // that the loop begins. A WM_QUIT is not dispatched: true, and its code in `*quitCode`.
  bool(SYSTEM_CALL* drainMessages)(bool loopBegins, int* quitCode);
  // Sleeps until a message arrives for this thread, at most `ms` (0: not at all), and returns
  // the millisecond counter then.
  unsigned long(SYSTEM_CALL* waitForMessages)(unsigned long ms);
  void(SYSTEM_CALL* postQuitMessage)(int code);

  // --- Libraries ---
  // LoadLibraryA, for the calls reached on first use (link/on_demand_imports.h).
  ModuleHandle(SYSTEM_CALL* loadLibrary)(const char* fileName);
};

// The table every call of the launch path and the channel goes through. Tests replace entries
// to inject faults and put them back.
extern SystemCalls systemCalls;
