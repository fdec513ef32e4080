// Reaching the client application, step 3: the finder. Which of the "KelvoraLink" windows is
// the client's. Any program may create a window of that class, so the choice weighs what is
// known of each window's process. Plain logic over the system-call table.
#pragma once

#include "link/client_plan.h"

// Window class of the client application's link window.
#define LINK_WINDOW_CLASS "KelvoraLink"

// What is known of one link window's process.
struct LinkWindowTraits {
  bool configuredImage;  // its image is the planned program's file
  bool lowerIntegrity;   // it runs below the browser's integrity level (false when unknown)
};

// How good the choice so far is.
enum LinkWindowRank {
  NO_LINK_WINDOW,         // nothing chosen yet
  USABLE_LINK_WINDOW,     // a window the module may use
  CONFIGURED_LINK_WINDOW  // a window of the planned program
};

// The choice so far, as the windows are looked at in z-order (the first is FindWindowA's).
struct LinkWindowChoice {
  LinkWindowRank rank;
};

// Takes the next window into account; true when it becomes the choice. The first window of
// the configured program wins; failing one, the first usable window, which is FindWindowA's
// unless that runs at a lower integrity level. Such a window is never chosen.
inline bool considerLinkWindow(LinkWindowChoice* choice, const LinkWindowTraits& window) {
  LinkWindowRank rank = window.configuredImage ? CONFIGURED_LINK_WINDOW : USABLE_LINK_WINDOW;
  if (window.lowerIntegrity || rank <= choice->rank) return false;
  choice->rank = rank;
  return true;
}

// Whether no later window can change the choice: the planned program's window is chosen, or a
// usable one while no program is planned (then no window can be the planned program's).
inline bool linkWindowChoiceFinal(const LinkWindowChoice& choice, bool programPlanned) {
  return choice.rank == CONFIGURED_LINK_WINDOW ||
         (choice.rank == USABLE_LINK_WINDOW && !programPlanned);
}

// Chooses among the windows of the link window class (any title) and caches the result, null
// included: the planned program's (plannedClient: its file, however the command spells it),
// else the first in z-order (FindWindowA's), never one whose process runs at a lower
// integrity level than this one. What is learnt of a window's process is kept while that
// window lives. The only writer of the cached handle.
WindowHandle findLinkWindow();

// The cached link window handle: as fresh as the last findLinkWindow.
WindowHandle linkWindow();

// Whether `process`'s image is the planned program: the same file, else, where either file's
// identity cannot be had, the same canonical long path.
bool runsPlannedProgram(void* process, const PlannedClient& client);
