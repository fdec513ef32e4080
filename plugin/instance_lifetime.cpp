// An instance's life: NPP_New makes one embedded object a slot, a private block, a LinkRecord
// and a LINKMSG_NEW; NPP_Destroy undoes all of it and sends LINKMSG_DESTROY.
#include "link/ansi_code_page.h"
#include "link/client_locator.h"
#include "link/embed_attributes.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/module_reference.h"
#include "plugin/npp_functions.h"
#include "plugin/plugin_window.h"
#include "plugin/slot_messages.h"

namespace {

// Whether the creation that claimed slot `index` and allocated `block` still owns them. A
// browser call made while this creation waited may have destroyed the instance (freeing the
// block and releasing the slot), and even created it again (a new block, perhaps the same
// slot); then nothing here is this creation's to touch any more, the NPP included: the
// browser may have freed it. Only the table is read.
bool stillCreating(NPP instance, uint16_t index, const InstancePrivateBlock* block) {
  const InstanceSlot* slot = checkedSlot(instanceTable, instance, block, index);
  return slot != nullptr && slot->created == 0;
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
  InstanceSlot& slot = instanceTable.slots[index];
  releaseSlotWindow(slot);  // a fresh slot holds no window

  // The block is how every later call finds the instance: without it there is none.
  InstancePrivateBlock* block = allocatePrivateBlock(index);
  if (block == nullptr) {
    releaseSlot(instanceTable, instance);
    return NPERR_OUT_OF_MEMORY_ERROR;
  }
  slot.block = block;
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
  bool delivered = sendToClient(client, LINKMSG_NEW, &slot.link, sizeof slot.link, 0, &reply);
  NewLinkReplyKind kind = newLinkReplyKind(reply);
  if (!stillCreating(instance, index, block)) {
    // Destroyed during the send: the client application must not keep an orphan link.
    if (delivered && kind == NEW_LINK_ACCEPTED)
      sendToClient(client, LINKMSG_DESTROY, nullptr, 0, newLinkReplyIdentifier(reply));
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

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  // Never created, creation failed, destroyed before, or a pdata the module never gave: the
  // client application does not know the instance, and nothing is the module's to free.
  InstanceSlot* slot = instanceSlot(instance);
  if (slot == nullptr) return NPERR_NO_ERROR;

  // Re-entry: the whole local teardown comes before the notice, the one call that can let a
  // nested NPP_ call or an unload in: a nested NPP_Destroy then finds nothing left to do. An instance still being created is
  // unknown to the client application, and its NPP_New sees that it is gone.
  bool announced = isCreated(*slot);
  LinkIdentifier linkId = slot->linkId;
  HWND client = static_cast<HWND>(slot->linkWindow);
  instance->pdata = nullptr;
  releaseSlotWindow(*slot);
  freePrivateBlock(blockOf(*slot));
  releaseSlot(instanceTable, instance);

  // Only the notice needs the client application, the one that accepted the instance; the
  // local teardown is done regardless, and stays done when the notice is not delivered.
  if (announced) sendToClient(client, LINKMSG_DESTROY, nullptr, 0, linkId);
  return NPERR_NO_ERROR;
}
