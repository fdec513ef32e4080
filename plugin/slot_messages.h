// Every message the module sends to the client application, each inside the module's hold on
// itself; an instance's messages go through its slot.
#pragma once

#include <windows.h>

#include "plugin/instance_table.h"

// sendLinkMessageTo (link/link_channel.h), counted as a call out of the module: an unload
// that a message sent to this thread brings about during the send leaves the module mapped.
bool sendToClient(HWND window, LinkMessageCode code, const void* payload, uint32_t length,
                  LinkIdentifier linkId, uint32_t* reply = nullptr);

// Sends one message of the slot's instance: to the link window that accepted it, with its
// identifier. A window that is gone, or none, drops it (false).
bool sendSlotMessage(const InstanceSlot& slot, LinkMessageCode code, const void* payload = nullptr,
                     uint32_t length = 0);
