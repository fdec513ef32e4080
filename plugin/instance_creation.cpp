// NPP_New: one embedded object becomes a slot, a LinkRecord and a LINKMSG_NEW.
#include "link/link_channel.h"
#include "plugin/client_presence.h"
#include "plugin/embed_attributes.h"
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"

namespace {

// A failed creation leaves nothing behind: browsers may or may not call NPP_Destroy after it.
void undoCreation(NPP instance, InstancePrivateBlock* block) {
  if (instance->pdata == block) instance->pdata = nullptr;
  freePrivateBlock(block);
  releaseSlot(instanceTable, instance);
}

}  // namespace

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;

  uint16_t index = slotForInstance(instanceTable, instance);
  if (index == NO_SLOT) return NPERR_OUT_OF_MEMORY_ERROR;  // table full: nothing claimed

  // A failed allocation leaves pdata null; creation goes on without the block.
  InstancePrivateBlock* block = allocatePrivateBlock();
  instance->pdata = block;

  // Finds or starts the client application; the user is told when neither works.
  if (!reachClientApplication()) {
    undoCreation(instance, block);
    return NPERR_MODULE_LOAD_FAILED_ERROR;
  }

  InstanceSlot& slot = instanceTable.slots[index];
  // The record carries the creating thread's pseudo-handle, 32 bits wide on every build.
  uint32_t thread = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  slot.linkSpecified = buildLinkRecord(slot.link, argc, argn, argv, thread);

  uint32_t reply = sendLinkMessage(LINKMSG_NEW, &slot.link, sizeof slot.link, 0);
  switch (newLinkReplyKind(reply)) {
    case NEW_LINK_ACCEPTED:
      slot.linkId = newLinkReplyIdentifier(reply);
      return NPERR_NO_ERROR;
    case NEW_LINK_REFUSED:
      undoCreation(instance, block);
      return NPERR_OUT_OF_MEMORY_ERROR;
    case NEW_LINK_ACCEPTED_WITHOUT_ID:
      break;
  }
  return NPERR_NO_ERROR;
}
