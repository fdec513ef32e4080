#include "link/client_plan.h"

#include <string.h>

#include "link/client_configuration.h"
#include "link/process_token.h"
#include "link/windows_plan_lookup.h"

namespace {

PlannedClient planned;
char plannedCommand[LAUNCH_COMMAND_SIZE];
bool planMade = false;
char canonicalProgram[PLAN_PATH_SIZE];
bool canonicalMade = false;

}  // namespace

const PlannedClient& replanClient() {
  const char* command = configuredCommand();
  lstrcpynA(plannedCommand, command, sizeof plannedCommand);
  planned.found = planLaunch(command, windowsPlanLookup, runsElevated(), &planned.plan);
  ++planned.generation;
  planMade = true;
  canonicalMade = false;
  return planned;
}

const PlannedClient& plannedClient() {
  const char* command = configuredCommand();
  if (!planMade || memcmp(command, plannedCommand, strlen(command) + 1) != 0) return replanClient();
  return planned;
}

const char* plannedCanonicalProgram() {
  if (!canonicalMade) {
    canonicalMade = true;
    if (!planned.found ||
        !canonicalPath(planned.plan.program, canonicalProgram, sizeof canonicalProgram))
      canonicalProgram[0] = '\0';
  }
  return canonicalProgram;
}

void forgetClient() {
  forgetStoredCommand();
  planMade = false;
}
