// The launch command: its derivation from a directory, and its configuration on a machine of
// two keys, a WIN.INI entry and a user's answer, one case a row.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "link/client_configuration.h"
#include "native_system_calls.h"

TEST(CommandFromDirectory, AppendsTheProgramNameOnce) {
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
    EXPECT_TRUE(commandFromDirectory(c.directory, command, sizeof command)) << c.directory;
    EXPECT_STREQ(c.command, command);
  }
}

TEST(CommandFromDirectory, RejectsEmptyAndOverlongDirectories) {
  char command[160] = "stale";
  EXPECT_FALSE(commandFromDirectory("", command, sizeof command));
  EXPECT_STREQ("", command);

  // 150 characters + "\" + "ORBIPLAY" is exactly 159: the longest that fits.
  std::string longest(150, 'D');
  ASSERT_TRUE(commandFromDirectory(longest.c_str(), command, sizeof command));
  EXPECT_EQ(159u, strlen(command));
  std::string longestWithSeparator = std::string(150, 'D') + "\\";
  EXPECT_TRUE(commandFromDirectory(longestWithSeparator.c_str(), command, sizeof command));

  // One more character and nothing is written: never a cut command.
  for (const std::string& tooLong :
       {std::string(151, 'D'), std::string(151, 'D') + "\\", std::string(159, 'D')}) {
    strcpy(command, "stale");
    EXPECT_FALSE(commandFromDirectory(tooLong.c_str(), command, sizeof command));
    EXPECT_STREQ("", command);
  }
}

TEST(KeepTextRead, TheBytesReadUpToTheirNulOrExactlyAndNeverABufferFullWithoutOne) {
  struct Case { const char* buffer; long read; const char* text; };
  const Case cases[] = {
      {"abc\0", 4, "abc"}, {"abcd", 3, "abc"}, {"ab\0d", 4, "ab"}, {"abcd", 0, ""}, {"abcd", 4, nullptr},
  };
  for (const Case& c : cases) {
    char buffer[4];
    memcpy(buffer, c.buffer, sizeof buffer);
    EXPECT_EQ(c.text != nullptr, keepTextRead(buffer, sizeof buffer, c.read)) << c.buffer;
    EXPECT_STREQ(c.text ? c.text : "", buffer);
  }
}

namespace {

const char OWN[] = "C:\\OWN\\ORBIPLAY.EXE", ADMIN[] = "C:\\ADMIN\\ORBIPLAY.EXE";
const char TOO_LONG[] = "<more than 160 bytes>", UNTERMINATED[] = "<160 bytes, no NUL>";
const char NEW_WITHOUT_NUL[] = "C:\\NEW";  // 6 bytes, stored without their NUL
const char NO_KEY[] = "<no key>", NOT_WRITTEN[] = "<not written>";

// The user's own key [0] and .Default's [1], as a case sets them up.
struct Key {
  const char* value;  // null: none; or one of the reads above
  bool creatable;     // false: read-only, or impossible to create
};
struct Machine {
  Key keys[2];
  const char* directory;  // WIN.INI's, null for none
  const char* answer;     // what the user leaves in FINDCLIENT (Cancel leaves "ORBIPLAY")
  bool elevated;
} machine;

struct Seen {
  std::string written[2];
  bool touched[2];
  int asked;
  std::string warning;
} seen;

int keyIndex(RegistryKey root) { return root == predefinedKey(USERS_ROOT) ? 1 : 0; }

void setUpMachine(const Machine& m) {
  machine = m;
  seen = Seen{{NO_KEY, NO_KEY}, {false, false}, 0, ""};
  systemCalls.ownTokenTraits = [] { return TokenTraits{UNKNOWN_INTEGRITY_LEVEL, machine.elevated}; };
  systemCalls.readRegistryValue = [](RegistryKey root, const char*, char* value, long* size) -> long {
    const Key& key = machine.keys[keyIndex(root)];
    seen.touched[keyIndex(root)] = true;
    if (key.value == UNTERMINATED) return memset(value, 'U', *size), 0;
    if (key.value == NEW_WITHOUT_NUL) return *size = 6, memcpy(value, key.value, 6), 0;
    if (key.value == nullptr) return 2;  // ERROR_FILE_NOT_FOUND
    if (key.value == TOO_LONG || strlen(key.value) >= static_cast<size_t>(*size)) return 234;
    *size = static_cast<long>(strlen(key.value) + 1);
    return memcpy(value, key.value, *size), 0;
  };
  systemCalls.createRegistryKey = [](RegistryKey root, const char* path, RegistryKey* created) -> long {
    EXPECT_STREQ(keyIndex(root) ? LAUNCH_COMMAND_KEY "\\" LAUNCH_COMMAND_SUBKEY
                                : LAUNCH_COMMAND_USER_KEY "\\" LAUNCH_COMMAND_SUBKEY, path);
    seen.touched[keyIndex(root)] = true;
    if (!machine.keys[keyIndex(root)].creatable) return 5;  // ERROR_ACCESS_DENIED
    *created = numbered<RegistryKey>(keyIndex(root) + 1);
    return seen.written[keyIndex(root)] = NOT_WRITTEN, 0;
  };
  systemCalls.closeRegistryKey = [](RegistryKey key, const char* text) {
    if (text != nullptr) seen.written[reinterpret_cast<uintptr_t>(key) - 1] = text;
  };
  systemCalls.profileString = [](const char*, const char*, const char* fallback, char* value,
                                 unsigned long size) {
    return static_cast<unsigned long>(snprintf(value, size, "%s", machine.directory ? machine.directory : fallback));
  };
  systemCalls.askForCommand = [](ModuleHandle, char* command, size_t size) {
    ++seen.asked;
    snprintf(command, size, "%s", machine.answer);
  };
  systemCalls.showWarning = [](const char* text) { seen.warning = text; };
}

}  // namespace

