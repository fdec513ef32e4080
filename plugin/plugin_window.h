// The plug-in window of an instance: subclassing it and lending it to the client application.
#pragma once

#include "plugin/instance_table.h"

// Gives the slot's window (if any) its own procedure back and clears the slot's window.
void releaseSlotWindow(InstanceSlot& slot);

// Before the module is unloaded (NP_Shutdown): every window a slot holds is let go of, and
// every forwarding record whose SubClassProc is on top again gives its window back. Returns
// true when a window still has SubClassProc in its chain under a browser's procedure.
bool releaseWindowsForUnload();
