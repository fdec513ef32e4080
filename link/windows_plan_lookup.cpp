#include "link/windows_plan_lookup.h"

#include <windows.h>

#include "link/on_demand_imports.h"

namespace {

const char APP_PATHS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

bool findFile(const char* path, FileIdentity* identity) {
  identifyFile(path, identity);
  if (identity->known) return true;
  // Not opened (a sharing mode the system refuses, no access): it may still exist.
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool appPath(bool machine, const char* name, char* value, size_t size) {
  char key[sizeof APP_PATHS_KEY + LAUNCH_COMMAND_SIZE + 4];
  if (lstrlenA(name) + sizeof APP_PATHS_KEY > sizeof key) return false;
  lstrcpyA(key, APP_PATHS_KEY);
  lstrcatA(key, name);
  LONG length = static_cast<LONG>(size);
  return RegQueryValueA(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, value, &length) ==
             ERROR_SUCCESS &&
         length > 0 && static_cast<size_t>(length) <= size && value[length - 1] == '\0';
}

const char* pathText() {
  DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size == 0) return nullptr;
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (text == nullptr) return nullptr;
  // A PATH that grew between the two calls is not searched, rather than searched in part.
  DWORD length = GetEnvironmentVariableA("PATH", text, size);
  if (length != 0 && length < size) return text;
  HeapFree(GetProcessHeap(), 0, text);
  return nullptr;
}

void endPathText(const char* text) { HeapFree(GetProcessHeap(), 0, const_cast<char*>(text)); }

}  // namespace

const PlanLookup windowsPlanLookup = {findFile, appPath, pathText, endPathText};

void identifyFile(const char* path, FileIdentity* identity) {
  identity->known = false;
  // No access asked for: only the file's information is read, whoever holds it open.
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    identity->known = true;
    identity->volume = info.dwVolumeSerialNumber;
    identity->indexHigh = info.nFileIndexHigh;
    identity->indexLow = info.nFileIndexLow;
  }
  CloseHandle(file);
}

bool canonicalPath(const char* path, char* out, size_t size) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full || length >= size) return false;
  if (!longPathName(full, out, static_cast<DWORD>(size))) lstrcpyA(out, full);
  return true;
}
