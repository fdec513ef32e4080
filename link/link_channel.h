// The link channel: every message to the client application is one synchronous
// WM_COPYDATA sent to its link window (the handle cached by findLinkWindow).
#pragma once

#include <windows.h>

#include "link/link_records.h"

// Sends `length` bytes at `payload` (null when length is 0) with code `code` in wParam and
// `linkId` in COPYDATASTRUCT.dwData, to the cached link window. Returns SendMessageA's
// 32-bit result; a stale or null window gives 0. The payload is only borrowed for the call.
uint32_t sendLinkMessage(LinkMessageCode code, const void* payload, uint32_t length,
                         LinkIdentifier linkId);
