#include "link/on_demand_imports.h"

#include "link/system_calls.h"

OnDemandLibrary onDemandLibraries[ON_DEMAND_LIBRARIES] = {
    {"COMDLG32.DLL", nullptr, 0},
    {"WINMM.DLL", nullptr, 0},
    {"KERNEL32.DLL", nullptr, 0},
};

namespace {

enum {
  GET_OPEN_FILE_NAME,
  GET_SAVE_FILE_NAME,
  TIME_GET_TIME,
  PROCESS_IMAGE_NAME,
  LONG_PATH_NAME,
  ON_DEMAND_FUNCTIONS
};

struct OnDemandFunction {
  int library;
  const char* name;
  FARPROC address;  // null until found, and after a release
};
OnDemandFunction functions[ON_DEMAND_FUNCTIONS] = {
    {COMMON_DIALOGS, "GetOpenFileNameA", nullptr},
    {COMMON_DIALOGS, "GetSaveFileNameA", nullptr},
    {MULTIMEDIA_TIMER, "timeGetTime", nullptr},
    {SYSTEM_KERNEL, "QueryFullProcessImageNameA", nullptr},
    {SYSTEM_KERNEL, "GetLongPathNameA", nullptr},
};

// The function's address, loading its library first if need be; null when either fails.
// A failure is not remembered: the next use tries again.
FARPROC reach(int function) {
  OnDemandFunction& f = functions[function];
  if (f.address) return f.address;
  OnDemandLibrary& library = onDemandLibraries[f.library];
  if (!library.module) library.module = systemCalls.loadLibrary(library.fileName);
  if (library.module) f.address = GetProcAddress(library.module, f.name);
  return f.address;
}

typedef BOOL(WINAPI* FileDialogCall)(OPENFILENAMEA*);
typedef DWORD(WINAPI* TimerCall)();
typedef BOOL(WINAPI* ImageNameCall)(HANDLE, DWORD, char*, DWORD*);
typedef DWORD(WINAPI* LongPathCall)(const char*, char*, DWORD);

}  // namespace

BOOL runCommonFileDialog(OPENFILENAMEA* parameters, bool save) {
  FARPROC address = reach(save ? GET_SAVE_FILE_NAME : GET_OPEN_FILE_NAME);
  if (!address) return FALSE;
  // The dialog runs a message loop: browser calls, a shutdown included, may arrive during it;
  // the running count keeps the library loaded until the dialog returns.
  OnDemandLibrary& library = onDemandLibraries[COMMON_DIALOGS];
  ++library.callsRunning;
  BOOL chosen = reinterpret_cast<FileDialogCall>(reinterpret_cast<void*>(address))(parameters);
  --library.callsRunning;
  return chosen;
}

DWORD WINAPI millisecondTime() {
  FARPROC address = reach(TIME_GET_TIME);
  if (!address) return GetTickCount();
  return reinterpret_cast<TimerCall>(reinterpret_cast<void*>(address))();
}

bool WINAPI processImagePath(HANDLE process, char* path, DWORD size) {
  FARPROC address = reach(PROCESS_IMAGE_NAME);
  return address && reinterpret_cast<ImageNameCall>(reinterpret_cast<void*>(address))(
                        process, 0, path, &size);
}

bool longPathName(const char* path, char* longPath, DWORD size) {
  FARPROC address = reach(LONG_PATH_NAME);
  if (!address) return false;
  DWORD length =
      reinterpret_cast<LongPathCall>(reinterpret_cast<void*>(address))(path, longPath, size);
  return length != 0 && length < size;
}

void releaseOnDemandImports() {
  for (OnDemandFunction& f : functions)
    if (onDemandLibraries[f.library].callsRunning == 0) f.address = nullptr;
  for (OnDemandLibrary& library : onDemandLibraries) {
    if (!library.module || library.callsRunning > 0) continue;
    FreeLibrary(library.module);
    library.module = nullptr;
  }
}
