// NPP_New: one embedded object becomes a slot, a LinkRecord and a LINKMSG_NEW.
#include "link/client_locator.h"
#include "link/link_channel.h"
#include "link/ansi_code_page.h"
#include "plugin/client_presence.h"
#include "link/embed_attributes.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"
#include "plugin/plugin_window.h"

namespace {

// Whether the creation that claimed slot `index` and allocated `block` still owns them. A
// browser call made while this creation waited may have destroyed the instance (freeing the
// block and releasing the slot), and even created it again (a new block, perhaps the same
// slot); then nothing here is this creation's to touch any more.
bool stillCreating(NPP instance, uint16_t index, const InstancePrivateBlock* block) {
  return findSlotForInstance(instanceTable, instance) == index &&
         instanceTable.slots[index].created == 0 && instance->pdata == block;
}

// A failed creation leaves nothing behind (browsers may or may not call NPP_Destroy after it),
// including a window that NPP_SetWindow subclassed while the creation waited.
void undoCreation(NPP instance, uint16_t index, InstancePrivateBlock* block) {
  releaseSlotWindow(instanceTable.slots[index]);
  instance->pdata = nullptr;
  freePrivateBlock(block);
  releaseSlot(instanceTable, instance);
}

}  // namespace

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  // A second NPP_New for an instance that exists, or is being created, changes nothing: the
  // instance keeps its slot, window, block and identifier.
  if (findSlotForInstance(instanceTable, instance) != NO_SLOT) return NPERR_INVALID_INSTANCE_ERROR;

  uint16_t index = slotForInstance(instanceTable, instance);
  if (index == NO_SLOT) return NPERR_OUT_OF_MEMORY_ERROR;  // table full: nothing claimed
  releaseSlotWindow(instanceTable.slots[index]);            // a fresh slot holds no window

  // A failed allocation leaves pdata null; creation goes on without the block.
  InstancePrivateBlock* block = allocatePrivateBlock();
  instance->pdata = block;

  // Finds or starts the client application; the user is told when neither works.
  // Re-entry: its wait and dialogs dispatch messages, so any NPP_ call may run here; the slot
  // is claimed but not created, which the other entry points respect, and is checked again.
  bool reached = reachClientApplication();
  if (!stillCreating(instance, index, block)) return NPERR_INVALID_INSTANCE_ERROR;
  if (!reached) {
    undoCreation(instance, index, block);
    return NPERR_MODULE_LOAD_FAILED_ERROR;
  }

  InstanceSlot& slot = instanceTable.slots[index];
  // The record carries the creating thread's pseudo-handle, 32 bits wide on every build.
  uint32_t thread = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  slot.linkSpecified =
      buildLinkRecord(slot.link, argc, argn, argv, thread, utf8ToAnsiCodePage);

  // Re-entry: a synchronous send to another process can deliver messages sent to this
  // thread; the slot is checked again before the answer is kept.
  // The window chosen now is the instance's for good: identifiers belong to the client that
  // gave them.
  HWND client = linkWindow();
  uint32_t reply = 0;
  bool delivered = sendLinkMessageTo(client, LINKMSG_NEW, &slot.link, sizeof slot.link, 0, &reply);
  NewLinkReplyKind kind = newLinkReplyKind(reply);
  if (!stillCreating(instance, index, block)) {
    // Destroyed during the send: the client application must not keep an orphan link.
    if (delivered && kind == NEW_LINK_ACCEPTED)
      sendLinkMessageTo(client, LINKMSG_DESTROY, nullptr, 0, newLinkReplyIdentifier(reply));
    return NPERR_INVALID_INSTANCE_ERROR;
  }
  // Nothing answered (window gone, client hung or too slow, message refused): no reply to
  // read an identifier from, so the creation fails as it does without a client application.
  if (!delivered) {
    undoCreation(instance, index, block);
    return NPERR_MODULE_LOAD_FAILED_ERROR;
  }
  if (kind == NEW_LINK_REFUSED) {
    undoCreation(instance, index, block);
    return NPERR_OUT_OF_MEMORY_ERROR;
  }
  if (kind == NEW_LINK_ACCEPTED) slot.linkId = newLinkReplyIdentifier(reply);
  slot.linkWindow = client;
  slot.created = 1;
  // A window given while the creation waited is announced now that the instance has its
  // identifier.
  if (slot.hwnd != nullptr) announceWindow(slot);
  return NPERR_NO_ERROR;
}
