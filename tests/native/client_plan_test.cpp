// The launch plan: every rule of the program's search in one table, against a system of files,
// App Paths keys and a PATH of the test's own; and the command line it makes.
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <string>

#include "link/client_plan.h"
#include "native_system_calls.h"

namespace {

// Files by every spelling Windows would open them by (8.3, slashes, ".\", a trailing space),
// each spelling with the file's index: one number, one file.
struct File { const char* path; uint32_t index; };
const File FILES[] = {
    {"C:\\Kelvora Client\\ORBIPLAY.EXE", 1}, {"C:\\KELVOR~1\\ORBIPLAY.EXE", 1},
    {"C:/Kelvora Client/ORBIPLAY.EXE", 1},   {"C:\\Kelvora Client\\.\\ORBIPLAY.EXE", 1},
    {"C:\\Kelvora Client\\ORBIPLAY.EXE ", 1}, {"C:\\K App\\ORB.EXE", 2},
    {"C:\\Program.exe", 3},                   {"C:\\Apps\\Kelvora", 4},  // look-alikes
    {"C:\\APPS\\ORBIPLAY", 5},                {"C:\\APPS\\ORBIPLAY.EXE", 6},
    {"C:\\ONLY\\ORBIPLAY", 7},                {"C:\\U\\ORBIPLAY.EXE", 8},
    {"C:\\M\\ORBIPLAY.EXE", 9},               {"C:\\P\\OTHER.EXE", 10},
    {"\\\\server\\share\\ORB.EXE", 11},       {"ORB.EXE", 12},  // in the current folder
    {"bin\\OTHER.EXE", 13},
};

bool findFile(const char* path, FileIdentity* identity) {
  for (const File& f : FILES)
    if (strcasecmp(f.path, path) == 0) {
      *identity = {true, 7, 0, f.index};
      return true;
    }
  return false;
}

long appPath(RegistryKey root, const char* path, char* value, long* size) {
  std::string prefix = APP_PATHS_KEY, name = path, found;
  if (name.compare(0, prefix.size(), prefix) != 0) return 2;
  bool machine = root == predefinedKey(LOCAL_MACHINE_ROOT);
  std::string key = (machine ? "HKLM:" : "HKCU:") + name.substr(prefix.size());
  if (key == "HKCU:ORBIPLAY.EXE") found = "C:\\U\\ORBIPLAY.EXE";
  if (key == "HKLM:ORBIPLAY.EXE") found = "\"C:\\M\\ORBIPLAY.EXE\"";  // as some installers write it
  if (key == "HKCU:OTHER.EXE") found = "bin\\OTHER.EXE";             // relative: no path
  if (found.empty() || found.size() >= static_cast<size_t>(*size)) return 2;
  *size = static_cast<long>(found.size() + 1);
  memcpy(value, found.c_str(), found.size() + 1);
  return 0;
}

// Relative folders first, then more than 2 KB of folders before the one that holds OTHER.EXE.
std::string path;
const char* pathText() {
  path = ".;bin;C:;";
  while (path.size() < 3000) path += "C:\\Tools\\Folder;";
  path += "C:\\P";
  return path.c_str();
}

SystemCalls withFiles() {
  SystemCalls system = EMPTY_MACHINE;
  system.findFile = findFile;
  system.readRegistryValue = appPath;
  system.pathText = pathText;
  return system;
}
const SystemCalls FAKE = withFiles();

}  // namespace

