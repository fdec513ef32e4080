#include "link/file_dialog.h"

#include <stddef.h>
#include <string.h>

#include "link/file_dialog_paths.h"
#include "link/on_demand_imports.h"

FileDialogCache fileDialogCache = {-1, {}};

namespace {

// The parameter block without the fields later platform versions appended.
// (OPENFILENAME_SIZE_VERSION_400A, spelled so that it is a constant expression).
const DWORD PARAMETER_BLOCK_SIZE =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
#ifndef _WIN64
static_assert(PARAMETER_BLOCK_SIZE == 76, "the 32-bit parameter block is 76 bytes");
#else
static_assert(PARAMETER_BLOCK_SIZE == 136, "the 64-bit parameter block is 136 bytes");
#endif

const DWORD SAVE_FLAGS = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
const DWORD OPEN_FLAGS = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
static_assert(SAVE_FLAGS == 0x806 && OPEN_FLAGS == 0x1804, "dialog flags");

const UINT MEMORY_FLAGS = GMEM_MOVEABLE | GMEM_ZEROINIT;
const int BLOCK_KINDS = FILE_DIALOG_BLOCK_KINDS;
const int PARAMETERS = FILE_DIALOG_PARAMETERS;
const SIZE_T BLOCK_SIZES[BLOCK_KINDS] = {PARAMETER_BLOCK_SIZE, FILE_DIALOG_BUFFER_SIZE,
                                         FILE_DIALOG_BUFFER_SIZE, FILE_DIALOG_BUFFER_SIZE};

// The locked blocks of one entry during a call.
struct LockedEntry {
  OPENFILENAMEA* parameters;
  char* fileName;
  char* initialDir;
  char* filter;
};

void freeArrays() {
  for (HGLOBAL& array : fileDialogCache.arrays) {
    if (array) GlobalFree(array);
    array = nullptr;
  }
}

void releaseCache() {
  if (fileDialogCache.highestIndex < 0) return;
  HGLOBAL* lists[BLOCK_KINDS];
  bool locked = true;
  for (int k = 0; k < BLOCK_KINDS; ++k) {
    lists[k] = static_cast<HGLOBAL*>(GlobalLock(fileDialogCache.arrays[k]));
    locked = locked && lists[k] != nullptr;
  }
  if (locked) {
    for (int i = 0; i <= fileDialogCache.highestIndex; ++i) {
      if (lists[PARAMETERS][i] == nullptr) continue;
      for (int k = 0; k < BLOCK_KINDS; ++k) GlobalFree(lists[k][i]);
    }
  }
  for (int k = 0; k < BLOCK_KINDS; ++k)
    if (lists[k]) GlobalUnlock(fileDialogCache.arrays[k]);
  freeArrays();
  fileDialogCache.highestIndex = -1;
}

// Brings the four arrays to index + 1 entries. On failure the cache stays as it was
// (arrays already grown keep their zeroed new entries, which is harmless).
bool growCache(int index) {
  SIZE_T bytes = static_cast<SIZE_T>(index + 1) * sizeof(HGLOBAL);
  for (HGLOBAL& array : fileDialogCache.arrays) {
    HGLOBAL grown = array ? GlobalReAlloc(array, bytes, MEMORY_FLAGS)
                          : GlobalAlloc(MEMORY_FLAGS, bytes);
    if (grown == nullptr) {
      if (fileDialogCache.highestIndex < 0) freeArrays();
      return false;
    }
    array = grown;
  }
  fileDialogCache.highestIndex = index;
  return true;
}

void unlockEntry(HGLOBAL* const blocks) {
  for (int k = 0; k < BLOCK_KINDS; ++k)
    if (blocks[k]) GlobalUnlock(blocks[k]);
}

bool lockEntry(HGLOBAL* const blocks, LockedEntry* entry) {
  void* p[BLOCK_KINDS];
  bool ok = true;
  for (int k = 0; k < BLOCK_KINDS; ++k) {
    p[k] = GlobalLock(blocks[k]);
    if (p[k] == nullptr) ok = false;
  }
  if (!ok) {
    for (int k = 0; k < BLOCK_KINDS; ++k)
      if (p[k]) GlobalUnlock(blocks[k]);
    return false;
  }
  entry->parameters = static_cast<OPENFILENAMEA*>(p[PARAMETERS]);
  entry->fileName = static_cast<char*>(p[FILE_DIALOG_FILE_NAME]);
  entry->initialDir = static_cast<char*>(p[FILE_DIALOG_INITIAL_DIR]);
  entry->filter = static_cast<char*>(p[FILE_DIALOG_FILTER]);
  return true;
}

// Allocates the four zero-filled blocks of a new entry into `blocks`; on failure frees
// what it allocated and leaves `blocks` zero.
bool allocateEntry(HGLOBAL* blocks) {
  for (int k = 0; k < BLOCK_KINDS; ++k) {
    blocks[k] = GlobalAlloc(MEMORY_FLAGS, BLOCK_SIZES[k]);
    if (blocks[k] == nullptr) {
      for (int j = 0; j < k; ++j) {
        GlobalFree(blocks[j]);
        blocks[j] = nullptr;
      }
      return false;
    }
  }
  return true;
}

// Fills a new entry's parameter block and buffers (all zero on entry). Only the fields
// inside the short parameter block are touched.
void setUpEntry(const LockedEntry& e, const char* filter, const char* title, bool save,
                const char* initialDir) {
  OPENFILENAMEA* p = e.parameters;
  p->lStructSize = PARAMETER_BLOCK_SIZE;
  p->hInstance = nullptr;
  memcpy(e.filter, filter, FILE_DIALOG_BUFFER_SIZE);
  p->lpstrFilter = e.filter;
  p->lpstrCustomFilter = nullptr;
  p->nMaxCustFilter = 0;
  p->nFilterIndex = 1;
  p->lpstrFile = e.fileName;
  p->lpstrFileTitle = nullptr;
  p->nMaxFileTitle = 0;
  if (initialDir) {
    // A directory that does not fit is left out: the dialog starts in the current one.
    if (strlen(initialDir) < FILE_DIALOG_BUFFER_SIZE) lstrcpyA(e.initialDir, initialDir);
  } else {
    char current[255];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length > 0 && length < FILE_DIALOG_BUFFER_SIZE) lstrcpyA(e.initialDir, current);
  }
  p->lpstrInitialDir = e.initialDir;
  p->lpstrTitle = title;
  p->Flags = save ? SAVE_FLAGS : OPEN_FLAGS;
  p->nFileOffset = 0;
  p->nFileExtension = 0;
  p->lpstrDefExt = defaultExtension(e.filter, FILE_DIALOG_BUFFER_SIZE);
  p->lCustData = 0;
  p->lpfnHook = nullptr;
  p->lpTemplateName = nullptr;
}

