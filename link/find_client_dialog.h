// The FINDCLIENT dialog: asks the user for the command that starts the client application.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "resources/resource_ids.h"

// Dialog procedure of FINDCLIENT, exported by name. Works on the buffer runFindClientDialog
// was given: shows it ("ORBIPLAY" when empty), stores the edit field on OK, offers Browse.
// Returns FALSE for every message, so the dialog manager sets no initial focus.
extern "C" INT_PTR CALLBACK FCDLGProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows FINDCLIENT modally, with no owner, from the template in `templateModule` (null: the
// program's own file), editing `command` (`size` bytes, NUL-terminated). Re-entry: its loop
// (and Browse's) dispatch messages, so any NPP_ call may run meanwhile; the buffer is only
// written at the dialog's start and at OK.
void WINAPI runFindClientDialog(HINSTANCE templateModule, char* command, size_t size);
