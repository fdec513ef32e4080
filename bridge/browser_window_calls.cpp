#include "bridge/browser_window_calls.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

// When a process began; false when it cannot be opened (gone, or no right to ask).
bool processStart(uint32_t process, ULONGLONG* start) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (h == nullptr) h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process);  // before Vista
  if (h == nullptr) return false;
  FILETIME created, exited, kernel, user;
  bool ok = GetProcessTimes(h, &created, &exited, &kernel, &user) != FALSE;
  CloseHandle(h);
  *start = (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return ok;
}

uint32_t parentProcess(uint32_t process) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  uint32_t parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == process) parent = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  // A parent that has ended leaves its number to be reused: a process younger than its child
  // is someone else.
  ULONGLONG parentStart = 0, childStart = 0;
  if (parent == 0 || !processStart(parent, &parentStart) || !processStart(process, &childStart) ||
      parentStart > childStart)
    return 0;
  return parent;
}

struct Listing {
  DWORD process;
  BrowserWindow* out;
  size_t capacity;
  size_t count;
};

BOOL CALLBACK listWindow(HWND window, LPARAM data) {
  Listing& l = *reinterpret_cast<Listing*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  RECT r;
  // The shell's desktop covers every page and owns nothing.
  if (process != l.process || window == GetShellWindow() || !IsWindowVisible(window) || IsIconic(window) ||
      GetWindow(window, GW_OWNER) != nullptr || !GetWindowRect(window, &r))
    return TRUE;
  l.out[l.count++] = {window, {r.left, r.top, r.right - r.left, r.bottom - r.top}};
  return l.count < l.capacity;
}

size_t visibleWindows(uint32_t process, BrowserWindow* out, size_t capacity) {
  Listing l = {process, out, capacity, 0};
  if (capacity > 0) EnumWindows(listWindow, reinterpret_cast<LPARAM>(&l));
  return l.count;
}

}  // namespace

const BrowserWindowCalls WINDOWS_BROWSER_WINDOW_CALLS = {parentProcess, visibleWindows};