// Re-points an existing entry at its buffers (they may have moved since the last call) and
// starts the dialog from the last choice.
void restartEntry(const LockedEntry& e, const char* title) {
  OPENFILENAMEA* p = e.parameters;
  // lpstrDefExt points into the filter buffer: keep its offset across a move.
  if (p->lpstrDefExt && p->lpstrFilter)
    p->lpstrDefExt = e.filter + (p->lpstrDefExt - p->lpstrFilter);
  p->lpstrFilter = e.filter;
  p->lpstrFile = e.fileName;
  p->lpstrInitialDir = e.initialDir;
  p->lpstrTitle = title;
  deriveRestartPoint(e.fileName, e.initialDir, FILE_DIALOG_BUFFER_SIZE);
}

}  // namespace

const char* runFileDialog(HWND owner, int index, const char* filterSpec, const char* title,
                          bool save, const char* initialDir) {
  if (index == -1) {
    releaseCache();
    return nullptr;
  }
  if (index < 0) return nullptr;
  if (index > fileDialogCache.highestIndex && !growCache(index)) return nullptr;

  HGLOBAL* lists[BLOCK_KINDS] = {};
  for (int k = 0; k < BLOCK_KINDS; ++k) {
    lists[k] = static_cast<HGLOBAL*>(GlobalLock(fileDialogCache.arrays[k]));
    if (lists[k] == nullptr) {
      for (int j = 0; j < k; ++j) GlobalUnlock(fileDialogCache.arrays[j]);
      return nullptr;
    }
  }

  const char* result = nullptr;
  HGLOBAL blocks[BLOCK_KINDS];
  bool isNew = lists[PARAMETERS][index] == nullptr;
  char filter[FILE_DIALOG_BUFFER_SIZE];
  LockedEntry entry;
  bool ready = false;
  if (isNew) {
    // A filter list that does not fit is refused before anything is allocated.
    if (convertFilterSpec(filterSpec, filter, sizeof filter) && allocateEntry(blocks)) {
      if (lockEntry(blocks, &entry)) {
        for (int k = 0; k < BLOCK_KINDS; ++k) lists[k][index] = blocks[k];
        setUpEntry(entry, filter, title, save, initialDir);
        ready = true;
      } else {
        for (HGLOBAL block : blocks) GlobalFree(block);
      }
    }
  } else {
    for (int k = 0; k < BLOCK_KINDS; ++k) blocks[k] = lists[k][index];
    if (lockEntry(blocks, &entry)) {
      restartEntry(entry, title);
      ready = true;
    }
  }

  if (ready) {
    OPENFILENAMEA* p = entry.parameters;
    p->nMaxFile = FILE_DIALOG_BUFFER_SIZE;
    p->hwndOwner = owner;
    BOOL chosen = runCommonFileDialog(p, save);
    if (chosen) {
      completeExtension(entry.fileName, FILE_DIALOG_BUFFER_SIZE, entry.filter,
                        FILE_DIALOG_BUFFER_SIZE, p->nFilterIndex);
      result = entry.fileName;
    }
    unlockEntry(blocks);
  }
  for (int k = 0; k < BLOCK_KINDS; ++k) GlobalUnlock(fileDialogCache.arrays[k]);
  return result;
}
