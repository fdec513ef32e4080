#include "link/client_locator.h"

namespace {
HWND cachedLinkWindow = nullptr;
}

HWND findLinkWindow() {
  cachedLinkWindow = FindWindowA(LINK_WINDOW_CLASS, nullptr);
  return cachedLinkWindow;
}

HWND linkWindow() { return cachedLinkWindow; }
