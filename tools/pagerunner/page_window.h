// The page's windows: the page itself and one child per object, of the page's own classes,
// and the message pump that serves them.
#pragma once

#include <windows.h>

extern const wchar_t* const PAGE_CLASS;
extern const wchar_t* const OBJECT_CLASS_W;
extern const char* const OBJECT_CLASS_A;

bool registerClasses();

// Whether the person closed the page window (WM_CLOSE).
bool pageClosed();

// Dispatches this thread's messages; with `ms` > 0 keeps doing so for that long or until
// the page window is closed.
void pumpMessages(DWORD ms);

// The page's own procedure for an object window of this character set.
LONG_PTR pageObjectProcedure(HWND window);
