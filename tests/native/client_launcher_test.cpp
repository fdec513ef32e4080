// Starting the client application and waiting for its window, on a machine where the planned
// program starts or not and its window comes after so many waits, or never; the warning after.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/client_locator.h"
#include "native_system_calls.h"

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

namespace {

const char PROGRAM[] = "C:\\Kelvora\\ORBIPLAY.EXE";
const int NEVER = -1;

// The machine: the program, how its start ends, and after how many waits its window comes.
struct Machine {
  StartOutcome start;
  int windowAfterWaits;  // NEVER: no window
  bool windowDuringBox;  // the user starts the client while the warning is up
} machine;
struct Seen {
  int starts, waits, reads;
  unsigned long clock;
  std::string commandLine, box;
  bool window;
} seen;

void setUpMachine(const Machine& m) {
  machine = m;
  seen = Seen{0, 0, 0, 0, "", "", false};
  systemCalls.findFile = [](const char* path, FileIdentity* identity) {
    *identity = {strcmp(path, PROGRAM) == 0, 1, 0, 1};
    return identity->known;
  };
  systemCalls.readRegistryValue = [](RegistryKey, const char*, char* value, long*) -> long {
    ++seen.reads;
    return strcpy(value, PROGRAM), 0;
  };
  systemCalls.startProgram = [](const char* program, const char* commandLine) {
    EXPECT_STREQ(PROGRAM, program);
    seen.commandLine = commandLine;
    ++seen.starts;
    return machine.start;
  };
  systemCalls.waitForMessages = [](unsigned long ms) {
    seen.waits += ms != 0;
    seen.window |= machine.windowAfterWaits != NEVER && seen.waits >= machine.windowAfterWaits;
    return seen.clock += ms;
  };
  systemCalls.findWindowEx = [](WindowHandle, WindowHandle after, const char*, const char*) {
    return seen.window && after == nullptr ? numbered<WindowHandle>(1) : nullptr;
  };
  systemCalls.showWarning = [](const char* text) {
    seen.box = text;
    seen.window |= machine.windowDuringBox;
  };
}

}  // namespace

// A launch starts the planned program, exactly, and waits up to 10 s for its window, looking
// at least every 15 ms; a program that cannot start is reported at once, without a wait. What
// could not be reached is told in a box, and looked for once more after it.
using ClientLaunch = SystemCallsTest;
TEST_F(ClientLaunch, StartsThePlannedProgramWaitsTenSecondsAndTellsTheUserWhy) {
  struct Case {
    const char* command;
    Machine machine;
    bool reached;
    int starts, waits;
    const char* box;
  };
  const Case cases[] = {
      {PROGRAM, {PROGRAM_STARTED, 100, false}, true, 1, 100, ""},
      {PROGRAM, {PROGRAM_STARTED, NEVER, false}, false, 1, 667, CLIENT_MISSING_TEXT},
      {PROGRAM, {PROGRAM_STARTED, NEVER, true}, true, 1, 667, CLIENT_MISSING_TEXT},
      {PROGRAM, {PROGRAM_NOT_STARTED, NEVER, false}, false, 1, 0, CLIENT_MISSING_TEXT},
      {PROGRAM, {PROGRAM_NEEDS_ELEVATION, NEVER, false}, false, 1, 0, CLIENT_NEEDS_ELEVATION_TEXT},
      {"C:\\NOWHERE\\ORBIPLAY.EXE", {PROGRAM_STARTED, 1, false}, false, 0, 0, CLIENT_MISSING_TEXT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + std::to_string(c.machine.start));
    setUpMachine(c.machine);
    setLaunchCommand(c.command);
    EXPECT_EQ(c.reached, reachClient(nullptr, true) != nullptr);
    EXPECT_EQ(c.starts, seen.starts);
    EXPECT_EQ(c.waits, seen.waits);
    EXPECT_EQ(c.box, seen.box);
    if (c.starts != 0) EXPECT_EQ(std::string(PROGRAM) + " /$l", seen.commandLine);
    EXPECT_EQ(c.waits == 667, seen.clock >= LAUNCH_WAIT_MS && seen.clock < LAUNCH_WAIT_MS + 15);
  }
  // The host tells no one: its object's answer says it.
  setUpMachine({PROGRAM_NOT_STARTED, NEVER, false});
  EXPECT_EQ(nullptr, reachClient(nullptr, false));
  EXPECT_EQ("", seen.box);
}

// The command read from the registry serves every later launch; one left empty by the user
// starts nothing, and the next launch asks again.
TEST_F(ClientLaunch, TheConfiguredCommandServesLaterLaunchesAndAnEmptyOneAsksAgain) {
  setUpMachine({PROGRAM_STARTED, 1, false});
  systemCalls.createRegistryKey = [](RegistryKey, const char*, RegistryKey* key) -> long {
    return *key = numbered<RegistryKey>(1), 0;
  };
  systemCalls.closeRegistryKey = [](RegistryKey, const char*) {};
  EXPECT_EQ(LAUNCH_FOUND_WINDOW, launchClient());
  seen.window = false;
  EXPECT_EQ(LAUNCH_FOUND_WINDOW, launchClient());
  EXPECT_EQ(1, seen.reads);
  EXPECT_EQ(2, seen.starts);

  setLaunchCommand("");
  systemCalls.readRegistryValue = [](RegistryKey, const char*, char*, long*) -> long { return 2; };
  static int asked = 0;
  systemCalls.askForCommand = [](ModuleHandle, char* command, size_t) { command[0] = '\0', ++asked; };
  EXPECT_EQ(LAUNCH_NOT_STARTED, launchClient());
  EXPECT_EQ(LAUNCH_NOT_STARTED, launchClient());
  EXPECT_EQ(2, asked);
}
