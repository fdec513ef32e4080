// The client's picture on the screen, checked by its pixels: for each window lent to the
// client (as the client's log tells, client_log.h), its client area where the system shows it,
// and the colours there.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct PictureVerdict {
  size_t lent = 0;       // windows lent to the client and not left
  size_t checked = 0;    // of those, the ones in view
  std::string failures;  // one line per box without the picture, naming its object
  std::string report;    // one line per box in view
  std::vector<unsigned long> covered;  // boxes without the picture where the client's log says it drew
  bool passed() const { return checked > 0 && failures.empty(); }
};

// Every lent window in view (shown, its client area cut by its region, its parents and the
// screen, not empty) must show the sample client's drawing: at least 90% of its pixels black or
// the text's green, RGB(0, 200, 0), blended with black; that green where the object has a name
// to draw and the box is wholly in view; and the client's log telling that it drew there.
// `clientLog` is the path of the sample client's log or linkmon's, which draws nothing.
PictureVerdict checkPicture(const std::string& clientLog);
