#include "link/link_window_finder.h"

#include "link/client_plan.h"
#include "link/link_window_choice.h"
#include "link/on_demand_imports.h"
#include "link/process_token.h"
#include "link/windows_plan_lookup.h"

#include <string_view>

#include "include/kelvora_link.h"

// The client authors' header names the same window class.
static_assert(std::string_view(LINK_WINDOW_CLASS) == KELVORA_LINK_WINDOW_CLASS, "link window class");

namespace {

HWND cachedLinkWindow = nullptr;

// What was learnt of one window's process, against one plan. A window's process never
// changes, so while the window lives (the same handle and process) it holds; a handle value
// that comes back for a window of the same process has the same process's verdict.
struct WindowVerdict {
  HWND window;
  DWORD process;
  unsigned generation;  // of the plan it was judged against
  LinkWindowTraits traits;
};
const int VERDICTS = 8;  // more windows of the class than this are judged again in turn
WindowVerdict verdicts[VERDICTS];
unsigned nextVerdict = 0;

LinkWindowTraits judge(DWORD processId, const PlannedClient& client) {
  const DWORD QUERY_LIMITED_INFORMATION = 0x1000;  // Vista and later
  LinkWindowTraits traits = {false, false};
  DWORD ownLevel = ownTokenTraits().integrityLevel;
  // Nothing to learn: no program to recognize, no level to compare with.
  if (!client.found && ownLevel == UNKNOWN_INTEGRITY_LEVEL) return traits;
  HANDLE process = OpenProcess(QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return traits;
  traits.configuredImage = client.found && runsPlannedProgram(process, client);
  DWORD level = tokenTraits(process).integrityLevel;
  traits.lowerIntegrity = level != UNKNOWN_INTEGRITY_LEVEL &&
                          ownLevel != UNKNOWN_INTEGRITY_LEVEL && level < ownLevel;
  CloseHandle(process);
  return traits;
}

// The traits of `window`, judged once while it lives. A handle value that comes back for a
// window of another process is judged afresh.
LinkWindowTraits traitsOf(HWND window, const PlannedClient& client) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
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

bool runsPlannedProgram(HANDLE process, const PlannedClient& client) {
  char image[MAX_PATH], canonicalImage[MAX_PATH], canonicalProgram[MAX_PATH];
  if (!processImagePath(process, image, sizeof image)) return false;
  FileIdentity identity;
  identifyFile(image, &identity);
  if (identity.known && client.plan.identity.known) return sameFile(identity, client.plan.identity);
  return canonicalPath(image, canonicalImage, sizeof canonicalImage) &&
         canonicalPath(client.plan.program, canonicalProgram, sizeof canonicalProgram) &&
         lstrcmpiA(canonicalImage, canonicalProgram) == 0;
}


HWND findLinkWindow() {
  // Any program may create a window of the class; in z-order, the first is FindWindowA's.
  const PlannedClient& client = plannedClient();
  HWND chosen = nullptr, window = nullptr;
  LinkWindowChoice choice = {NO_LINK_WINDOW};
  while ((window = FindWindowExA(nullptr, window, LINK_WINDOW_CLASS, nullptr)) != nullptr) {
    if (considerLinkWindow(&choice, traitsOf(window, client))) chosen = window;
    if (linkWindowChoiceFinal(choice, client.found)) break;
  }
  cachedLinkWindow = chosen;
  return chosen;
}

HWND linkWindow() { return cachedLinkWindow; }
