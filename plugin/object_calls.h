// What the module's instances ask of the system, as the link core's table (link/link_object.h).
#pragma once

#include "link/link_object.h"

// The client check with its wait and dialogs under a hold (plugin/module_reference.h); every
// send a call out of the module (sendLinkMessageTo inside CallOut: an unload that a message
// sent to this thread brings about during the send leaves the module mapped); the ANSI code
// page; the process heap.
extern const LinkObjectCalls moduleObjectCalls;
