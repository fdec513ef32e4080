#include "link/modal_loop_filter.h"

void WINAPI announceModalLoop() {
  // No message yet: the hooks see WM_NULL, which they pass over, with the loop's code.
  MSG none = {};
  CallMsgFilterA(&none, LAUNCH_WAIT_FILTER_CODE);
}

bool filteredByHost(MSG* message) {
  return CallMsgFilterA(message, LAUNCH_WAIT_FILTER_CODE) != FALSE;
}
