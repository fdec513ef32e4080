// runFileDialog against the real common Open dialog, driven from a second thread, and its
// cache of movable memory blocks.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "link/file_dialog.h"
// Control IDs of the common dialogs (after windows.h).
#include <dlgs.h>
#include "wine_test_support.h"

namespace {

const char TITLE[] = "Find Kelvora Client APP (ORBIPLAY.EXE)";
const char FILTER[] = "EXE Files^*.EXE^^";

unsigned lockCount(HGLOBAL block) { return GlobalFlags(block) & GMEM_LOCKCOUNT; }

// The parameter block: OPENFILENAMEA up to lpTemplateName.
const SIZE_T PARAMETER_BLOCK_SIZE = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);

// The cache as fileDialogCache shows it.
struct FileDialogCacheView {
  int highestIndex;
  SIZE_T arrayBytes[FILE_DIALOG_BLOCK_KINDS];  // allocated size of each handle array, 0 when absent
  int entries;                                 // indices whose parameter block exists
};

FileDialogCacheView inspectFileDialogCache() {
  const FileDialogCache& cache = fileDialogCache;
  FileDialogCacheView view = {};
  view.highestIndex = cache.highestIndex;
  for (int k = 0; k < FILE_DIALOG_BLOCK_KINDS; ++k)
    view.arrayBytes[k] = cache.arrays[k] ? GlobalSize(cache.arrays[k]) : 0;
  if (cache.highestIndex < 0) return view;
  auto parameters = static_cast<HGLOBAL*>(GlobalLock(cache.arrays[FILE_DIALOG_PARAMETERS]));
  for (int i = 0; parameters && i <= cache.highestIndex; ++i)
    if (parameters[i]) ++view.entries;
  if (parameters) GlobalUnlock(cache.arrays[FILE_DIALOG_PARAMETERS]);
  return view;
}

// A copy of one entry; pointers inside `parameters` are those of the last call.
struct FileDialogEntryView {
  OPENFILENAMEA parameters;  // only the parameter block's bytes are copied
  bool hasDefaultExtension;
  char fileName[128];
  char initialDir[128];
  char filter[128];
  HGLOBAL blocks[FILE_DIALOG_BLOCK_KINDS];  // parameter block, file name, initial directory, filter
};

// False when the entry does not exist or a block cannot be locked.
bool inspectFileDialogEntry(int index, FileDialogEntryView* view) {
  const FileDialogCache& cache = fileDialogCache;
  if (index < 0 || index > cache.highestIndex) return false;
  for (int k = 0; k < FILE_DIALOG_BLOCK_KINDS; ++k) {
    auto list = static_cast<HGLOBAL*>(GlobalLock(cache.arrays[k]));
    if (!list) return false;
    view->blocks[k] = list[index];
    GlobalUnlock(cache.arrays[k]);
  }
  if (!view->blocks[FILE_DIALOG_PARAMETERS]) return false;
  void* p[FILE_DIALOG_BLOCK_KINDS];
  bool locked = true;
  for (int k = 0; k < FILE_DIALOG_BLOCK_KINDS; ++k) {
    p[k] = GlobalLock(view->blocks[k]);
    if (!p[k]) locked = false;
  }
  if (locked) {
    memset(&view->parameters, 0, sizeof view->parameters);
    memcpy(&view->parameters, p[FILE_DIALOG_PARAMETERS], PARAMETER_BLOCK_SIZE);
    view->hasDefaultExtension = view->parameters.lpstrDefExt != nullptr;
    memcpy(view->fileName, p[FILE_DIALOG_FILE_NAME], sizeof view->fileName);
    memcpy(view->initialDir, p[FILE_DIALOG_INITIAL_DIR], sizeof view->initialDir);
    memcpy(view->filter, p[FILE_DIALOG_FILTER], sizeof view->filter);
  }
  for (int k = 0; k < FILE_DIALOG_BLOCK_KINDS; ++k)
    if (p[k]) GlobalUnlock(view->blocks[k]);
  return locked;
}

std::string folderOf(HWND dialog) {
  char path[MAX_PATH] = {};
  SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof path, reinterpret_cast<LPARAM>(path));
  return path;
}

// What the first Open dialog showed, and the entry as it stood while the dialog ran.
struct Seen {
  std::string caption, filterName;
  bool readOnlyBoxVisible = true;
  bool entryFound = false;
  FileDialogEntryView entry;
};

class FileDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA("C:\\APPS", nullptr);
    CreateDirectoryA("C:\\APPS.V2", nullptr);
    writeFile("C:\\APPS\\ORBIPLAY.EXE", "");
    writeFile("C:\\APPS.V2\\ORBIPLAY", "");
  }
  static void TearDownTestSuite() {
    DeleteFileA("C:\\APPS\\ORBIPLAY.EXE");
    DeleteFileA("C:\\APPS.V2\\ORBIPLAY");
    RemoveDirectoryA("C:\\APPS");
    RemoveDirectoryA("C:\\APPS.V2");
  }
  void SetUp() override { runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr); }
  void TearDown() override { runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr); }
};

