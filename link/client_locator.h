// Finding the client application's link window.
#pragma once

#include <windows.h>

// Window class of the client application's link window.
#define LINK_WINDOW_CLASS "KelvoraLink"

// Looks the link window up by class (any title) and caches the result, null included.
// The only writer of the cached handle.
HWND findLinkWindow();

// The cached link window handle: as fresh as the last findLinkWindow.
HWND linkWindow();
