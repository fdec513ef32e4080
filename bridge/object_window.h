// The borderless window the host puts over each object's box and lends to the client
// application. It is owned by the browser's top-level window, named by the browser or found
// among the host's ancestors, so that it stays above the page and below other programs; where
// there is none (Linux browsers under Wine), it is a topmost window, raised again now and then,
// as a browser window under X11 is stacked without regard to Windows' topmost flag.
#pragma once

#include <windows.h>

#include <cstdint>

#include "bridge/window_placement.h"

// Called on each WM_PAINT of object `id`'s window, before the window is validated.
typedef void (*ObjectPaintHook)(uint32_t id);

bool registerObjectWindowClass(HINSTANCE instance, ObjectPaintHook paint);

// A hidden window for object `id`, owned by `owner` (null: topmost).
HWND createObjectWindow(HINSTANCE instance, HWND owner, uint32_t id);

// Gives the window an owner found after it was made; owned, it is no longer topmost.
void setObjectWindowOwner(HWND window, HWND owner);

void placeObjectWindow(HWND window, const WindowPlacement& placement, bool topmost);
