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

void makeFile(const char* path) {
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
}

unsigned lockCount(HGLOBAL block) { return GlobalFlags(block) & GMEM_LOCKCOUNT; }

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
    makeFile("C:\\APPS\\ORBIPLAY.EXE");
    makeFile("C:\\APPS.V2\\ORBIPLAY");
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
    first.entryFound = inspectFileDialogEntryForTests(0, &first.entry);
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
  EXPECT_EQ(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR), p.lStructSize);
  EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), p.Flags);
  EXPECT_EQ(1u, p.nFilterIndex);
  EXPECT_EQ(128u, p.nMaxFile);
  EXPECT_FALSE(first.entry.hasDefaultExtension);
  // An empty initial directory: where the dialog then starts is the platform's choice.
  EXPECT_STREQ("", first.entry.initialDir);
  EXPECT_EQ(0, memcmp("EXE Files\0*.EXE\0\0", first.entry.filter, 17));

  // Nothing stays locked between calls.
  FileDialogEntryView after;
  ASSERT_TRUE(inspectFileDialogEntryForTests(0, &after));
  for (HGLOBAL block : after.blocks) EXPECT_EQ(0u, lockCount(block));

  // The second call starts in the last choice's directory with its extension's pattern;
  // a bare name comes back with the pattern's extension, even under a dotted directory.
  std::string folder2;
  FileDialogEntryView during2;
  DialogWatcher user2(TITLE, [&](HWND d) {
    folder2 = folderOf(d);
    inspectFileDialogEntryForTests(0, &during2);
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
  ASSERT_TRUE(inspectFileDialogEntryForTests(0, &kept));
  EXPECT_EQ(0, memcmp("EXE Files\0*.EXE\0\0", kept.filter, 17));
}

TEST_F(FileDialogTest, IndexThreeOnAnEmptyCacheCreatesOnlyThatEntry) {
  FileDialogCacheView empty = inspectFileDialogCacheForTests();
  EXPECT_EQ(-1, empty.highestIndex);

  DialogWatcher cancel(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 3, FILTER, TITLE, true, nullptr));
  cancel.stop();
  EXPECT_TRUE(cancel.seen());

  FileDialogCacheView view = inspectFileDialogCacheForTests();
  EXPECT_EQ(3, view.highestIndex);
  for (SIZE_T bytes : view.arrayBytes) EXPECT_EQ(4 * sizeof(HGLOBAL), bytes);
  EXPECT_EQ(1, view.entries);
  FileDialogEntryView entry;
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(inspectFileDialogEntryForTests(i, &entry)) << i;
  ASSERT_TRUE(inspectFileDialogEntryForTests(3, &entry));
  EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST),
            entry.parameters.Flags);
  char current[MAX_PATH];
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STREQ(current, entry.initialDir);  // null initialDir: the current directory

  // Release frees everything; a second release finds nothing to do.
  EXPECT_EQ(nullptr, runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr));
  FileDialogCacheView released = inspectFileDialogCacheForTests();
  EXPECT_EQ(-1, released.highestIndex);
  for (SIZE_T bytes : released.arrayBytes) EXPECT_EQ(0u, bytes);
  EXPECT_EQ(0, released.entries);
  EXPECT_EQ(nullptr, runFileDialog(nullptr, -1, nullptr, nullptr, false, nullptr));
  EXPECT_EQ(-1, inspectFileDialogCacheForTests().highestIndex);
}

TEST_F(FileDialogTest, FilterThatDoesNotFitIsRefusedWithoutADialog) {
  std::string filterSpec = "Files^" + std::string(130, 'x') + "^^";
  DialogWatcher guard(TITLE, [](HWND d) { pressDialogButton(d, IDCANCEL); });
  EXPECT_EQ(nullptr, runFileDialog(nullptr, 1, filterSpec.c_str(), TITLE, false, ""));
  guard.stop();
  EXPECT_FALSE(guard.seen());
  FileDialogEntryView entry;
  EXPECT_FALSE(inspectFileDialogEntryForTests(1, &entry));
  EXPECT_EQ(0, inspectFileDialogCacheForTests().entries);
}

}  // namespace
