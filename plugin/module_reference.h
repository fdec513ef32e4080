// References the module takes to itself, so that its code stays mapped while it can still
// run: under a window's chain after the browser unloads it, and under its own waits, dialogs,
// sends and calls to the page's window procedure, from inside which a browser call can
// unload it.
#pragma once

#include <windows.h>

// This module's instance handle, recorded by the library entry routine: the module's own
// resources (the find-client dialog's template) are loaded from it.
extern HINSTANCE moduleInstance;

// Keeps the module loaded until the process ends. True once that is done.
bool pinModule();

// Finds the client application's link window, else launches it and tells the user when that
// fails (reachClient, link/client_locator.h), its dialogs from this module's template. Every
// wait and dialog of the module runs in there, under a hold: a reference to the module for
// their length, given back as they return unless an NP_Shutdown came meanwhile (the browser
// may have freed its own reference since, and freeing this one could unmap the code the
// caller returns into; such a reference is kept until moduleShuttingDown).
bool reachClientApplication();

// The module's frames waiting on a call out of it (a send to the client application, the
// page's window procedure). Counting costs two additions; only an NP_Shutdown that arrives
// meanwhile takes a reference, in moduleShuttingDown.
extern int callsOutRunning;
struct CallOut {
  CallOut() { ++callsOutRunning; }
  ~CallOut() { --callsOutRunning; }
};

// From NP_Shutdown, which the browser calls while its own reference still keeps the module
// loaded: gives back the references kept past an earlier shutdown; or, when the call is
// nested inside a wait, dialog or call out, marks the running holds to be kept and takes one
// more reference for the calls out, kept alike until a shutdown outside all of them.
void moduleShuttingDown();
