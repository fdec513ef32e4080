// Which of the "KelvoraLink" windows the module talks to. Any program may create a window of
// that class, so the choice weighs what is known of each window's process. Plain logic.
#pragma once

// What is known of one link window's process.
struct LinkWindowTraits {
  bool configuredImage;   // its image is the configured program (full paths, case ignored)
  bool lowerIntegrity;    // it runs below the browser's integrity level (false when unknown)
};

// The choice so far, as the windows are looked at in z-order (the first is FindWindowA's).
struct LinkWindowChoice {
  int rank;  // 0: nothing chosen yet; 1: a usable window; 2: the configured program's
};

// Takes the next window into account; true when it becomes the choice. The first window of
// the configured program wins; failing one, the first usable window, which is FindWindowA's
// unless that runs at a lower integrity level. Such a window is never chosen.
inline bool considerLinkWindow(LinkWindowChoice* choice, const LinkWindowTraits& window) {
  int rank = window.configuredImage ? 2 : 1;
  if (window.lowerIntegrity || rank <= choice->rank) return false;
  choice->rank = rank;
  return true;
}

// Whether no later window can change the choice.
inline bool linkWindowChoiceFinal(const LinkWindowChoice& choice) { return choice.rank == 2; }