// A stored command is used where it is and copied nowhere: a copy in the user's key would hide
// the next command an installer writes under .Default. A value that cannot be read whole is
// none; a directory with no room for the name, too. A new command goes to both keys, each where
// that works; with neither, a warning and nothing else. Elevated, the user's key is not touched.
using LaunchCommandConfiguration = SystemCallsTest;
TEST_F(LaunchCommandConfiguration, StoredFirstThenWinIniThenTheUserWrittenWhereItMayBe) {
  // 150 characters of directory fit "\ORBIPLAY" exactly, 151 do not.
  const std::string longest = "C:\\" + std::string(147, 'D'), tooLong = longest + "D", r159(159, 'R');
  const Key none = {nullptr, true}, empty = {"", true}, own = {OWN, true}, admin = {ADMIN, true};
  const Key locked = {nullptr, false};
  struct Case {
    Machine machine;
    std::string command, user, shared;  // the command, what each key holds written back
    bool asked;
    const char* warning;
  };
  const Case cases[] = {
      {{{own, admin}, "C:\\INI", nullptr, false}, OWN, OWN, NOT_WRITTEN, false, ""},
      {{{none, admin}, "C:\\INI", nullptr, false}, ADMIN, NOT_WRITTEN, ADMIN, false, ""},
      {{{none, empty}, "C:\\APPS", nullptr, false}, "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", false, ""},
      {{{none, empty}, "C:\\APPS\\", nullptr, false}, "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", false, ""},
      {{{none, {TOO_LONG, true}}, "C:\\APPS", nullptr, false}, "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", false, ""},
      {{{none, {UNTERMINATED, true}}, "C:\\APPS", nullptr, false}, "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", "C:\\APPS\\ORBIPLAY", false, ""},
      {{{none, {r159.c_str(), true}}, "C:\\APPS", nullptr, false}, r159, NOT_WRITTEN, r159, false, ""},
      // Its bytes exactly, not with the rest of the R's the row above left in the buffer.
      {{{none, {NEW_WITHOUT_NUL, true}}, "C:\\APPS", nullptr, false}, NEW_WITHOUT_NUL, NOT_WRITTEN, NEW_WITHOUT_NUL, false, ""},
      {{{none, none}, longest.c_str(), nullptr, false}, longest + "\\ORBIPLAY", longest + "\\ORBIPLAY", longest + "\\ORBIPLAY", false, ""},
      {{{none, none}, tooLong.c_str(), "ORBIPLAY", false}, "ORBIPLAY", "ORBIPLAY", "ORBIPLAY", true, ""},
      {{{none, none}, nullptr, "C:\\TYPED\\ORBIPLAY.EXE", false}, "C:\\TYPED\\ORBIPLAY.EXE", "C:\\TYPED\\ORBIPLAY.EXE", "C:\\TYPED\\ORBIPLAY.EXE", true, ""},
      {{{none, none}, nullptr, "", false}, "", "", "", true, ""},
      {{{none, locked}, nullptr, OWN, false}, OWN, OWN, NO_KEY, true, ""},
      {{{locked, locked}, nullptr, OWN, false}, "", NO_KEY, NO_KEY, false, "Unable to Create Key!"},
      {{{own, admin}, nullptr, nullptr, true}, ADMIN, NO_KEY, ADMIN, false, ""},
      {{{own, locked}, nullptr, OWN, true}, "", NO_KEY, NO_KEY, false, "Unable to Create Key!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.substr(0, 24) + (c.machine.elevated ? " (elevated)" : ""));
    setLaunchCommand("");
    forgetStoredCommand();
    setUpMachine(c.machine);
    EXPECT_EQ(c.command, configureLaunchCommand());
    EXPECT_EQ(c.user, seen.written[0]);
    EXPECT_EQ(c.shared, seen.written[1]);
    EXPECT_EQ(c.asked ? 1 : 0, seen.asked);
    EXPECT_EQ(c.warning, seen.warning);
    EXPECT_EQ(!c.machine.elevated, seen.touched[0]) << "the user's key";
  }
}
