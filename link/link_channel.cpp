#include "link/link_channel.h"

#include "link/client_locator.h"

uint32_t sendLinkMessage(LinkMessageCode code, const void* payload, uint32_t length,
                         LinkIdentifier linkId) {
  COPYDATASTRUCT data;
  data.dwData = linkId;
  data.cbData = length;
  data.lpData = length != 0 ? const_cast<void*>(payload) : nullptr;
  // The client application reads the code from wParam, not a sender window handle.
  LRESULT reply = SendMessageA(linkWindow(), WM_COPYDATA, static_cast<WPARAM>(code),
                               reinterpret_cast<LPARAM>(&data));
  return static_cast<uint32_t>(reply);
}
