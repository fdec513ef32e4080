#include "link/process_token.h"

TokenTraits tokenTraits(HANDLE process) {
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

const TokenTraits& ownTokenTraits() {
  static bool read = false;
  static TokenTraits own;
  if (read) return own;
  read = true;
  own = tokenTraits(GetCurrentProcess());
  // Elevated above the user's own programs only where the desktop's shell runs lower: with
  // UAC off (and under Wine) every program of the user runs as this one does.
  DWORD shell = 0;
  GetWindowThreadProcessId(GetShellWindow(), &shell);
  HANDLE process = OpenProcess(0x1000, FALSE, shell);  // limited query access
  DWORD shellLevel = process ? tokenTraits(process).integrityLevel : UNKNOWN_INTEGRITY_LEVEL;
  if (process) CloseHandle(process);
  own.elevated &= shellLevel != UNKNOWN_INTEGRITY_LEVEL && shellLevel < own.integrityLevel;
  return own;
}
