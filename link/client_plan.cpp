#include "link/client_plan.h"

#include <string.h>

#include "link/client_configuration.h"
#include "link/process_token.h"
#include "link/windows_plan_lookup.h"

namespace {

PlannedClient planned;
char plannedCommand[LAUNCH_COMMAND_SIZE];
bool planMade = false;

}  // namespace

const PlannedClient& plannedClient(bool fresh) {
  const char* command = configuredCommand();
  // Both are whole command buffers: bytes after the NUL count too, which costs a plan at most.
  if (fresh || !planMade || memcmp(command, plannedCommand, sizeof plannedCommand) != 0) {
    memcpy(plannedCommand, command, sizeof plannedCommand);
    planned.found =
        planLaunch(command, windowsPlanLookup, ownTokenTraits().elevated, &planned.plan);
    ++planned.generation;
    planMade = true;
  }
  return planned;
}

void forgetClient() {
  forgetStoredCommand();
  planMade = false;
}
