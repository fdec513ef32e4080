#include "link/client_plan.h"

#include <string.h>

#include <string_view>

#include "include/kelvora_link.h"

// The client authors' header promises the module's launch switch.
static_assert(std::string_view(CLIENT_LINK_SWITCH) == KELVORA_LINK_SWITCH, "launch switch");

namespace {

const char EXE[] = ".EXE";
const size_t EXE_LENGTH = sizeof EXE - 1;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the `length` characters at `text` end in ".EXE", case ignored.
bool endsInExe(const char* text, size_t length) {
  if (length < EXE_LENGTH) return false;
  for (size_t i = 0; i < EXE_LENGTH; ++i) {
    char c = text[length - EXE_LENGTH + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != EXE[i]) return false;
  }
  return true;
}

// Whether the last component of `name` has an extension (a "." of its own).
bool hasExtension(const char* name) {
  for (size_t i = strlen(name); i > 0; --i) {
    char c = name[i - 1];
    if (c == '.') return true;
    if (isSeparator(c) || c == ':') return false;
  }
  return false;
}

// Whether `path` (in a buffer of PLAN_PATH_SIZE bytes) names a file: without an extension
// with ".EXE" first, as Windows looks, then as it is. The name found stays in `path`.
bool findProgramFile(char* path, const SystemCalls& system, FileIdentity* identity) {
  size_t length = strlen(path);
  if (!hasExtension(path) && length + EXE_LENGTH < PLAN_PATH_SIZE) {
    memcpy(path + length, EXE, sizeof EXE);
    if (system.findFile(path, identity)) return true;
    path[length] = '\0';
  }
  return system.findFile(path, identity);
}

// The default value of App Paths `key` under the user's own (`machine` false) or the
// machine's root, into `value` of `size` bytes; false when there is none, or it does not fit
// with its NUL.
bool appPath(const SystemCalls& system, bool machine, const char* key, char* value, size_t size) {
  long length = static_cast<long>(size);
  return system.readRegistryValue(
             predefinedKey(machine ? LOCAL_MACHINE_ROOT : CURRENT_USER_ROOT), key, value,
             &length) == 0 &&
         length > 0 && static_cast<size_t>(length) <= size && value[length - 1] == '\0';
}

// An App Paths value as a path: one in quotes loses them (installers write both forms); an
// unclosed quote is no path.
bool unquoteAppPath(char* value) {
  if (value[0] != '"') return true;
  size_t length = strlen(value);
  if (length < 2 || value[length - 1] != '"') return false;
  value[length - 1] = '\0';
  memmove(value, value + 1, length - 1);
  return true;
}

// The program App Paths registers for bare `name`: the user's key (unless `elevated`), then
// the machine's; an absolute path of an existing file, taken as it is.
bool findInAppPaths(const char* name, const SystemCalls& system, bool elevated,
                    LaunchPlan* plan) {
  static const char root[] = APP_PATHS_KEY;
  char key[sizeof root + LAUNCH_COMMAND_SIZE + EXE_LENGTH];
  size_t length = strlen(name);
  memcpy(key, root, sizeof root - 1);
  memcpy(key + sizeof root - 1, name, length + 1);
  if (!endsInExe(name, length)) memcpy(key + sizeof root - 1 + length, EXE, sizeof EXE);
  for (int machine = elevated; machine < 2; ++machine)
    if (appPath(system, machine != 0, key, plan->program, PLAN_PATH_SIZE) &&
        unquoteAppPath(plan->program) && isAbsolutePath(plan->program) &&
        system.findFile(plan->program, &plan->identity))
      return true;
  return false;
}

// Bare `name` in the absolute folders of PATH, in their order; relative folders (the current
// one among them) are passed over, and so is a folder with no room for the name.
bool findOnPath(const char* name, const SystemCalls& system, LaunchPlan* plan) {
  const char* folder = system.pathText();
  size_t nameLength = strlen(name);
  while (folder != nullptr && *folder != '\0') {
    const char* end = strchr(folder, ';');
    if (end == nullptr) end = folder + strlen(folder);
    size_t length = static_cast<size_t>(end - folder);
    // The folder ends at ';' or NUL, neither a separator: the test reads no further.
    if (isAbsolutePath(folder) && length + 1 + nameLength < PLAN_PATH_SIZE) {
      memcpy(plan->program, folder, length);
      if (!isSeparator(folder[length - 1])) plan->program[length++] = '\\';
      memcpy(plan->program + length, name, nameLength + 1);
      if (findProgramFile(plan->program, system, &plan->identity)) return true;
    }
    folder = *end != '\0' ? end + 1 : end;
  }
  return false;
}

// Resolves one candidate program name into plan->program and plan->identity.
bool resolveProgram(const char* name, const SystemCalls& system, bool elevated,
                    LaunchPlan* plan) {
  if (name[0] == '\0') return false;
  if (isAbsolutePath(name)) {
    memcpy(plan->program, name, strlen(name) + 1);  // shorter than a launch command
    return findProgramFile(plan->program, system, &plan->identity);
  }
  if (hasFolder(name)) return false;
  if (findInAppPaths(name, system, elevated, plan)) return true;
  return !elevated && findOnPath(name, system, plan);
}

PlannedClient planned;
char plannedCommand[LAUNCH_COMMAND_SIZE];
bool planMade = false;

}  // namespace

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.volume == b.volume && a.indexHigh == b.indexHigh &&
         a.indexLow == b.indexLow;
}

