// Text derivations of the file dialog helper: the filter list, the restart point taken from
// the last choice, the completion of a missing extension and the default extension.
// Plain functions over caller-owned buffers.
#pragma once

#include <stddef.h>

// Size of each text buffer of a file dialog cache entry.
#define FILE_DIALOG_BUFFER_SIZE 128

// Converts a filter list written with "^" for each NUL ("EXE Files^*.EXE^^") into the
// platform's form in `filter`, zero-filling the rest of the buffer. Returns false and leaves
// the buffer all zero when the list would not end in two NULs inside `size` bytes.
bool convertFilterSpec(const char* filterSpec, char* filter, size_t size);

// The default extension of a filter list: the first "." within the first description, or
// null when that description has none.
const char* defaultExtension(const char* filter, size_t size);

// Prepares the next dialog from the last chosen path in `fileName`: `initialDir` becomes its
// directory (C:\APPS\ORBIPLAY.EXE gives C:\APPS, C:\ORBIPLAY.EXE gives C:) and `fileName`
// the pattern "*" + its extension ("*.EXE"), or "*" when the last component has none.
// An empty `fileName` gives an empty `initialDir` and leaves `fileName` empty. The first
// character is never taken as a separator. Both buffers are `size` bytes.
void deriveRestartPoint(char* fileName, char* initialDir, size_t size);

// After a successful dialog: when the last component of `path` has no extension, appends
// pattern number `filterIndex` (counted from 1) of `filter` without its first character
// ("*.EXE" gives ".EXE"). The path is left as chosen when it has an extension, holds no
// separator, the pattern is missing or empty, or the extension would not fit `pathSize`.
void completeExtension(char* path, size_t pathSize, const char* filter, size_t filterSize,
                       unsigned long filterIndex);
