// Filter conversion, restart point, extension completion and default extension of the
// file dialog helper.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/file_dialog_paths.h"

namespace {

std::string bytes(const char* buffer, size_t n) { return std::string(buffer, n); }

}  // namespace

TEST(ConvertFilterSpec, CaretsBecomeNulsAndTheRestIsZero) {
  char filter[FILE_DIALOG_BUFFER_SIZE];
  memset(filter, 'x', sizeof filter);
  ASSERT_TRUE(convertFilterSpec("EXE Files^*.EXE^^", filter, sizeof filter));
  EXPECT_EQ(std::string("EXE Files\0*.EXE\0\0", 17), bytes(filter, 17));
  for (size_t i = 17; i < sizeof filter; ++i) ASSERT_EQ('\0', filter[i]) << i;

  ASSERT_TRUE(convertFilterSpec("A^*.a^B^*.b^^", filter, sizeof filter));
  EXPECT_EQ(std::string("A\0*.a\0B\0*.b\0\0", 13), bytes(filter, 13));
}

TEST(ConvertFilterSpec, RejectsAListWithoutRoomForItsDoubleNul) {
  char filter[8];
  // Fits exactly: text with its own closing carets, text plus one zero, text plus two zeros.
  EXPECT_TRUE(convertFilterSpec("A^*.ab^^", filter, sizeof filter));
  EXPECT_TRUE(convertFilterSpec("A^*.ab^", filter, sizeof filter));
  EXPECT_TRUE(convertFilterSpec("A^*.ab", filter, sizeof filter));
  EXPECT_EQ(std::string("A\0*.ab\0\0", 8), bytes(filter, 8));

  for (const char* tooLong : {"A^*.abc", "A^*.abc^", "A^*.abc^^", "AB^*.abc^"}) {
    memset(filter, 'x', sizeof filter);
    EXPECT_FALSE(convertFilterSpec(tooLong, filter, sizeof filter)) << tooLong;
    EXPECT_EQ(std::string(8, '\0'), bytes(filter, 8));
  }
}

TEST(DefaultExtension, LooksOnlyAtTheFirstDescription) {
  char filter[FILE_DIALOG_BUFFER_SIZE];
  convertFilterSpec("EXE Files^*.EXE^^", filter, sizeof filter);
  EXPECT_EQ(nullptr, defaultExtension(filter, sizeof filter));
  convertFilterSpec("Programs (*.exe)^*.exe^^", filter, sizeof filter);
  EXPECT_STREQ(".exe)", defaultExtension(filter, sizeof filter));
  EXPECT_EQ(filter + 11, defaultExtension(filter, sizeof filter));

  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(nullptr, defaultExtension(unterminated, sizeof unterminated));
}

TEST(DeriveRestartPoint, DirectoryAndPatternFromTheLastChoice) {
  struct Case { const char* chosen; const char* directory; const char* pattern; };
  const Case cases[] = {
      {"C:\\APPS\\ORBIPLAY.EXE", "C:\\APPS", "*.EXE"},
      {"C:\\ORBIPLAY.EXE", "C:", "*.EXE"},
      {"C:ORBIPLAY.EXE", "C", "*.EXE"},
      {"C:\\APPS.V2\\ORBIPLAY", "C:\\APPS.V2", "*"},
      {"C:\\APPS\\ARCHIVE.TAR.GZ", "C:\\APPS", "*.TAR.GZ"},
      {"ORBIPLAY.EXE", "", "*.EXE"},
      {"ORBIPLAY", "", "*"},
      // The first character is never examined, as separator or as ".".
      {"\\ORBIPLAY.EXE", "", "*.EXE"},
      {".EXE", "", "*"},
      {"C:\\APPS\\", "C:\\APPS", "*"},
  };
  for (const Case& c : cases) {
    char fileName[FILE_DIALOG_BUFFER_SIZE] = {};
    char directory[FILE_DIALOG_BUFFER_SIZE];
    memset(directory, 'x', sizeof directory);
    strcpy(fileName, c.chosen);
    deriveRestartPoint(fileName, directory, FILE_DIALOG_BUFFER_SIZE);
    EXPECT_STREQ(c.directory, directory) << c.chosen;
    EXPECT_STREQ(c.pattern, fileName) << c.chosen;
  }
}

