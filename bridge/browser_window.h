// Which window of the browser owns the objects' windows, so that they stay above their page
// and never above another program. Chrome and Edge start a host through cmd.exe, Firefox from
// its own parent process: the browser's window is a visible top-level window of the host's
// parent, or of an ancestor a few steps up, the one around the page's viewport. Pure:
// the processes and windows come through BrowserWindowCalls (bridge/browser_window_calls.cpp
// under Windows, tables in the tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "bridge/bridge_messages.h"

struct BrowserWindow {
  void* handle;
  ScreenBox frame;  // its place on the screen
};

const size_t BROWSER_MAX_WINDOWS = 64;  // windows looked at per process
const int BROWSER_PROCESS_DEPTH = 3;    // the parent, a broker's parent, one more

struct BrowserWindowCalls {
  // The process that started `process`, or 0 when unknown or gone.
  uint32_t (*parentProcess)(uint32_t process);
  // The visible, unowned top-level windows of `process`, topmost first, at most `capacity`;
  // returns how many it wrote.
  size_t (*visibleWindows)(uint32_t process, BrowserWindow* out, size_t capacity);
};

// The window of the nearest ancestor of `host` that has one containing the centre of
// `viewport` (the part of the page in view), topmost first; null when none has.
void* findBrowserWindow(const BrowserWindowCalls& calls, uint32_t host, const ScreenBox& viewport);
