// Launch command derivations and the launcher's deadline check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "link/launch_command.h"

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
