// The plug-in window lent to the client application, and instance teardown.
#include "link/client_locator.h"
#include "link/link_channel.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"

namespace {

// Gives a subclassed window its procedure back. The pointer-sized call hands back the very
// value GetWindowLongPtrA returned, which for a Unicode window is a handle, not an address.
void restoreWindowProc(void* hwnd, intptr_t oldWndProc) {
  SetWindowLongPtrA(static_cast<HWND>(hwnd), GWLP_WNDPROC, static_cast<LONG_PTR>(oldWndProc));
}

}  // namespace

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr) return NPERR_NO_ERROR;

  uint16_t index = slotForInstance(instanceTable, instance);
  if (index == NO_SLOT) return NPERR_NO_ERROR;
  if (findLinkWindow() == nullptr) return NPERR_NO_ERROR;

  InstanceSlot& slot = instanceTable.slots[index];
  void* newWindow = window->window;
  if (slot.hwnd != newWindow) {
    if (slot.hwnd != nullptr) restoreWindowProc(slot.hwnd, slot.oldWndProc);
    slot.oldWndProc = 0;
    if (newWindow != nullptr) {
      HWND hwnd = static_cast<HWND>(newWindow);
      slot.oldWndProc = static_cast<intptr_t>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubClassProc));
    }
    slot.hwnd = newWindow;
  }

  // Sent on every call, also when the window did not change. Handles are 32 bits on the wire.
  WindowRecord record = {};
  record.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(newWindow));
  sendLinkMessage(LINKMSG_SET_WINDOW, &record, sizeof record, slot.linkId);
  return NPERR_NO_ERROR;
}

extern "C" LRESULT CALLBACK SubClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  // A null window would match a slot without a window.
  uint16_t index = hwnd != nullptr ? slotForWindow(instanceTable, hwnd) : NO_WINDOW_SLOT;
  if (index == NO_WINDOW_SLOT || instanceTable.slots[index].oldWndProc == 0)
    return DefWindowProcA(hwnd, message, wParam, lParam);

  const InstanceSlot& slot = instanceTable.slots[index];
  if (message == WM_PAINT) sendLinkMessage(LINKMSG_PAINT, nullptr, 0, slot.linkId);
  // Through CallWindowProcA, which also understands the handle a Unicode window gives out.
  return CallWindowProcA(reinterpret_cast<WNDPROC>(slot.oldWndProc), hwnd, message, wParam,
                         lParam);
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;

  InstancePrivateBlock* block = static_cast<InstancePrivateBlock*>(instance->pdata);
  uint16_t index = findSlotForInstance(instanceTable, instance);
  if (index == NO_SLOT) {
    // Never created, creation failed, or destroyed before: the client application does not
    // know this instance. Only a leftover block is ours to free.
    freePrivateBlock(block);
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
  }

  bool clientPresent = findLinkWindow() != nullptr;

  InstanceSlot& slot = instanceTable.slots[index];
  if (slot.hwnd != nullptr) {
    restoreWindowProc(slot.hwnd, slot.oldWndProc);
    slot.hwnd = nullptr;
  }
  freePrivateBlock(block);
  instance->pdata = nullptr;

  // Only the notice needs the client application; the local teardown is done regardless.
  if (clientPresent) sendLinkMessage(LINKMSG_DESTROY, nullptr, 0, slot.linkId);
  releaseSlot(instanceTable, instance);
  return NPERR_NO_ERROR;
}
