// The plug-in window lent to the client application, and instance teardown.
#include "plugin/plugin_window.h"

#include "link/client_locator.h"
#include "link/link_channel.h"
#include "plugin/instance_private_block.h"
#include "plugin/npp_functions.h"

namespace {

// Gives a subclassed window its procedure back. The pointer-sized call hands back the very
// value GetWindowLongPtrA returned, which for a Unicode window is a handle, not an address.
void restoreWindowProc(void* hwnd, intptr_t oldWndProc) {
  SetWindowLongPtrA(static_cast<HWND>(hwnd), GWLP_WNDPROC, static_cast<LONG_PTR>(oldWndProc));
}

LONG_PTR currentProc(void* hwnd) {
  return GetWindowLongPtrA(static_cast<HWND>(hwnd), GWLP_WNDPROC);
}

// A function, not a constant: the module runs no static initializers.
LONG_PTR ourProc() { return reinterpret_cast<LONG_PTR>(&SubClassProc); }

// The forwarding record of `hwnd`; a free one for null.
WindowForward* forwardFor(const void* hwnd) {
  for (WindowForward& forward : instanceTable.forwards)
    if (forward.hwnd == hwnd) return &forward;
  return nullptr;
}

// Whether `hwnd` must not be subclassed for `slot`: another instance holds it (its
// SubClassProc would be recorded as the procedure below), or SubClassProc is on top with
// nothing recording what lies below. SubClassProc passing messages on to itself, directly or
// through a browser's procedure, would loop until the stack overflows.
bool refusedWindow(const InstanceSlot& slot, void* hwnd) {
  for (const InstanceSlot& other : instanceTable.slots)
    if (&other != &slot && other.inUse != 0 && other.hwnd == hwnd) return true;
  return forwardFor(hwnd) == nullptr && currentProc(hwnd) == ourProc();
}

// Whether a WM_NCDESTROY is the window's own destruction. DestroyWindow hides the window (or
// its destroyed ancestor) first and runs on the window's own thread; one that reaches a
// visible window, or that another thread sent, is forged (any program may send it) and
// changes nothing.
bool destroyedForReal(HWND hwnd) { return !IsWindowVisible(hwnd) && !InSendMessage(); }

// Takes SubClassProc out of the window's chain. Browsers put their own procedure above it
// after each NPP_SetWindow and, at teardown, restore what they replaced only while they are
// still on top: setting oldWndProc under them would cut their procedure out of the chain. So
// only a SubClassProc on top is replaced; below a browser's procedure it keeps forwarding.
// A full forwarding table falls back to restoring; a window already gone needs nothing.
void letGoOfWindow(void* hwnd, intptr_t oldWndProc) {
  LONG_PTR current = currentProc(hwnd);
  if (current == 0) return;
  WindowForward* forward = current != ourProc() ? forwardFor(nullptr) : nullptr;
  if (forward != nullptr) {
    forward->hwnd = hwnd;
    forward->oldWndProc = oldWndProc;
    return;
  }
  restoreWindowProc(hwnd, oldWndProc);
}

}  // namespace

void releaseSlotWindow(InstanceSlot& slot) {
  if (slot.hwnd != nullptr) letGoOfWindow(slot.hwnd, slot.oldWndProc);
  slot.hwnd = nullptr;
  slot.oldWndProc = 0;
}

bool releaseWindowsForUnload() {
  for (InstanceSlot& slot : instanceTable.slots) releaseSlotWindow(slot);
  bool stillHooked = false;
  for (WindowForward& forward : instanceTable.forwards) {
    if (forward.hwnd == nullptr) continue;
    LONG_PTR current = currentProc(forward.hwnd);
    if (current != 0 && current != ourProc()) {
      stillHooked = true;
      continue;
    }
    if (current == ourProc()) restoreWindowProc(forward.hwnd, forward.oldWndProc);
    forward = WindowForward();
  }
  return stillHooked;
}

bool sendSlotMessage(const InstanceSlot& slot, LinkMessageCode code, const void* payload,
                     uint32_t length) {
  return sendLinkMessageTo(static_cast<HWND>(slot.linkWindow), code, payload, length, slot.linkId);
}

