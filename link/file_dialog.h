// The common Open and Save dialogs, with each dialog's settings and last choice kept
// between uses under a small index chosen by the caller.
#pragma once

#include <windows.h>

#include <commdlg.h>

// Runs the Open (save false) or Save dialog of cache entry `index` (0 or more) and returns
// the chosen path, with the selected pattern's extension added to a bare name; null when
// the user cancelled or the dialog or an allocation failed. The path stays valid until the
// next call. `filterSpec` ("EXE Files^*.EXE^^", "^" for each NUL) and `initialDir` (null
// for the current directory) are used only when the entry is created; from the second call
// on the dialog starts in the last choice's directory with "*" + its extension.
// Index -1 releases the whole cache and returns null.
const char* runFileDialog(HWND owner, int index, const char* filterSpec, const char* title,
                          bool save, const char* initialDir);

// Read-only view of the cache, for tests.
struct FileDialogCacheView {
  int highestIndex;      // -1 while empty
  SIZE_T arrayBytes[4];  // allocated size of each of the four handle arrays, 0 when absent
  int entries;           // indices whose parameter block exists
};
FileDialogCacheView inspectFileDialogCacheForTests();

// Copy of one entry, for tests; false when the entry does not exist. Pointers inside
// `parameters` are those of the last call and may be stale.
struct FileDialogEntryView {
  OPENFILENAMEA parameters;  // only the first lStructSize bytes are copied
  bool hasDefaultExtension;
  char fileName[128];
  char initialDir[128];
  char filter[128];
  HGLOBAL blocks[4];  // parameter block, file name, initial directory, filter
};
bool inspectFileDialogEntryForTests(int index, FileDialogEntryView* view);
