// The module's own message loops, announced to the host as modal loops: a plug-in host that
// hooks WH_MSGFILTER on its thread (Gecko's out-of-process host does, before NP_Initialize)
// learns from the hook that a call of the module is running a modal loop, stops its hang
// clock for that call and keeps its own windows answering, as it does for a dialog box.
#pragma once

#include <windows.h>

// The filter code of the launch wait: at or above MSGF_USER, the range left to applications.
const int LAUNCH_WAIT_FILTER_CODE = MSGF_USER + 0x4B;

// Tells the hooks that the module's loop begins, before it has taken any message.
void WINAPI announceModalLoop();

// Shows the hooks a message the loop took, before it is dispatched; true when a hook
// handled it, and the loop then must not dispatch it (as a dialog's loop does not).
bool filteredByHost(MSG* message);
