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

}  // namespace

void releaseSlotWindow(InstanceSlot& slot) {
  if (slot.hwnd != nullptr) restoreWindowProc(slot.hwnd, slot.oldWndProc);
  slot.hwnd = nullptr;
  slot.oldWndProc = 0;
}

void announceWindow(const InstanceSlot& slot) {
  // Handles are 32 bits on the wire. Delivered or not, the slot stays as it is: a client
  // that missed it cannot be told again, and the browser call must not fail for it.
  WindowRecord record = {};
  record.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot.hwnd));
  sendLinkMessage(LINKMSG_SET_WINDOW, &record, sizeof record, slot.linkId);
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
  if (created && findLinkWindow() == nullptr) return NPERR_NO_ERROR;

  void* newWindow = window->window;
  if (slot.hwnd != newWindow) {
    releaseSlotWindow(slot);
    if (newWindow != nullptr) {
      HWND hwnd = static_cast<HWND>(newWindow);
      slot.oldWndProc = static_cast<intptr_t>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubClassProc));
    }
    slot.hwnd = newWindow;
  }

  // Sent on every call, also when the window did not change.
  if (created) announceWindow(slot);
  return NPERR_NO_ERROR;
}

extern "C" LRESULT CALLBACK SubClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  // A null window would match a slot without a window.
  uint16_t index = hwnd != nullptr ? slotForWindow(instanceTable, hwnd) : NO_WINDOW_SLOT;
  if (index == NO_WINDOW_SLOT || instanceTable.slots[index].oldWndProc == 0)
    return DefWindowProcA(hwnd, message, wParam, lParam);

  // Copied first: the notice is a send, during which the slot may change.
  WNDPROC oldWndProc = reinterpret_cast<WNDPROC>(instanceTable.slots[index].oldWndProc);
  const InstanceSlot& slot = instanceTable.slots[index];
  // An undelivered notice still lets the page paint its window.
  if (message == WM_PAINT && isCreated(slot))
    sendLinkMessage(LINKMSG_PAINT, nullptr, 0, slot.linkId);
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
  releaseSlotWindow(slot);
  freePrivateBlock(block);
  releaseSlot(instanceTable, instance);

  // Only the notice needs the client application; the local teardown is done regardless,
  // and stays done when the notice is not delivered.
  if (announced && findLinkWindow() != nullptr) sendLinkMessage(LINKMSG_DESTROY, nullptr, 0, linkId);
  return NPERR_NO_ERROR;
}
