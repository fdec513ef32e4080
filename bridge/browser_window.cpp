#include "bridge/browser_window.h"

#include "bridge/window_placement.h"

void* findBrowserWindow(const BrowserWindowCalls& calls, uint32_t host, const ScreenBox& viewport) {
  uint32_t process = host;
  for (int depth = 0; depth < BROWSER_PROCESS_DEPTH; ++depth) {
    uint32_t parent = calls.parentProcess(process);
    if (parent == 0 || parent == process) return nullptr;
    process = parent;
    BrowserWindow windows[BROWSER_MAX_WINDOWS];
    size_t count = calls.visibleWindows(process, windows, BROWSER_MAX_WINDOWS);
    for (size_t i = 0; i < count && i < BROWSER_MAX_WINDOWS; ++i)
      if (boxContains(windows[i].frame, viewport)) return windows[i].handle;
  }
  return nullptr;
}