bool hasFolder(const char* name) {
  for (; *name != '\0'; ++name)
    if (isSeparator(*name) || *name == ':') return true;
  return false;
}

bool isAbsolutePath(const char* name) {
  bool drive = name[0] != '\0' && name[1] == ':' && isSeparator(name[2]);
  return drive || (isSeparator(name[0]) && isSeparator(name[1]));
}

bool planLaunch(const char* command, const SystemCalls& system, bool elevated,
                LaunchPlan* plan) {
  memset(plan, 0, sizeof *plan);
  size_t length = strnlen(command, LAUNCH_COMMAND_SIZE);
  if (length == LAUNCH_COMMAND_SIZE) return false;
  // A quoted program is only what the quotes hold; an unclosed quote names no program.
  bool quoted = command[0] == '"';
  const char* start = command + quoted;
  const char* end = quoted ? strchr(start, '"') : command + length;
  if (end == nullptr) return false;
  char candidate[LAUNCH_COMMAND_SIZE];
  size_t n = static_cast<size_t>(end - start);
  memcpy(candidate, start, n);
  bool found = false, whole = !quoted;
  for (;;) {
    candidate[n] = '\0';
    found = resolveProgram(candidate, system, elevated, plan);
    if (found || quoted) break;
    // Each shorter prefix before a space, longest first, only as an ".EXE" it names itself.
    whole = false;
    while (n > 0 && (candidate[--n] != ' ' || !endsInExe(candidate, n))) {
    }
    if (n == 0) break;
  }
  if (found && formatCommandLine(command, whole && couldBeSplitAtSpace(command),
                                 plan->commandLine, sizeof plan->commandLine))
    return true;
  memset(plan, 0, sizeof *plan);
  return false;
}

bool formatCommandLine(const char* command, bool quoted, char* commandLine,
                       size_t commandLineSize) {
  if (commandLineSize == 0) return false;
  commandLine[0] = '\0';
  size_t length = strlen(command);
  size_t quotes = quoted ? 2 : 0;
  static const char suffix[] = " " CLIENT_LINK_SWITCH;
  if (length + quotes + sizeof suffix > commandLineSize) return false;
  char* out = commandLine;
  if (quoted) *out++ = '"';
  memcpy(out, command, length);
  out += length;
  if (quoted) *out++ = '"';
  memcpy(out, suffix, sizeof suffix);
  return true;
}

bool couldBeSplitAtSpace(const char* command) {
  return command[0] != '"' && strchr(command, ' ') != nullptr;
}

const PlannedClient& planClient(const char* command, bool fresh) {
  // Both are whole command buffers: bytes after the NUL count too, which costs a plan at most.
  if (fresh || !planMade || memcmp(command, plannedCommand, sizeof plannedCommand) != 0) {
    memcpy(plannedCommand, command, sizeof plannedCommand);
    planned.found = planLaunch(command, systemCalls, systemCalls.ownTokenTraits().elevated,
                               &planned.plan);
    ++planned.generation;
    planMade = true;
  }
  return planned;
}

const PlannedClient& plannedClient() { return planClient(configuredCommand(), false); }

void forgetClient() {
  forgetStoredCommand();
  planMade = false;
}
