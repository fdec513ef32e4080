// The planner's questions answered by Windows (link/launch_plan.h), and the file identities
// the window finder compares with the plan's.
#pragma once

#include "link/launch_plan.h"

// Files, App Paths keys and PATH as this process sees them now.
extern const PlanLookup windowsPlanLookup;

// The identity of the file `path` names (volume serial and file index); known false when the
// file cannot be opened or its information read.
void identifyFile(const char* path, FileIdentity* identity);

// `path` as its canonical long full path, for comparing spellings where identities cannot be
// had: GetFullPathNameA, then GetLongPathNameA where that can be reached and the file exists.
// False when the full path does not fit `size` bytes.
bool canonicalPath(const char* path, char* out, size_t size);
