// Where an object's window goes: over the object's box, cut to the part of it in view, shown
// only while the page says it shows.
#pragma once

#include "bridge/bridge_messages.h"

struct WindowPlacement {
  bool show;
  ScreenBox box;      // the window's place on the screen
  bool wholeBox;      // the whole box is in view: no region
  ScreenBox region;   // else the part in view, relative to the box
};

WindowPlacement planWindowPlacement(const ScreenBox& box, const ScreenBox& clip, bool visible);

// The part of `a` inside `b`; width and height 0 where they do not meet.
ScreenBox intersectBoxes(const ScreenBox& a, const ScreenBox& b);

// Whether `inner` lies wholly inside `outer`; an empty `inner` lies nowhere.
bool boxContains(const ScreenBox& outer, const ScreenBox& inner);

// The host's own cut of the clip the extension composed: always to the monitor the box lies
// on, and to the client area of the browser window that owns the object's window where the
// host knows it (null otherwise), so that no page's report puts the window beyond either.
ScreenBox hostClip(const ScreenBox& clip, const ScreenBox& monitor, const ScreenBox* ownerClient);
