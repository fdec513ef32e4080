#include "link/windows_plan_lookup.h"

#include <windows.h>

#include "link/on_demand_imports.h"

namespace {

bool appPath(bool machine, const char* key, char* value, size_t size) {
  LONG length = static_cast<LONG>(size);
  return RegQueryValueA(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, value, &length) ==
             ERROR_SUCCESS &&
         length > 0 && static_cast<size_t>(length) <= size && value[length - 1] == '\0';
}

// Any PATH fits: no environment variable is longer than 32,767 characters.
char path[32768];
const char* pathText() {
  DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
  return length != 0 && length < sizeof path ? path : nullptr;
}

}  // namespace

const PlanLookup windowsPlanLookup = {identifyFile, appPath, pathText};

bool identifyFile(const char* path, FileIdentity* identity) {
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

bool canonicalPath(const char* path, char* out, size_t size) {
  DWORD length = GetFullPathNameA(path, static_cast<DWORD>(size), out, nullptr);
  if (length == 0 || length >= size) return false;
  // In place; where the long form cannot be had, the full path stands.
  longPathName(out, out, static_cast<DWORD>(size));
  return true;
}
