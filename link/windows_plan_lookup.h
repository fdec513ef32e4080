// The planner's questions answered by Windows (link/launch_plan.h), and the file identities
// the window finder compares with the plan's.
#pragma once

#include "link/launch_plan.h"

// Files, App Paths keys and PATH as this process sees them now.
extern const PlanLookup windowsPlanLookup;

// Whether `path` names a file (not a folder) that can be opened to read its information, and
// then its identity (volume serial and file index); known false otherwise.
bool identifyFile(const char* path, FileIdentity* identity);

// `path` as its canonical long full path, for comparing spellings where identities cannot be
// had: GetFullPathNameA, then GetLongPathNameA where that can be reached and the file exists.
// False when the full path does not fit `size` bytes.
bool canonicalPath(const char* path, char* out, size_t size);
