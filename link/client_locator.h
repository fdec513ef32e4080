// The door to the client application: everything the module, the host and linkcheck use to
// find, plan and start it. Behind it, four steps, each asking only the ones before it:
//   configuration (link/client_configuration.h)  the launch command: stored, asked for, set
//   plan          (link/client_plan.h)           the one program that command starts
//   finder        (link/client_finder.h)         which "KelvoraLink" window is the client's
//   launcher      (link/client_launcher.h)       starting it, waiting, telling the user
// All of them ask the system through one table (link/system_calls.h). Nothing in link/
// includes this file.
#pragma once

#include "link/client_configuration.h"
#include "link/client_finder.h"
#include "link/client_launcher.h"
#include "link/client_plan.h"
