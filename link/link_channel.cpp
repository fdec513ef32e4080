#include "link/link_channel.h"

// The client authors' header promises the module's send timeout.
static_assert(LINK_SEND_TIMEOUT_MS == KELVORA_SEND_TIMEOUT_MS, "send timeout");

bool sendLinkMessageTo(HWND window, LinkMessageCode code, const void* payload, uint32_t length,
                       LinkIdentifier linkId, uint32_t* reply) {
  if (window == nullptr) return false;
  COPYDATASTRUCT data;
  data.dwData = linkId;
  data.cbData = length;
  data.lpData = length != 0 ? const_cast<void*>(payload) : nullptr;
  // The client application reads the code from wParam, not a sender window handle.
  // Re-entry: SMTO_NORMAL lets messages other threads send to this one run during the wait,
  // and with them any NPP_ call; callers copy what they need first and check again after.
  DWORD_PTR result = 0;
  LRESULT delivered =
      SendMessageTimeoutA(window, WM_COPYDATA, static_cast<WPARAM>(code),
                          reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          LINK_SEND_TIMEOUT_MS, &result);
  if (delivered == 0) return false;
  if (reply != nullptr) *reply = static_cast<uint32_t>(result);
  return true;
}