TEST(PlanLaunch, TheProgramOnlyWhereAnInstallerOrTheUserPutItAndNeverALookAlike) {
  struct Case { const char* command; bool elevated; const char* program; uint32_t index; const char* commandLine; };
  const Case cases[] = {
      // Quoted: what the quotes hold, ".EXE" first; an unclosed quote names nothing.
      {"\"C:\\K App\\ORB.EXE\" -x", false, "C:\\K App\\ORB.EXE", 2, "\"C:\\K App\\ORB.EXE\" -x /$l"},
      {"\"C:\\K App\\ORB\"", false, "C:\\K App\\ORB.EXE", 2, "\"C:\\K App\\ORB\" /$l"},
      {"\"C:\\K App\\ORB.EXE -x", false, nullptr, 0, nullptr},
      {"\"\" -x", false, nullptr, 0, nullptr},
      // The whole command, quoted on the command line when it holds a space.
      {"C:\\K App\\ORB", false, "C:\\K App\\ORB.EXE", 2, "\"C:\\K App\\ORB\" /$l"},
      // A shorter prefix only as an ".EXE" it names itself.
      {"C:\\K App\\ORB.EXE -x /y", false, "C:\\K App\\ORB.EXE", 2, "C:\\K App\\ORB.EXE -x /y /$l"},
      {"C:\\K App\\ORB -x", false, nullptr, 0, nullptr},
      // Gone programs: the look-alikes at the first space never start.
      {"C:\\Program Files\\K\\ORB.EXE", false, nullptr, 0, nullptr},
      {"C:\\Program Files\\K\\ORB.EXE -x", false, nullptr, 0, nullptr},
      {"C:\\Apps\\Kelvora Client\\ORBIPLAY.EXE", false, nullptr, 0, nullptr},
      {"C:\\Apps\\Kelvora Client\\ORBIPLAY.EXE -x", false, nullptr, 0, nullptr},
      // Without an extension, ".EXE" first; as written only when that is missing.
      {"C:\\APPS\\ORBIPLAY", false, "C:\\APPS\\ORBIPLAY.EXE", 6, "C:\\APPS\\ORBIPLAY /$l"},
      {"C:\\ONLY\\ORBIPLAY", false, "C:\\ONLY\\ORBIPLAY", 7, "C:\\ONLY\\ORBIPLAY /$l"},
      // Any spelling of one program is that program's file.
      {"C:\\KELVOR~1\\ORBIPLAY.EXE", false, "C:\\KELVOR~1\\ORBIPLAY.EXE", 1, "C:\\KELVOR~1\\ORBIPLAY.EXE /$l"},
      {"C:/Kelvora Client/ORBIPLAY.EXE", false, "C:/Kelvora Client/ORBIPLAY.EXE", 1, "\"C:/Kelvora Client/ORBIPLAY.EXE\" /$l"},
      {"C:\\Kelvora Client\\.\\ORBIPLAY.EXE", true, "C:\\Kelvora Client\\.\\ORBIPLAY.EXE", 1, "\"C:\\Kelvora Client\\.\\ORBIPLAY.EXE\" /$l"},
      {"C:\\Kelvora Client\\ORBIPLAY.EXE ", false, "C:\\Kelvora Client\\ORBIPLAY.EXE ", 1, "\"C:\\Kelvora Client\\ORBIPLAY.EXE \" /$l"},
      {"\\\\server\\share\\ORB.EXE", false, "\\\\server\\share\\ORB.EXE", 11, "\\\\server\\share\\ORB.EXE /$l"},
      // Relative paths name nothing, not even a file in the current folder.
      {"C:ORB.EXE", false, nullptr, 0, nullptr},
      {"bin\\OTHER.EXE", false, nullptr, 0, nullptr},
      // Bare names: the user's App Paths, the machine's (quotes removed), then PATH's absolute
      // folders however long it is; elevated, only the machine's App Paths.
      {"ORBIPLAY", false, "C:\\U\\ORBIPLAY.EXE", 8, "ORBIPLAY /$l"},
      {"ORBIPLAY", true, "C:\\M\\ORBIPLAY.EXE", 9, "ORBIPLAY /$l"},
      {"OTHER", false, "C:\\P\\OTHER.EXE", 10, "OTHER /$l"},
      {"OTHER.EXE", false, "C:\\P\\OTHER.EXE", 10, "OTHER.EXE /$l"},
      {"OTHER", true, nullptr, 0, nullptr},
      {"ORB.EXE", false, nullptr, 0, nullptr},
      {"", false, nullptr, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + (c.elevated ? " (elevated)" : ""));
    LaunchPlan plan;
    memset(&plan, 0xAB, sizeof plan);  // a previous plan's leftovers
    ASSERT_EQ(c.program != nullptr, planLaunch(c.command, FAKE, c.elevated, &plan));
    if (c.program == nullptr) {
      LaunchPlan empty;
      memset(&empty, 0, sizeof empty);
      EXPECT_EQ(0, memcmp(&empty, &plan, sizeof plan)) << "the plan was not emptied";
      continue;
    }
    EXPECT_STREQ(c.program, plan.program);
    EXPECT_STREQ(c.commandLine, plan.commandLine);
    EXPECT_TRUE(plan.identity.known);
    EXPECT_EQ(c.index, plan.identity.indexLow);
  }
}

