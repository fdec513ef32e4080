// Finding the client application's link window among all windows of its class.
#pragma once

#include <windows.h>

// Window class of the client application's link window.
#define LINK_WINDOW_CLASS "KelvoraLink"

// Chooses among the windows of the link window class (any title) and caches the result, null
// included: the planned program's (link/client_plan.h; its file, however the command spells
// it), else the first in z-order (FindWindowA's), never one whose process runs at a lower
// integrity level than this one. What is learnt of a window's process is kept while that
// window lives. The only writer of the cached handle.
HWND findLinkWindow();

// Whether `process`'s image is the planned program: the same file, else, where either file's
// identity cannot be had, the same canonical long path.
struct PlannedClient;
bool runsPlannedProgram(HANDLE process, const PlannedClient& client);

// The cached link window handle: as fresh as the last findLinkWindow.
HWND linkWindow();
