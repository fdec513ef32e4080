// The choice among the "KelvoraLink" windows, in z-order: as a rule, and as the finder makes
// it from what the system says of each window's process, processes that end meanwhile among
// them.
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "link/client_locator.h"
#include "native_system_calls.h"

namespace {

// The index of the chosen window in z-order, -1 for none, and how many were looked at.
struct Outcome { int chosen; int looked; };
Outcome choose(std::initializer_list<LinkWindowTraits> windows, bool planned) {
  LinkWindowChoice choice = {NO_LINK_WINDOW};
  Outcome o = {-1, 0};
  for (auto w = windows.begin(); w != windows.end() && !linkWindowChoiceFinal(choice, planned); ++w, ++o.looked)
    if (considerLinkWindow(&choice, *w)) o.chosen = o.looked;
  return o;
}

}  // namespace

TEST(LinkWindowChoice, ConfiguredProgramFirstThenTheTopmostNeverALowerIntegrityOne) {
  const LinkWindowTraits other{false, false}, mine{true, false}, low{false, true}, lowMine{true, true};
  struct Case { std::initializer_list<LinkWindowTraits> windows; bool planned; int chosen; int looked; };
  const Case cases[] = {
      {{other, other}, true, 0, 2},               // FindWindowA's, when no image matches
      {{other, mine}, true, 1, 2},                // a look-alike above the client
      {{mine, other}, true, 0, 1},                // the client on top: one look
      {{low, other}, true, 1, 2},
      {{lowMine, other, mine, mine}, true, 2, 3},
      {{low, lowMine}, true, -1, 2},
      {{other, other}, false, 0, 1},              // nothing planned: FindWindowA's, one look
      {{low, other, other}, false, 1, 2},
  };
  for (const Case& c : cases) {
    Outcome o = choose(c.windows, c.planned);
    EXPECT_EQ(c.chosen, o.chosen);
    EXPECT_EQ(c.looked, o.looked);
  }
}

namespace {

const char CLIENT[] = "C:\\Kelvora\\ORBIPLAY.EXE", OTHER[] = "C:\\Other\\ORBIPLAY.EXE";
const uint32_t MEDIUM = 0x2000, LOW = 0x1000;
enum Gone { LIVES, GONE_BEFORE_OPEN, GONE_AFTER_IMAGE };

// One "KelvoraLink" window, in z-order, and its process.
struct Window {
  const char* image;
  bool identified;  // the image file can be opened to read its identity
  uint32_t level;
  Gone gone;
};
std::vector<Window> windows;
int judged = 0, openHandles = 0;

const Window& windowOf(uintptr_t handle) { return windows[handle - 1]; }

// The client's program is planned from CLIENT; this process runs at medium integrity.
void setUpMachine(std::initializer_list<Window> zOrder) {
  windows = zOrder;
  judged = openHandles = 0;
  setLaunchCommand(CLIENT);
  forgetClient();  // each case's windows are new: a new plan judges them afresh
  systemCalls.ownTokenTraits = [] { return TokenTraits{MEDIUM, false}; };
  systemCalls.findFile = [](const char* path, FileIdentity* identity) {
    *identity = {strcmp(path, CLIENT) == 0 || strcmp(path, OTHER) == 0, 7, 0, path[3] == 'K'};
    for (const Window& w : windows)
      if (strcmp(path, w.image) == 0 && !w.identified) identity->known = false;
    return identity->known;
  };
  systemCalls.findWindowEx = [](WindowHandle, WindowHandle after, const char* windowClass, const char*) {
    EXPECT_STREQ(LINK_WINDOW_CLASS, windowClass);
    uintptr_t next = reinterpret_cast<uintptr_t>(after) + 1;
    return next <= windows.size() ? numbered<WindowHandle>(next) : nullptr;
  };
  systemCalls.windowThreadProcessId = [](WindowHandle window, unsigned long* process) {
    return *process = reinterpret_cast<uintptr_t>(window) + 100;
  };
  systemCalls.openProcess = [](unsigned long, int, unsigned long id) -> void* {
    ++judged;
    if (windowOf(id - 100).gone == GONE_BEFORE_OPEN) return nullptr;
    ++openHandles;
    return numbered<void*>(id - 100);
  };
  systemCalls.processImage = [](void* process, char* path, unsigned long size) {
    return snprintf(path, size, "%s", windowOf(reinterpret_cast<uintptr_t>(process)).image) > 0;
  };
  systemCalls.tokenTraits = [](void* process) {
    const Window& w = windowOf(reinterpret_cast<uintptr_t>(process));
    return TokenTraits{w.gone == GONE_AFTER_IMAGE ? UNKNOWN_INTEGRITY_LEVEL : w.level, false};
  };
  systemCalls.closeHandle = [](void*) { return --openHandles, 1; };
  systemCalls.samePathName = [](const char* a, const char* b) { return strcasecmp(a, b) == 0; };
}

}  // namespace

using LinkWindowFinder = SystemCallsTest;
TEST_F(LinkWindowFinder, TheClientsWindowByItsFileWhateverBecameOfTheOthersProcesses) {
  const Window client = {CLIENT, true, MEDIUM, LIVES}, other = {OTHER, true, MEDIUM, LIVES};
  const Window lowClient = {CLIENT, true, LOW, LIVES}, lowOther = {OTHER, true, LOW, LIVES};
  const Window spelled = {"c:\\kelvora\\orbiplay.exe", false, MEDIUM, LIVES};
  struct Case { std::initializer_list<Window> windows; int chosen; };
  const Case cases[] = {
      {{other, client}, 1},
      {{client, other}, 0},
      // A process that ended before it could be opened tells nothing: the window is usable.
      {{{CLIENT, true, MEDIUM, GONE_BEFORE_OPEN}, other}, 0},
      {{other, {CLIENT, true, MEDIUM, GONE_BEFORE_OPEN}}, 0},
      // One that ended after its image was read is still the client's, at an unknown level.
      {{other, {CLIENT, true, MEDIUM, GONE_AFTER_IMAGE}}, 1},
      {{lowClient, other}, 1},
      {{lowOther, lowClient}, -1},
      // Where the image's identity cannot be read, its canonical path decides.
      {{other, spelled}, 1},
  };
  for (const Case& c : cases) {
    setUpMachine(c.windows);
    WindowHandle chosen = findLinkWindow();
    EXPECT_EQ(c.chosen < 0 ? nullptr : numbered<WindowHandle>(c.chosen + 1), chosen);
    EXPECT_EQ(chosen, linkWindow());
    EXPECT_EQ(0, openHandles) << "a process handle left open";
  }
}

// What was learnt of a window's process is kept while the window and the plan stay: every
// page's objects look the client up, and each look would open every process again.
TEST_F(LinkWindowFinder, EachWindowIsJudgedOncePerPlanAndAGoneWindowIsForgotten) {
  const Window other = {OTHER, true, MEDIUM, LIVES};
  setUpMachine({other, other});
  findLinkWindow();
  findLinkWindow();
  EXPECT_EQ(2, judged);
  setLaunchCommand(OTHER);  // another plan: judged again
  EXPECT_EQ(numbered<WindowHandle>(1), findLinkWindow());
  EXPECT_EQ(3, judged) << "the planned program's window on top ends the search";

  windows.clear();  // the client ended: its window is not kept
  EXPECT_EQ(nullptr, findLinkWindow());
  EXPECT_EQ(nullptr, linkWindow());
}
