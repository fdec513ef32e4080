// The FINDCLIENT dialog: asks the user for the command that starts the client application.
#pragma once

#include <windows.h>

#include "resources/resource_ids.h"

// Dialog procedure of FINDCLIENT, exported by name. Works on launchCommand: shows it
// ("ORBIPLAY" when empty), stores the edit field on OK, offers Browse. Returns FALSE for
// every message, so the dialog manager sets no initial focus.
extern "C" INT_PTR CALLBACK FCDLGProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows FINDCLIENT modally, with no owner. Re-entry: its loop (and Browse's) dispatch
// messages, so any NPP_ call may run meanwhile; findClientDialogOpen tells them so.
void runFindClientDialog();

// Whether FINDCLIENT is open (a call that arrives now is nested inside it).
bool findClientDialogOpen();
