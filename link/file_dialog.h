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

// Each cache entry is four movable blocks: the parameter block (the OPENFILENAMEA fields up to
// lpTemplateName), and buffers for the file name, the initial directory and the filter.
enum { FILE_DIALOG_PARAMETERS, FILE_DIALOG_FILE_NAME, FILE_DIALOG_INITIAL_DIR, FILE_DIALOG_FILTER,
       FILE_DIALOG_BLOCK_KINDS };

// The cache: four parallel arrays of block handles, one per block kind, with
// highestIndex + 1 entries each; an entry whose parameter block is null does not exist.
// Module-wide so that tests can read it.
struct FileDialogCache {
  int highestIndex;  // -1 while empty
  HGLOBAL arrays[FILE_DIALOG_BLOCK_KINDS];
};
extern FileDialogCache fileDialogCache;
