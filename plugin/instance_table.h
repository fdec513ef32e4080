// The module-wide table of per-instance state: 20 fixed slots, addressed by a 16-bit index.
// The browser's entry points reach their slot through the instance's private block (pdata),
// checked here; the subclassed window procedure finds it by HWND.
#pragma once

#include <cstdint>

#include "link/link_object.h"
#include "plugin/npapi.h"

const uint16_t INSTANCE_SLOT_COUNT = 20;
const uint16_t NO_SLOT = 0xFFFF;       // slotForInstance: table full
const uint16_t NO_WINDOW_SLOT = 20;    // slotForWindow: not found

// What the module keeps of an instance beside its link object.
struct InstanceHold {
  int32_t inUse;           // 1 while the slot belongs to an instance
  NPP instance;            // the browser's handle; null when free
  intptr_t oldWndProc;     // the window procedure replaced on hwnd; 0 when none
  uint32_t windowThread;   // the thread that owned hwnd when it was subclassed: a handle now
                           // owned by another names another window, never to be touched
  void* block;             // the instance's private block (its pdata); null when free
};

// A slot is the module's face of one link object (link/link_object.h): the object's record,
// identifier, link window and lent window (hwnd), after what the module keeps beside them.
struct InstanceSlot : InstanceHold, LinkObject {};

// Whether the slot belongs to an instance that NPP_New completed: only such an instance is
// known to the client application, so only it gets messages.
inline bool isCreated(const InstanceSlot& slot) { return slot.inUse != 0 && slot.created != 0; }

// A window let go of while a browser's procedure sat above SubClassProc: SubClassProc stays in
// its chain and passes every message on to oldWndProc, until it is on top again or the window
// is found gone. Free when hwnd is null.
struct WindowForward {
  void* hwnd;
  intptr_t oldWndProc;
  uint32_t windowThread;  // as InstanceSlot::windowThread
};

struct InstanceTable {
  InstanceSlot slots[INSTANCE_SLOT_COUNT];
  WindowForward forwards[INSTANCE_SLOT_COUNT];
};

// The module-wide table; static storage, so all zero at load.
extern InstanceTable instanceTable;

// Index of the in-use slot owned by `instance`; otherwise claims the lowest free slot (inUse,
// instance and linkId are set, created, linkWindow and block are cleared, everything else
// keeps what a previous owner left). NO_SLOT when every slot is in use.
uint16_t slotForInstance(InstanceTable& table, NPP instance);

// Index of the in-use slot owned by `instance`, or NO_SLOT; claims nothing.
uint16_t findSlotForInstance(const InstanceTable& table, NPP instance);

// Frees the first in-use slot owned by `instance` (instance, inUse, linkId, linkWindow and
// block only).
void releaseSlot(InstanceTable& table, NPP instance);

// Slot `index`, named by the private block `block` that `instance` carries, when the table
// holds that very block for that instance; null for a stale or foreign instance or block.
InstanceSlot* checkedSlot(InstanceTable& table, NPP instance, const void* block, uint16_t index);

// Index of the first slot, in use or not, whose hwnd equals `hwnd`; NO_WINDOW_SLOT if none.
// A null hwnd matches any slot without a window: callers should not pass null.
uint16_t slotForWindow(const InstanceTable& table, const void* hwnd);
