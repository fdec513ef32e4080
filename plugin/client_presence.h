// Making sure the client application's link window exists before the module relies on it.
#pragma once

// The text of the box shown when the client application cannot be reached.
#define CLIENT_MISSING_TEXT                                                  \
  "Unable to locate Kelvora Application!\r\rThe Main Kelvora App (ORBIPLAY) " \
  "should be running before a Kelvora Link is accessed!"

// The text of the box shown when the client application asks for administrator rights.
#define CLIENT_NEEDS_ELEVATION_TEXT "Kelvora Application needs administrator rights to start!"

// Finds the link window, else launches the client application and waits for it. When it still
// cannot be found, tells the user in a warning box why, looks once more after the box (the
// user may have started the client meanwhile) and returns whether it is there now. A call made
// inside a box or dialog of the configuration, or inside the warning box, returns false at
// once, with no wait and no box.
// The module holds a reference to itself meanwhile (plugin/module_reference.h).
bool reachClientApplication();