TEST(DeriveRestartPoint, EmptyNameStaysEmptyAndFullBufferStaysInside) {
  char fileName[FILE_DIALOG_BUFFER_SIZE] = {};
  char directory[FILE_DIALOG_BUFFER_SIZE];
  memset(directory, 'x', sizeof directory);
  deriveRestartPoint(fileName, directory, sizeof fileName);
  EXPECT_STREQ("", fileName);
  EXPECT_STREQ("", directory);

  memset(fileName, 'a', sizeof fileName);  // unterminated: taken as 127 characters
  fileName[100] = '\\';
  fileName[120] = '.';
  deriveRestartPoint(fileName, directory, sizeof fileName);
  EXPECT_EQ(100u, strlen(directory));
  EXPECT_EQ("*." + std::string(6, 'a'), std::string(fileName));
}

TEST(CompleteExtension, AppendsTheSelectedPatternToABareName) {
  char filter[FILE_DIALOG_BUFFER_SIZE];
  convertFilterSpec("Programs^*.EXE^Commands^*.COM^^", filter, sizeof filter);
  struct Case { const char* chosen; unsigned long index; const char* result; };
  const Case cases[] = {
      {"C:\\APPS.V2\\ORBIPLAY", 1, "C:\\APPS.V2\\ORBIPLAY.EXE"},
      {"C:\\APPS\\ORBIPLAY", 2, "C:\\APPS\\ORBIPLAY.COM"},
      {"C:ORBIPLAY", 1, "C:ORBIPLAY.EXE"},
      {"C:\\APPS\\ORBIPLAY.EXE", 1, "C:\\APPS\\ORBIPLAY.EXE"},
      {"C:\\APPS\\ORBIPLAY.", 1, "C:\\APPS\\ORBIPLAY."},
      {"ORBIPLAY", 1, "ORBIPLAY"},  // no separator: left as chosen
      // No such pattern, or the custom filter's index 0: left as chosen.
      {"C:\\APPS\\ORBIPLAY", 3, "C:\\APPS\\ORBIPLAY"},
      {"C:\\APPS\\ORBIPLAY", 0, "C:\\APPS\\ORBIPLAY"},
      {"C:\\APPS\\ORBIPLAY", 0x80000000ul, "C:\\APPS\\ORBIPLAY"},
  };
  for (const Case& c : cases) {
    char path[FILE_DIALOG_BUFFER_SIZE] = {};
    strcpy(path, c.chosen);
    completeExtension(path, sizeof path, filter, sizeof filter, c.index);
    EXPECT_STREQ(c.result, path) << c.chosen << " " << c.index;
  }
}

TEST(CompleteExtension, PathWithoutRoomIsLeftAsChosen) {
  char filter[FILE_DIALOG_BUFFER_SIZE];
  convertFilterSpec("EXE Files^*.EXE^^", filter, sizeof filter);
  char path[FILE_DIALOG_BUFFER_SIZE];
  std::string fits = "C:\\" + std::string(120, 'P');  // 123 + ".EXE" = 127
  strcpy(path, fits.c_str());
  completeExtension(path, sizeof path, filter, sizeof filter, 1);
  EXPECT_EQ(fits + ".EXE", std::string(path));

  std::string full = "C:\\" + std::string(121, 'P');
  strcpy(path, full.c_str());
  completeExtension(path, sizeof path, filter, sizeof filter, 1);
  EXPECT_EQ(full, std::string(path));
}

TEST(CompleteExtension, StaysInsideAnUnterminatedFilter) {
  char filter[6] = {'A', '\0', '*', '.', 'E', 'X'};
  char path[FILE_DIALOG_BUFFER_SIZE] = "C:\\ORBIPLAY";
  completeExtension(path, sizeof path, filter, sizeof filter, 1);
  EXPECT_STREQ("C:\\ORBIPLAY", path);
}