TEST(PlanLaunch, ACommandWithoutItsNulWithin160BytesIsNone) {
  char command[LAUNCH_COMMAND_SIZE];
  memset(command, 'A', sizeof command);
  LaunchPlan plan;
  EXPECT_FALSE(planLaunch(command, FAKE, false, &plan));
  command[sizeof command - 1] = '\0';
  memcpy(command, "C:\\K App\\ORB.EXE ", 17);  // 159 characters: still a command
  EXPECT_TRUE(planLaunch(command, FAKE, false, &plan));
}

TEST(SameFile, OnlyKnownIdentitiesOfOneFileMatch) {
  const FileIdentity a = {true, 7, 0, 1}, otherVolume = {true, 8, 0, 1}, unknown = {false, 0, 0, 0};
  EXPECT_TRUE(sameFile(a, a));
  EXPECT_FALSE(sameFile(a, otherVolume));
  EXPECT_FALSE(sameFile(unknown, unknown));
  EXPECT_TRUE(isAbsolutePath("C:\\x") && isAbsolutePath("\\\\server\\x") && isAbsolutePath("C:/x") && hasFolder("C:x"));
  EXPECT_FALSE(isAbsolutePath("C:x") || isAbsolutePath("\\x") || isAbsolutePath("a\\x") || hasFolder("ORB"));
}

TEST(FormatCommandLine, AppendsTheLinkSwitchQuotingOnlyWhenAsked) {
  char line[240];
  ASSERT_TRUE(formatCommandLine("C:\\APPS\\ORBIPLAY.EXE", false, line, sizeof line));
  EXPECT_STREQ("C:\\APPS\\ORBIPLAY.EXE /$l", line);
  ASSERT_TRUE(formatCommandLine("C:\\Program Files\\ORBIPLAY.EXE", false, line, sizeof line));
  EXPECT_STREQ("C:\\Program Files\\ORBIPLAY.EXE /$l", line);
  ASSERT_TRUE(formatCommandLine("C:\\Program Files\\ORBIPLAY.EXE", true, line, sizeof line));
  EXPECT_STREQ("\"C:\\Program Files\\ORBIPLAY.EXE\" /$l", line);
  ASSERT_TRUE(formatCommandLine("", false, line, sizeof line));
  EXPECT_STREQ(" /$l", line);

  // The longest launch command always fits the 240-byte line, quoted or not.
  std::string longest(159, 'c');
  ASSERT_TRUE(formatCommandLine(longest.c_str(), true, line, sizeof line));
  EXPECT_EQ(165u, strlen(line));

  char small[10];
  EXPECT_TRUE(formatCommandLine("abc", true, small, sizeof small));  // "\"abc\" /$l" + NUL = 10
  EXPECT_FALSE(formatCommandLine("abcd", true, small, sizeof small));
  EXPECT_STREQ("", small);
  EXPECT_TRUE(formatCommandLine("abcde", false, small, sizeof small));
}

TEST(CouldBeSplitAtSpace, OnlyUnquotedCommandsWithASpace) {
  EXPECT_TRUE(couldBeSplitAtSpace("C:\\Program Files\\Kelvora\\ORBIPLAY.EXE"));
  EXPECT_TRUE(couldBeSplitAtSpace("C:\\APPS\\ORBIPLAY.EXE -x"));  // the caller checks the file
  EXPECT_FALSE(couldBeSplitAtSpace("\"C:\\Program Files\\ORBIPLAY.EXE\" -x"));
  EXPECT_FALSE(couldBeSplitAtSpace("C:\\APPS\\ORBIPLAY.EXE"));
  EXPECT_FALSE(couldBeSplitAtSpace(""));
}
