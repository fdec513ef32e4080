// Which of the "KelvoraLink" windows the module talks to. Any program may create a window of
// that class, so the choice weighs what is known of each window's process. Plain logic.
#pragma once

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
