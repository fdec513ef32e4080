#include "bridge/browser_window.h"

#include "bridge/window_placement.h"

void* findBrowserWindow(const BrowserWindowCalls& calls, uint32_t host, const ScreenBox& viewport) {
  // Its centre: a report that runs past the window (the host cuts it after) still finds it.
  ScreenBox centre = {static_cast<int32_t>(viewport.x + int64_t(viewport.width) / 2),
                      static_cast<int32_t>(viewport.y + int64_t(viewport.height) / 2), 1, 1};
  uint32_t process = host;
  for (int depth = 0; depth < BROWSER_PROCESS_DEPTH; ++depth) {
    uint32_t parent = calls.parentProcess(process);
    if (parent == 0 || parent == process) return nullptr;
    process = parent;
    BrowserWindow windows[BROWSER_MAX_WINDOWS];
    size_t count = calls.visibleWindows(process, windows, BROWSER_MAX_WINDOWS);
    for (size_t i = 0; i < count && i < BROWSER_MAX_WINDOWS; ++i)
      if (boxContains(windows[i].frame, centre)) return windows[i].handle;
  }
  return nullptr;
}
