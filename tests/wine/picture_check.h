// The client's picture on the screen, checked by its pixels: for each window lent to the client
// (as the client's log tells), its client area where the system shows it, and the colours there.
#pragma once

#include <cstddef>
#include <string>

struct PictureVerdict {
  size_t checked = 0;     // lent windows in view
  std::string failures;   // one line per box without the picture, naming its object
  std::string report;     // one line per box in view
  bool passed() const { return checked > 0 && failures.empty(); }
};

// Every lent window in view (shown, its client area cut by its parents and the screen, not
// empty) must show the sample client's drawing: at least 90% of its pixels black or the text's
// green, RGB(0, 200, 0), blended with black; that green where the object has a name to draw and
// the box is wholly in view; and a "drew" line for that window in the client's log.
// `clientLog` is the sample client's log (KELVORA_SAMPLE_LOG) or linkmon's (--log), which
// draws nothing.
PictureVerdict checkPicture(const std::string& clientLog);
