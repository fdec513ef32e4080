// The plug-in window lent to the client application. What the module decides about a window
// rests on the browser's calls and the window's real state (its procedure, its thread), never
// on a message: any program may send or post one to the window.
#include "plugin/plugin_window.h"

#include "plugin/instance_private_block.h"
#include "plugin/module_reference.h"
#include "plugin/npp_functions.h"
#include "plugin/object_calls.h"

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

// The thread that owns `hwnd`; 0 when no window has that handle.
uint32_t windowThread(void* hwnd) {
  return GetWindowThreadProcessId(static_cast<HWND>(hwnd), nullptr);
}

// Whether the window recorded as `hwnd` of `thread` is still there. A handle that names no
// window, or one of another thread, names no window the module subclassed: its value has
// been reused (or was never a window's), and it is never touched.
bool stillThere(void* hwnd, uint32_t thread) {
  return thread != 0 && windowThread(hwnd) == thread;
}

// The forwarding record of `hwnd`.
WindowForward* forwardFor(const void* hwnd) {
  for (WindowForward& forward : instanceTable.forwards)
    if (forward.hwnd == hwnd) return &forward;
  return nullptr;
}

// A free forwarding record; one whose window is gone is free again. Null when all are in use.
WindowForward* freeForward() {
  for (WindowForward& forward : instanceTable.forwards)
    if (forward.hwnd == nullptr || !stillThere(forward.hwnd, forward.windowThread)) return &forward;
  return nullptr;
}

// Records of `hwnd` made for a window of another thread are of a window that is gone: they
// are dropped, and their procedures never set on the window the handle names now.
void forgetOtherWindows(void* hwnd, uint32_t thread) {
  for (InstanceSlot& slot : instanceTable.slots) {
    if (slot.hwnd == hwnd && slot.windowThread != thread) {
      slot.hwnd = nullptr;
      slot.oldWndProc = 0;
    }
  }
  WindowForward* forward = forwardFor(hwnd);
  if (forward != nullptr && forward->windowThread != thread) *forward = WindowForward();
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

// Takes SubClassProc out of the window's chain. Browsers put their own procedure above it
// after each NPP_SetWindow and, at teardown, restore what they replaced only while they are
// still on top: setting oldWndProc under them would cut their procedure out of the chain. So
// only a SubClassProc on top is replaced; below a browser's procedure it keeps forwarding.
// A full forwarding table falls back to restoring; a window that is gone needs nothing.
void letGoOfWindow(void* hwnd, uint32_t thread, intptr_t oldWndProc) {
  if (!stillThere(hwnd, thread)) return;
  WindowForward* forward = currentProc(hwnd) != ourProc() ? freeForward() : nullptr;
  if (forward != nullptr) {
    forward->hwnd = hwnd;
    forward->oldWndProc = oldWndProc;
    forward->windowThread = thread;
    return;
  }
  restoreWindowProc(hwnd, oldWndProc);
}

}  // namespace

void releaseSlotWindow(InstanceSlot& slot) {
  if (slot.hwnd != nullptr) letGoOfWindow(slot.hwnd, slot.windowThread, slot.oldWndProc);
  slot.hwnd = nullptr;
  slot.oldWndProc = 0;
}

bool releaseWindowsForUnload() {
  for (InstanceSlot& slot : instanceTable.slots) releaseSlotWindow(slot);
  bool stillHooked = false;
  for (WindowForward& forward : instanceTable.forwards) {
    if (forward.hwnd == nullptr) continue;
    bool there = stillThere(forward.hwnd, forward.windowThread);
    bool onTop = there && currentProc(forward.hwnd) == ourProc();
    if (there && !onTop) {
      stillHooked = true;
      continue;
    }
    if (onTop) restoreWindowProc(forward.hwnd, forward.oldWndProc);
    forward = WindowForward();
  }
  return stillHooked;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr) return NPERR_NO_ERROR;

  // An instance NPP_New never created (or that is gone) has no slot and gets no subclassing.
  InstanceSlot* found = instanceSlot(instance);
  if (found == nullptr) return NPERR_NO_ERROR;
  InstanceSlot& slot = *found;
  // While NPP_New still waits for the client application, the window is only recorded;
  // NPP_New announces it once the instance has its identifier.
  bool created = isCreated(slot);
  // An orphan, whose client application is gone, is not subclassed either.
  if (created && !IsWindow(static_cast<HWND>(slot.linkWindow))) return NPERR_NO_ERROR;

  // The slot's window, gone or its handle now another's, is forgotten without a touch.
  if (slot.hwnd != nullptr && !stillThere(slot.hwnd, slot.windowThread)) {
    slot.hwnd = nullptr;
    slot.oldWndProc = 0;
  }
  void* newWindow = window->window;
  if (slot.hwnd != newWindow) {
    uint32_t thread = newWindow != nullptr ? windowThread(newWindow) : 0;
    if (newWindow != nullptr) forgetOtherWindows(newWindow, thread);
    // A refused window is handled as no window: this instance lets go of its own, has none.
    if (newWindow != nullptr && refusedWindow(slot, newWindow)) newWindow = nullptr;
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
    slot.windowThread = thread;
  }

  // Sent on every call, also when the window did not change; the call's last step (re-entry).
  if (created) announceLinkWindow(slot, moduleObjectCalls);
  return NPERR_NO_ERROR;
}

extern "C" LRESULT CALLBACK SubClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  // Re-entry: the notice and the procedures called below may run any NPP_ call, and the
  // page's procedure even NP_Shutdown and FreeLibrary; the call out keeps this code mapped.
  CallOut out;
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
  if (forward != nullptr && currentProc(hwnd) == ourProc()) {
    // The browser's procedure above has stepped out: on top again, SubClassProc steps out too.
    restoreWindowProc(hwnd, old);
    *forward = WindowForward();
  } else if (slot != nullptr && message == WM_PAINT && isCreated(*slot)) {
    // One notice at a time per window: a WM_PAINT sent back while it is out goes straight on
    // to the page's procedure.
    paintLinkObject(*slot, moduleObjectCalls, hwnd);
  }
  // Through CallWindowProcA, which also understands the handle a Unicode window gives out.
  return CallWindowProcA(oldWndProc, hwnd, message, wParam, lParam);
}
