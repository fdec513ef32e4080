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
