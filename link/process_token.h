// What a process's token tells: its integrity level, and whether this process runs elevated.
#pragma once

#include <windows.h>

// The level of a process whose token cannot be read (before Vista, or no access).
const DWORD UNKNOWN_INTEGRITY_LEVEL = 0xFFFFFFFF;

// The integrity level of `process` (opened with at least limited query access), the last
// sub-authority of its token's label; UNKNOWN_INTEGRITY_LEVEL when it cannot be read.
DWORD integrityLevel(HANDLE process);

// This process's own integrity level, read once: a token's level stays for the process's life.
DWORD ownIntegrityLevel();

// Whether this process's token is elevated (TokenElevation, Vista on), read once. Unknown
// (older Windows refuse the class; a token that cannot be read) counts as not elevated.
bool runsElevated();
