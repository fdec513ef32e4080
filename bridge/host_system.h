// The Win32 calls behind BridgeSystem: the link channel and client locator of link/, the
// objects' windows, and the standard output.
#pragma once

#include <windows.h>

#include "bridge/bridge_session.h"

struct HostWindows {
  HWND owner;  // the browser's top-level window; null when it named none
};

// The browser's top-level window from --parent-window, when that names a live window.
HWND browserOwnerWindow(uint32_t parentWindow);

// The one session of this process, its calls filled; its windows' class registered.
BridgeSession& startHostSession(const HostWindows& windows);
