// The client application as planned from the configured command (link/client_configuration.h):
// the program to start, its command line and its file, planned once per command.
#pragma once

#include "link/launch_plan.h"

struct PlannedClient {
  bool found;           // a program to start was found; `plan` is empty otherwise
  LaunchPlan plan;
  unsigned generation;  // changes with every plan made, found or not
};

// The plan of the configured command, made again only when that command changed.
const PlannedClient& plannedClient();

// Plans the configured command anew: for a launch, as files may have come or gone since.
const PlannedClient& replanClient();

// The planned program as a canonical long path, worked out once per plan: compared where a
// file identity cannot be had. Empty when no program is planned or it cannot be had.
const char* plannedCanonicalProgram();

// Forgets the plan and the stored command it came from: the next look reads and plans anew.
void forgetClient();
