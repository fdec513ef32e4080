// The plug-in window of an instance: subclassing it and lending it to the client application.
#pragma once

#include "plugin/instance_table.h"

// Gives the slot's window (if any) its own procedure back and clears hwnd and oldWndProc.
void releaseSlotWindow(InstanceSlot& slot);

// Tells the client application the slot's window (LINKMSG_SET_WINDOW with the slot's linkId).
void announceWindow(const InstanceSlot& slot);
