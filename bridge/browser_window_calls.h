// The Win32 calls behind BrowserWindowCalls: the process tree from a snapshot, the windows
// from EnumWindows.
#pragma once

#include "bridge/browser_window.h"

extern const BrowserWindowCalls WINDOWS_BROWSER_WINDOW_CALLS;
