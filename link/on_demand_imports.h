// The Windows calls the module makes only now and then, reached on first use instead of
// imported: loading the module then maps only KERNEL32, USER32 and ADVAPI32. A library stays
// loaded from its first use until releaseOnDemandImports. Libraries are loaded through the
// system-call table (link/system_calls.h), where a test can make one missing.
#pragma once

#include <windows.h>

#include <commdlg.h>

// GetSaveFileNameA (save) or GetOpenFileNameA from COMDLG32. FALSE, as for a failed dialog,
// when the library or the function cannot be reached.
BOOL runCommonFileDialog(OPENFILENAMEA* parameters, bool save);

// timeGetTime from WINMM; when that cannot be reached, GetTickCount, KERNEL32's millisecond
// counter, so that a wait measured with it still ends on time.
DWORD WINAPI millisecondTime();

// QueryFullProcessImageNameA from KERNEL32 (Vista and later): the full path of `process`'s
// image. False when it cannot be had, or does not fit `size` bytes.
bool WINAPI processImagePath(HANDLE process, char* path, DWORD size);

// GetLongPathNameA from KERNEL32 (Windows 98 and 2000 on): `path` with every short (8.3)
// component in its long form. False when it cannot be had (no such file, no such function)
// or does not fit `size` bytes.
bool longPathName(const char* path, char* longPath, DWORD size);

// Frees the libraries loaded so far; the next use loads them again. A library whose call is
// still running (a file dialog whose message loop led here) stays until the next release.
void releaseOnDemandImports();

// The libraries reached on demand. Module-wide so that tests can see what is loaded.
struct OnDemandLibrary {
  const char* fileName;
  HMODULE module;    // null until first use and after a release
  int callsRunning;  // calls into the library under way
};
enum { COMMON_DIALOGS, MULTIMEDIA_TIMER, SYSTEM_KERNEL, ON_DEMAND_LIBRARIES };
extern OnDemandLibrary onDemandLibraries[ON_DEMAND_LIBRARIES];
