// An instance's life: NPP_New makes one embedded object a slot, a private block and a link
// object (link/link_object.h); NPP_Destroy ends the object and undoes all of it.
#include <windows.h>

#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"
#include "plugin/object_calls.h"
#include "plugin/plugin_window.h"

namespace {

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

  // Re-entry: the client check (its wait and dialogs) and LINKMSG_NEW dispatch messages, so
  // any NPP_ call, even an unload, may run inside; the slot is claimed but not created, which
  // the other entry points respect. Destroyed meanwhile (GONE), nothing here is this
  // creation's to touch any more, the NPP included: the browser may have freed it.
  // The record carries the creating thread's pseudo-handle, 32 bits wide on every build.
  uint32_t thread = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  LinkObjectOutcome outcome = createLinkObject(slot, moduleObjectCalls, argc, argn, argv, thread);
  if (outcome == LINK_OBJECT_CREATED) return NPERR_NO_ERROR;
  if (outcome == LINK_OBJECT_GONE) return NPERR_INVALID_INSTANCE_ERROR;
  // No client, or LINKMSG_NEW undelivered: as a module that cannot reach its client.
  undoCreation(instance, index, block);
  return outcome == LINK_OBJECT_REFUSED ? NPERR_OUT_OF_MEMORY_ERROR : NPERR_MODULE_LOAD_FAILED_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  // Never created, creation failed, destroyed before, or a pdata the module never gave: the
  // client application does not know the instance, and nothing is the module's to free.
  InstanceSlot* slot = instanceSlot(instance);
  if (slot == nullptr) return NPERR_NO_ERROR;

  // Re-entry: the whole local teardown comes before the notice, the one call that can let a
  // nested NPP_ call or an unload in: a nested NPP_Destroy then finds nothing left to do. An
  // instance still being created is unknown to the client application, and its NPP_New sees
  // that it is gone. The notice goes to the client that accepted the instance, delivered or
  // not: the local teardown stays done.
  LinkObjectEnd end = endLinkObject(*slot);
  instance->pdata = nullptr;
  releaseSlotWindow(*slot);
  freePrivateBlock(blockOf(*slot));
  releaseSlot(instanceTable, instance);
  tellLinkObjectEnded(end, moduleObjectCalls);
  return NPERR_NO_ERROR;
}
