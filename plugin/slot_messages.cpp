#include "plugin/slot_messages.h"

#include "link/link_channel.h"
#include "plugin/module_reference.h"

bool sendToClient(HWND window, LinkMessageCode code, const void* payload, uint32_t length,
                  LinkIdentifier linkId, uint32_t* reply) {
  // Re-entry: the send lets in what other threads send to this one, and with it any NPP_
  // call and even NP_Shutdown and FreeLibrary; the call out keeps the code it returns into.
  CallOut out;
  return sendLinkMessageTo(window, code, payload, length, linkId, reply);
}

bool sendSlotMessage(const InstanceSlot& slot, LinkMessageCode code, const void* payload,
                     uint32_t length) {
  return sendToClient(static_cast<HWND>(slot.linkWindow), code, payload, length, slot.linkId);
}
