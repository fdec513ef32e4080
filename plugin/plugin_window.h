// The plug-in window of an instance: subclassing it and lending it to the client application.
#pragma once

#include "plugin/instance_table.h"

// Gives the slot's window (if any) its own procedure back and clears hwnd and oldWndProc.
void releaseSlotWindow(InstanceSlot& slot);

// Sends one message of the slot's instance: to the link window that accepted it, with its
// identifier. A window that is gone, or none, drops it (false).
bool sendSlotMessage(const InstanceSlot& slot, LinkMessageCode code, const void* payload = nullptr,
                     uint32_t length = 0);

// Tells the client application the slot's window (LINKMSG_SET_WINDOW with the slot's linkId).
void announceWindow(const InstanceSlot& slot);

// Before the module is unloaded (NP_Shutdown): every window a slot holds is let go of, and
// every forwarding record whose SubClassProc is on top again gives its window back. Returns
// true when a window still has SubClassProc in its chain under a browser's procedure.
bool releaseWindowsForUnload();
