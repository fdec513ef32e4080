// The browser's own window procedure over a plug-in window, as Gecko and WebKit install it
// after each NPP_SetWindow: it passes every message on to the procedure it replaced, which
// is kept in one place and overwritten by the next subclassing, as those browsers keep it.
#pragma once

#include <windows.h>

// The window's procedure, read through the variant of its own character set.
LONG_PTR windowProcOf(HWND h);

// Installs the browser's procedure unless it is on top already. Returns the procedure it
// replaced; 0 when it was on top.
LONG_PTR subclassPluginWindow(HWND h);

enum class SubclassUndone { NotInstalled, Restored, LeftInPlace };

// At teardown: puts back what the browser's procedure replaced, only if it is still on top.
SubclassUndone undoPluginWindowSubclass(HWND h);
