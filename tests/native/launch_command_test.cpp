// Launch command derivations and the launcher's deadline check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "link/launch_command.h"
#include "link/link_window_choice.h"

TEST(LaunchCommandFromDirectory, AppendsTheProgramNameOnce) {
  struct Case { const char* directory; const char* command; };
  const Case cases[] = {
      {"C:\\APPS", "C:\\APPS\\ORBIPLAY"},
      {"C:\\APPS\\", "C:\\APPS\\ORBIPLAY"},
      {"C:", "C:\\ORBIPLAY"},
      {"\\", "\\ORBIPLAY"},
      {"C:\\Program Files\\Kelvora", "C:\\Program Files\\Kelvora\\ORBIPLAY"},
  };
  for (const Case& c : cases) {
    char command[160];
    memset(command, 'x', sizeof command);
    EXPECT_TRUE(launchCommandFromDirectory(c.directory, command, sizeof command)) << c.directory;
    EXPECT_STREQ(c.command, command);
  }
}

TEST(LaunchCommandFromDirectory, RejectsEmptyAndOverlongDirectories) {
  char command[160] = "stale";
  EXPECT_FALSE(launchCommandFromDirectory("", command, sizeof command));
  EXPECT_STREQ("", command);

  // 150 characters + "\" + "ORBIPLAY" is exactly 159: the longest that fits.
  std::string longest(150, 'D');
  ASSERT_TRUE(launchCommandFromDirectory(longest.c_str(), command, sizeof command));
  EXPECT_EQ(159u, strlen(command));
  std::string longestWithSeparator = std::string(150, 'D') + "\\";
  EXPECT_TRUE(launchCommandFromDirectory(longestWithSeparator.c_str(), command, sizeof command));

  // One more character and nothing is written: never a cut command.
  for (const std::string& tooLong :
       {std::string(151, 'D'), std::string(151, 'D') + "\\", std::string(159, 'D')}) {
    strcpy(command, "stale");
    EXPECT_FALSE(launchCommandFromDirectory(tooLong.c_str(), command, sizeof command));
    EXPECT_STREQ("", command);
  }
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

TEST(LaunchWaitOver, ComparesElapsedTimeAcrossTheWrap) {
  struct Case { uint32_t start, now; bool over; };
  const Case cases[] = {
      {1000, 1000, false},
      {1000, 10999, false},
      {1000, 11000, true},
      {1000, 500000, true},
      // Started 5 s before the counter wraps: still waiting 1 s after the wrap,
      // over 10 s after the start.
      {0xFFFFFFFFu - 5000, 1000, false},
      {0xFFFFFFFFu - 5000, 4998, false},
      {0xFFFFFFFFu - 5000, 4999, true},
      {0xFFFFFFFFu, 9998, false},
      {0xFFFFFFFFu, 9999, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.over, launchWaitOver(c.start, c.now)) << c.start << " " << c.now;
}

TEST(KeepIfTerminated, EmptiesAnUnterminatedBuffer) {
  char buffer[4] = {'a', 'b', 'c', '\0'};
  EXPECT_TRUE(keepIfTerminated(buffer, sizeof buffer));
  EXPECT_STREQ("abc", buffer);
  char full[4] = {'a', 'b', 'c', 'd'};
  EXPECT_FALSE(keepIfTerminated(full, sizeof full));
  EXPECT_EQ('\0', full[0]);
}

// Programs that exist, for a resolver that records each name it is asked ("=": as written).
std::string asked;
bool fakeResolve(const char* name, bool exact, char* program, size_t programSize) {
  asked += std::string(name) + (exact ? "=|" : "|");
  for (std::string file : {"C:\\Program.exe", "C:\\K App\\ORB.EXE", "C:\\K\\ORB", "ORB.EXE"})
    if (file == name || (!exact && file == std::string(name) + ".EXE"))
      return snprintf(program, programSize, "%s", file.c_str()) > 0;
  return false;
}

TEST(FindLaunchProgram, QuotedThenWholeThenLongestPrefixAsWritten) {
  struct Case { const char* command; const char* program; bool whole; const char* asked; };
  const Case cases[] = {
      {"\"C:\\K App\\ORB.EXE\" -x", "C:\\K App\\ORB.EXE", false, "C:\\K App\\ORB.EXE|"},
      {"\"C:\\K App\\ORB.EXE -x", "", false, ""},  // unclosed quote
      {"C:\\K App\\ORB", "C:\\K App\\ORB.EXE", true, "C:\\K App\\ORB|"},
      {"C:\\K App\\ORB.EXE -x /y", "C:\\K App\\ORB.EXE", false,
       "C:\\K App\\ORB.EXE -x /y|C:\\K App\\ORB.EXE -x=|C:\\K App\\ORB.EXE=|"},
      // The program is gone: its look-alike at the first space is asked for as written only.
      {"C:\\Program Files\\K\\ORB.EXE", "", false, "C:\\Program Files\\K\\ORB.EXE|C:\\Program=|"},
      {"ORB", "ORB.EXE", true, "ORB|"},
  };
  for (const Case& c : cases) {
    asked.clear();
    char program[260];
    bool whole = !c.whole;
    EXPECT_EQ(c.program[0] != '\0', findLaunchProgram(c.command, fakeResolve, program, sizeof program, &whole));
    if (c.program[0] != '\0') EXPECT_EQ(c.whole, whole) << c.command;
    EXPECT_EQ(std::string(c.program) + c.asked, std::string(c.program[0] ? program : "") + asked);
  }
  EXPECT_TRUE(isAbsolutePath("C:\\x") && isAbsolutePath("\\\\server\\x") && hasFolder("C:x"));
  EXPECT_FALSE(isAbsolutePath("C:x") || isAbsolutePath("\\x") || isAbsolutePath("a\\x") || hasFolder("ORB"));
}

TEST(LinkWindowChoice, ConfiguredProgramFirstThenTheTopmostNeverALowerIntegrityOne) {
  const LinkWindowTraits other{false, false}, mine{true, false}, low{false, true}, lowMine{true, true};
  auto choose = [](std::initializer_list<LinkWindowTraits> windows) {  // in z-order; -1: none
    LinkWindowChoice choice = {0};
    int chosen = -1, index = 0;
    for (auto w = windows.begin(); w != windows.end() && !linkWindowChoiceFinal(choice); ++w, ++index)
      if (considerLinkWindow(&choice, *w)) chosen = index;
    return chosen;
  };
  EXPECT_EQ(0, choose({other, other}));  // FindWindowA's, when no image matches
  EXPECT_EQ(1, choose({other, mine}));   // a look-alike above the client
  EXPECT_EQ(1, choose({low, other}));
  EXPECT_EQ(2, choose({lowMine, other, mine, mine}));
  EXPECT_EQ(-1, choose({low, lowMine}));
}
