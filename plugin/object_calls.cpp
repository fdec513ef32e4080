#include "plugin/object_calls.h"

#include <windows.h>

#include "link/ansi_code_page.h"
#include "link/client_locator.h"
#include "link/link_channel.h"
#include "plugin/module_reference.h"

namespace {

void* reachClient() { return reachClientApplication() ? linkWindow() : nullptr; }

bool send(void* client, LinkMessageCode code, const void* payload, uint32_t length,
          LinkIdentifier linkId, uint32_t* reply) {
  // Re-entry: the send lets in what other threads send to this one, and with it any NPP_
  // call and even NP_Shutdown and FreeLibrary; the call out keeps the code it returns into.
  CallOut out;
  return sendLinkMessageTo(static_cast<HWND>(client), code, payload, length, linkId, reply);
}

void* memory(void* memory, size_t length) {
  HANDLE heap = GetProcessHeap();
  if (memory == nullptr) return HeapAlloc(heap, 0, length);
  HeapFree(heap, 0, memory);
  return nullptr;
}

}  // namespace

const LinkObjectCalls moduleObjectCalls = {reachClient, send, utf8ToAnsiCodePage, memory};