TEST_F(FileDialogTest, FirstCallSetsUpTheEntryAndLaterCallsRestartFromTheChoice) {
  Seen first;
  DialogWatcher user1(TITLE, [&](HWND d) {
    char text[256] = {};
    GetWindowTextA(d, text, sizeof text);
    first.caption = text;
    SendMessageA(GetDlgItem(d, cmb1), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    first.filterName = text;
    first.readOnlyBoxVisible = IsWindowVisible(GetDlgItem(d, chx1)) != FALSE;
    first.entryFound = inspectFileDialogEntry(0, &first.entry);
    chooseInFileDialog(d, "C:\\APPS\\ORBIPLAY.EXE");
  });
  const char* chosen = runFileDialog(nullptr, 0, FILTER, TITLE, false, "");
  user1.stop();
  ASSERT_TRUE(user1.seen());
  ASSERT_TRUE(chosen != nullptr);
  EXPECT_STREQ("C:\\APPS\\ORBIPLAY.EXE", chosen);

  EXPECT_EQ(TITLE, first.caption);
  EXPECT_EQ("EXE Files", first.filterName);
  EXPECT_FALSE(first.readOnlyBoxVisible);
  ASSERT_TRUE(first.entryFound);
  const OPENFILENAMEA& p = first.entry.parameters;
  EXPECT_EQ(PARAMETER_BLOCK_SIZE, p.lStructSize);
  EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), p.Flags);
  EXPECT_EQ(1u, p.nFilterIndex);
  EXPECT_EQ(128u, p.nMaxFile);
  EXPECT_FALSE(first.entry.hasDefaultExtension);
  // An empty initial directory: where the dialog then starts is the platform's choice.
  EXPECT_STREQ("", first.entry.initialDir);
  EXPECT_EQ(0, memcmp("EXE Files\0*.EXE\0\0", first.entry.filter, 17));

  // Nothing stays locked between calls.
  FileDialogEntryView after;
  ASSERT_TRUE(inspectFileDialogEntry(0, &after));
  for (HGLOBAL block : after.blocks) EXPECT_EQ(0u, lockCount(block));

  // The second call starts in the last choice's directory with its extension's pattern;
  // a bare name comes back with the pattern's extension, even under a dotted directory.
  std::string folder2;
  FileDialogEntryView during2;
  DialogWatcher user2(TITLE, [&](HWND d) {
    folder2 = folderOf(d);
    inspectFileDialogEntry(0, &during2);
    chooseInFileDialog(d, "C:\\APPS.V2\\ORBIPLAY");
  });
  chosen = runFileDialog(nullptr, 0, "other^*.*^^", "Find Kelvora Client APP (ORBIPLAY.EXE)",
                         false, "C:\\ELSEWHERE");
  user2.stop();
  ASSERT_TRUE(user2.seen());
  EXPECT_STREQ("C:\\APPS", during2.initialDir);
  EXPECT_STREQ("*.EXE", during2.fileName);
  EXPECT_STRCASEEQ("C:\\APPS", folder2.c_str());
  ASSERT_TRUE(chosen != nullptr);
  EXPECT_STREQ("C:\\APPS.V2\\ORBIPLAY.EXE", chosen);

  // Cancel gives null; the entry keeps the filter of its first call.
  DialogWatcher user3(TITLE, [&](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 0, FILTER, TITLE, false, ""));
  user3.stop();
  EXPECT_TRUE(user3.seen());
  FileDialogEntryView kept;
  ASSERT_TRUE(inspectFileDialogEntry(0, &kept));
  EXPECT_EQ(0, memcmp("EXE Files\0*.EXE\0\0", kept.filter, 17));
}

TEST_F(FileDialogTest, IndexThreeOnAnEmptyCacheCreatesOnlyThatEntry) {
  FileDialogCacheView empty = inspectFileDialogCache();
  EXPECT_EQ(-1, empty.highestIndex);

  DialogWatcher cancel(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 3, FILTER, TITLE, true, nullptr));
  cancel.stop();
  EXPECT_TRUE(cancel.seen());

  FileDialogCacheView view = inspectFileDialogCache();
  EXPECT_EQ(3, view.highestIndex);
  for (SIZE_T bytes : view.arrayBytes) EXPECT_EQ(4 * sizeof(HGLOBAL), bytes);
  EXPECT_EQ(1, view.entries);
  FileDialogEntryView entry;
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(inspectFileDialogEntry(i, &entry)) << i;
  ASSERT_TRUE(inspectFileDialogEntry(3, &entry));
  EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST),
            entry.parameters.Flags);
  char current[MAX_PATH];
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STREQ(current, entry.initialDir);  // null initialDir: the current directory

  // Release frees everything; a second release finds nothing to do.
  EXPECT_EQ(nullptr, runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr));
  FileDialogCacheView released = inspectFileDialogCache();
  EXPECT_EQ(-1, released.highestIndex);
  for (SIZE_T bytes : released.arrayBytes) EXPECT_EQ(0u, bytes);
  EXPECT_EQ(0, released.entries);
  EXPECT_EQ(nullptr, runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr));
  EXPECT_EQ(-1, inspectFileDialogCache().highestIndex);
}

TEST_F(FileDialogTest, FilterThatDoesNotFitIsRefusedWithoutADialog) {
  std::string filterSpec = "Files^" + std::string(130, 'x') + "^^";
  DialogWatcher guard(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 1, filterSpec.c_str(), TITLE, false, ""));
  guard.stop();
  EXPECT_FALSE(guard.seen());
  FileDialogEntryView entry;
  EXPECT_FALSE(inspectFileDialogEntry(1, &entry));
  EXPECT_EQ(0, inspectFileDialogCache().entries);
}

}  // namespace
