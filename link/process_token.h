// What a process's token tells: its integrity level and whether it is elevated.
#pragma once

#include <windows.h>

// The level of a process whose token cannot be read (before Vista, or no access).
const DWORD UNKNOWN_INTEGRITY_LEVEL = 0xFFFFFFFF;

struct TokenTraits {
  DWORD integrityLevel;  // the last sub-authority of the token's label, or unknown
  bool elevated;         // TokenElevation (Vista on); unknown counts as not elevated
};

// The traits of `process` (opened with at least limited query access); older Windows refuse
// both queries, and a token that cannot be read gives neither.
TokenTraits tokenTraits(HANDLE process);

// This process's own, read once: a token's level and elevation stay for the process's life.
// Elevated here means above the user's other programs: the token is elevated and the
// desktop's shell (GetShellWindow's process) runs at a lower integrity level.
const TokenTraits& ownTokenTraits();
