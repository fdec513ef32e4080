#include "link/process_token.h"

namespace {

// TOKEN_INFORMATION_CLASS values of Vista, which older headers and systems lack.
const TOKEN_INFORMATION_CLASS TOKEN_ELEVATION = static_cast<TOKEN_INFORMATION_CLASS>(20);
const TOKEN_INFORMATION_CLASS TOKEN_INTEGRITY_LEVEL = static_cast<TOKEN_INFORMATION_CLASS>(25);

bool ownTraitsRead = false;
DWORD ownLevel = UNKNOWN_INTEGRITY_LEVEL;
bool elevated = false;

DWORD tokenLevel(HANDLE token) {
  union {
    SID_AND_ATTRIBUTES label;  // the label's SID follows in the same buffer
    char bytes[64];
  } info;
  DWORD size;
  if (!GetTokenInformation(token, TOKEN_INTEGRITY_LEVEL, &info, sizeof info, &size))
    return UNKNOWN_INTEGRITY_LEVEL;
  const SID* sid = static_cast<const SID*>(info.label.Sid);
  return sid->SubAuthorityCount == 1 ? sid->SubAuthority[0] : UNKNOWN_INTEGRITY_LEVEL;
}

void readOwnTraits() {
  if (ownTraitsRead) return;
  ownTraitsRead = true;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  ownLevel = tokenLevel(token);
  DWORD elevation = 0, size;
  elevated = GetTokenInformation(token, TOKEN_ELEVATION, &elevation, sizeof elevation, &size) &&
             elevation != 0;
  CloseHandle(token);
}

}  // namespace

DWORD integrityLevel(HANDLE process) {
  HANDLE token;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return UNKNOWN_INTEGRITY_LEVEL;
  DWORD level = tokenLevel(token);
  CloseHandle(token);
  return level;
}

DWORD ownIntegrityLevel() {
  readOwnTraits();
  return ownLevel;
}

bool runsElevated() {
  readOwnTraits();
  return elevated;
}
