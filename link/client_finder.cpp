#include "link/client_finder.h"

#include <string_view>

#include "include/kelvora_link.h"

// The client authors' header names the same window class.
static_assert(std::string_view(LINK_WINDOW_CLASS) == KELVORA_LINK_WINDOW_CLASS, "link window class");

namespace {

WindowHandle cachedLinkWindow = nullptr;

// What was learnt of one window's process, against one plan. A window's process never
// changes, so while the window lives (the same handle and process) it holds; a handle value
// that comes back for a window of the same process has the same process's verdict.
struct WindowVerdict {
  WindowHandle window;
  unsigned long process;
  unsigned generation;  // of the plan it was judged against
  LinkWindowTraits traits;
};
const int VERDICTS = 8;  // more windows of the class than this are judged again in turn
WindowVerdict verdicts[VERDICTS];
unsigned nextVerdict = 0;

LinkWindowTraits judge(unsigned long processId, const PlannedClient& client) {
  LinkWindowTraits traits = {false, false};
  uint32_t ownLevel = systemCalls.ownTokenTraits().integrityLevel;
  // Nothing to learn: no program to recognize, no level to compare with.
  if (!client.found && ownLevel == UNKNOWN_INTEGRITY_LEVEL) return traits;
  // A process that is gone, or ends between the queries below, answers nothing more: an
  // unknown image is not the client's, an unknown level is acceptable.
  const unsigned long QUERY_LIMITED_INFORMATION = 0x1000;  // Vista and later
  void* process = systemCalls.openProcess(QUERY_LIMITED_INFORMATION, 0, processId);
  if (process == nullptr) return traits;
  traits.configuredImage = client.found && runsPlannedProgram(process, client);
  uint32_t level = systemCalls.tokenTraits(process).integrityLevel;
  traits.lowerIntegrity = level != UNKNOWN_INTEGRITY_LEVEL &&
                          ownLevel != UNKNOWN_INTEGRITY_LEVEL && level < ownLevel;
  systemCalls.closeHandle(process);
  return traits;
}

// The traits of `window`, judged once while it lives. A handle value that comes back for a
// window of another process is judged afresh.
LinkWindowTraits traitsOf(WindowHandle window, const PlannedClient& client) {
  unsigned long process = 0;
  systemCalls.windowThreadProcessId(window, &process);
  for (const WindowVerdict& v : verdicts)
    if (v.window == window && v.process == process && v.generation == client.generation)
      return v.traits;
  // A stale verdict of the same handle may stay beside the new one: it never matches again.
  WindowVerdict* slot = &verdicts[nextVerdict++ % VERDICTS];
  slot->window = window;
  slot->process = process;
  slot->generation = client.generation;
  slot->traits = judge(process, client);
  return slot->traits;
}

}  // namespace

bool runsPlannedProgram(void* process, const PlannedClient& client) {
  char image[PLAN_PATH_SIZE];
  if (!systemCalls.processImage(process, image, sizeof image)) return false;
  FileIdentity identity;
  systemCalls.findFile(image, &identity);
  if (identity.known && client.plan.identity.known) return sameFile(identity, client.plan.identity);
  return systemCalls.samePathName(image, client.plan.program);
}

WindowHandle findLinkWindow() {
  // Any program may create a window of the class; in z-order, the first is FindWindowA's.
  const PlannedClient& client = plannedClient();
  WindowHandle chosen = nullptr, window = nullptr;
  LinkWindowChoice choice = {NO_LINK_WINDOW};
  while ((window = systemCalls.findWindowEx(nullptr, window, LINK_WINDOW_CLASS, nullptr)) !=
         nullptr) {
    if (considerLinkWindow(&choice, traitsOf(window, client))) chosen = window;
    if (linkWindowChoiceFinal(choice, client.found)) break;
  }
  cachedLinkWindow = chosen;
  return chosen;
}

WindowHandle linkWindow() { return cachedLinkWindow; }
