// The link channel: every message to the client application is one WM_COPYDATA sent to a
// link window its caller names (found by findLinkWindow), and waited for no longer than
// LINK_SEND_TIMEOUT_MS. The send is the system-call table's (link/system_calls.h), where a
// test can make it time out or find its window gone.
#pragma once

#include <stdint.h>

#include "link/link_records.h"
#include "link/system_calls.h"

// How long one send waits for the client application's reply. Just above the 5 s after which
// the system counts a thread that reads no messages as hung: a client that let one send time
// out is hung by then, and every later send (SMTO_ABORTIFHUNG) fails at once instead of
// waiting again.
const uint32_t LINK_SEND_TIMEOUT_MS = 5500;
// The client authors' header promises the module's send timeout.
static_assert(LINK_SEND_TIMEOUT_MS == KELVORA_SEND_TIMEOUT_MS, "send timeout");

// Sends `length` bytes at `payload` (null when length is 0) with code `code` in wParam and
// `linkId` in COPYDATASTRUCT.dwData, to link window `window`: for an instance, the one that
// accepted it, which alone knows its identifier. Returns whether the client application's
// window procedure handled it and replied in time; then `*reply` (when not null) holds its
// 32-bit reply. A null window, one that is gone (the client application ended or restarted),
// a client that does not reply within LINK_SEND_TIMEOUT_MS or counts as hung, and a message
// the system refuses to deliver all give false. The payload is only borrowed for the call.
// Re-entry: the send lets messages other threads send to this one run during the wait, and
// with them any NPP_ call; callers copy what they need first and check again after.
inline bool sendLinkMessageTo(WindowHandle window, LinkMessageCode code, const void* payload,
                              uint32_t length, LinkIdentifier linkId, uint32_t* reply = nullptr) {
  return systemCalls.sendLinkMessage(window, code, payload, length, linkId, reply);
}