void announceWindow(const InstanceSlot& slot) {
  // Handles are 32 bits on the wire. Delivered or not, the slot stays as it is: a client
  // that missed it cannot be told again, and the browser call must not fail for it.
  WindowRecord record = {};
  record.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot.hwnd));
  sendSlotMessage(slot, LINKMSG_SET_WINDOW, &record, sizeof record);
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr) return NPERR_NO_ERROR;

  // An instance NPP_New never created (or that is gone) gets no slot and no subclassing.
  uint16_t index = findSlotForInstance(instanceTable, instance);
  if (index == NO_SLOT) return NPERR_NO_ERROR;
  InstanceSlot& slot = instanceTable.slots[index];
  // While NPP_New still waits for the client application, the window is only recorded;
  // NPP_New announces it once the instance has its identifier.
  bool created = isCreated(slot);
  // An orphan, whose client application is gone, is not subclassed either.
  if (created && !IsWindow(static_cast<HWND>(slot.linkWindow))) return NPERR_NO_ERROR;

  void* newWindow = window->window;
  // A refused window is handled as no window: this instance lets go of its own and has none.
  if (newWindow != nullptr && newWindow != slot.hwnd && refusedWindow(slot, newWindow))
    newWindow = nullptr;
  if (slot.hwnd != newWindow) {
    releaseSlotWindow(slot);
    WindowForward* forward = newWindow != nullptr ? forwardFor(newWindow) : nullptr;
    if (forward != nullptr) {
      // SubClassProc is still in this window's chain, under a browser's procedure: it is
      // taken up again where it stands, not stacked a second time (which would loop).
      slot.oldWndProc = forward->oldWndProc;
      *forward = WindowForward();
    } else if (newWindow != nullptr) {
      HWND hwnd = static_cast<HWND>(newWindow);
      slot.oldWndProc = static_cast<intptr_t>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, ourProc());
    }
    slot.hwnd = newWindow;
  }

  // Sent on every call, also when the window did not change.
  if (created) announceWindow(slot);
  return NPERR_NO_ERROR;
}

extern "C" LRESULT CALLBACK SubClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  // A null window would match a slot without a window, and a free forwarding record.
  InstanceSlot* slot = nullptr;
  WindowForward* forward = nullptr;
  intptr_t old = 0;
  if (hwnd != nullptr) {
    uint16_t index = slotForWindow(instanceTable, hwnd);
    if (index != NO_WINDOW_SLOT) {
      slot = &instanceTable.slots[index];
      old = slot->oldWndProc;
    } else if ((forward = forwardFor(hwnd)) != nullptr) {
      old = forward->oldWndProc;
    }
  }
  if (old == 0) return DefWindowProcA(hwnd, message, wParam, lParam);

  // Copied first: the notice is a send, during which the slot may change.
  WNDPROC oldWndProc = reinterpret_cast<WNDPROC>(old);
  if (message == WM_NCDESTROY && destroyedForReal(hwnd)) {
    // The window goes (the browser may destroy it before NPP_Destroy), and its handle may
    // soon name another: whatever held it lets go.
    if (slot != nullptr) {
      slot->hwnd = nullptr;
      slot->oldWndProc = 0;
    } else {
      *forward = WindowForward();
    }
  } else if (forward != nullptr && currentProc(hwnd) == ourProc()) {
    // The browser's procedure above has stepped out: on top again, SubClassProc steps out too.
    restoreWindowProc(hwnd, old);
    *forward = WindowForward();
  } else if (slot != nullptr && message == WM_PAINT && isCreated(*slot)) {
    // An undelivered notice still lets the page paint its window.
    sendSlotMessage(*slot, LINKMSG_PAINT);
  }
  // Through CallWindowProcA, which also understands the handle a Unicode window gives out.
  return CallWindowProcA(oldWndProc, hwnd, message, wParam, lParam);
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;

  InstancePrivateBlock* block = static_cast<InstancePrivateBlock*>(instance->pdata);
  instance->pdata = nullptr;
  uint16_t index = findSlotForInstance(instanceTable, instance);
  if (index == NO_SLOT) {
    // Never created, creation failed, or destroyed before: the client application does not
    // know this instance. Only a leftover block is ours to free.
    freePrivateBlock(block);
    return NPERR_NO_ERROR;
  }

  // The whole local teardown comes before the notice, the one call that can re-enter: a
  // nested NPP_Destroy then finds nothing left to do. An instance still being created is
  // unknown to the client application, and its NPP_New sees that it is gone.
  InstanceSlot& slot = instanceTable.slots[index];
  bool announced = isCreated(slot);
  LinkIdentifier linkId = slot.linkId;
  HWND client = static_cast<HWND>(slot.linkWindow);
  releaseSlotWindow(slot);
  freePrivateBlock(block);
  releaseSlot(instanceTable, instance);

  // Only the notice needs the client application, the one that accepted the instance; the
  // local teardown is done regardless, and stays done when the notice is not delivered.
  if (announced) sendLinkMessageTo(client, LINKMSG_DESTROY, nullptr, 0, linkId);
  return NPERR_NO_ERROR;
}
