// The client application as planned from the configured command (link/client_configuration.h):
// the program to start, its command line and its file, planned once per command.
#pragma once

#include "link/launch_plan.h"

struct PlannedClient {
  bool found;           // a program to start was found; `plan` is empty otherwise
  LaunchPlan plan;
  unsigned generation;  // changes with every plan made, found or not
};

// The plan of the configured command, made again only when that command changed, or when
// `fresh` (a launch: files may have come or gone since).
const PlannedClient& plannedClient(bool fresh = false);

// Forgets the plan and the stored command it came from: the next look reads and plans anew.
void forgetClient();
