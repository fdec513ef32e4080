#include "link/launch_plan.h"

#include <string.h>

#include "link/launch_command.h"

namespace {

const char EXE[] = ".EXE";
const size_t EXE_LENGTH = sizeof EXE - 1;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the `length` characters at `text` end in ".EXE", case ignored.
bool endsInExe(const char* text, size_t length) {
  if (length < EXE_LENGTH) return false;
  for (size_t i = 0; i < EXE_LENGTH; ++i)
    if (upper(text[length - EXE_LENGTH + i]) != EXE[i]) return false;
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
bool findProgramFile(char* path, const PlanLookup& lookup, FileIdentity* identity) {
  size_t length = strlen(path);
  if (!hasExtension(path) && length + EXE_LENGTH < PLAN_PATH_SIZE) {
    memcpy(path + length, EXE, sizeof EXE);
    if (lookup.findFile(path, identity)) return true;
    path[length] = '\0';
  }
  return lookup.findFile(path, identity);
}

// Copies `length` characters at `text` into `out` (PLAN_PATH_SIZE bytes); false when they do
// not fit with the NUL.
bool copyPath(const char* text, size_t length, char* out) {
  if (length >= PLAN_PATH_SIZE) return false;
  memcpy(out, text, length);
  out[length] = '\0';
  return true;
}

// An App Paths value as a path: one in quotes loses them (installers write both forms); an
// unclosed quote, or text after the closing one, is no path.
bool unquoteAppPath(char* value) {
  if (value[0] != '"') return true;
  size_t length = strlen(value);
  if (length < 2 || value[length - 1] != '"' || memchr(value + 1, '"', length - 2) != nullptr)
    return false;
  memmove(value, value + 1, length - 2);
  value[length - 2] = '\0';
  return true;
}

// The program App Paths registers for bare `name`: the user's key (unless `elevated`), then
// the machine's; an absolute path of an existing file, taken as it is.
bool findInAppPaths(const char* name, const PlanLookup& lookup, bool elevated, LaunchPlan* plan) {
  char key[LAUNCH_COMMAND_SIZE + EXE_LENGTH];
  size_t length = strlen(name);
  if (length + EXE_LENGTH >= sizeof key) return false;
  memcpy(key, name, length + 1);
  if (!endsInExe(name, length)) memcpy(key + length, EXE, sizeof EXE);
  for (int machine = elevated ? 1 : 0; machine < 2; ++machine) {
    if (lookup.appPath(machine != 0, key, plan->program, PLAN_PATH_SIZE) &&
        memchr(plan->program, '\0', PLAN_PATH_SIZE) != nullptr && unquoteAppPath(plan->program) &&
        isAbsolutePath(plan->program) && lookup.findFile(plan->program, &plan->identity))
      return true;
  }
  plan->program[0] = '\0';
  return false;
}

// Bare `name` in the absolute folders of PATH, in their order; relative folders (the current
// one among them) are passed over, and so is a folder with no room for the name.
bool findOnPath(const char* name, const PlanLookup& lookup, LaunchPlan* plan) {
  const char* text = lookup.pathText();
  if (text == nullptr) return false;
  size_t nameLength = strlen(name);
  bool found = false;
  for (const char* folder = text; !found && *folder != '\0';) {
    const char* end = strchr(folder, ';');
    if (end == nullptr) end = folder + strlen(folder);
    size_t length = static_cast<size_t>(end - folder);
    // The folder ends at ';' or NUL, neither a separator: the test reads no further.
    bool separated = length != 0 && isSeparator(folder[length - 1]);
    if (isAbsolutePath(folder) && length + !separated + nameLength < PLAN_PATH_SIZE) {
      memcpy(plan->program, folder, length);
      if (!separated) plan->program[length++] = '\\';
      memcpy(plan->program + length, name, nameLength + 1);
      found = findProgramFile(plan->program, lookup, &plan->identity);
    }
    folder = *end != '\0' ? end + 1 : end;
  }
  lookup.endPathText(text);
  if (!found) plan->program[0] = '\0';
  return found;
}

// Resolves one candidate program name into plan->program and plan->identity.
bool resolveProgram(const char* name, const PlanLookup& lookup, bool elevated, LaunchPlan* plan) {
  if (name[0] == '\0') return false;
  if (isAbsolutePath(name))
    return copyPath(name, strlen(name), plan->program) &&
           findProgramFile(plan->program, lookup, &plan->identity);
  if (hasFolder(name)) return false;
  if (findInAppPaths(name, lookup, elevated, plan)) return true;
  return !elevated && findOnPath(name, lookup, plan);
}

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

bool planLaunch(const char* command, const PlanLookup& lookup, bool elevated, LaunchPlan* plan) {
  memset(plan, 0, sizeof *plan);
  const char* nul = static_cast<const char*>(memchr(command, '\0', LAUNCH_COMMAND_SIZE));
  if (nul == nullptr) return false;
  size_t length = static_cast<size_t>(nul - command);
  char candidate[LAUNCH_COMMAND_SIZE];
  bool found = false, whole = false;
  if (command[0] == '"') {
    // Only what the quotes hold; an unclosed quote names no program.
    const char* end = strchr(command + 1, '"');
    if (end != nullptr) {
      size_t quotedLength = static_cast<size_t>(end - command - 1);
      memcpy(candidate, command + 1, quotedLength);
      candidate[quotedLength] = '\0';
      found = resolveProgram(candidate, lookup, elevated, plan);
    }
  } else {
    memcpy(candidate, command, length + 1);
    found = whole = resolveProgram(candidate, lookup, elevated, plan);
    // Each shorter prefix before a space, longest first, only as an ".EXE" it names itself.
    for (size_t end = length; !found && end-- > 0;) {
      if (command[end] != ' ' || !endsInExe(command, end)) continue;
      candidate[end] = '\0';
      found = resolveProgram(candidate, lookup, elevated, plan);
    }
  }
  bool quoted = whole && couldBeSplitAtSpace(command);
  if (!found || !formatCommandLine(command, quoted, plan->commandLine, sizeof plan->commandLine)) {
    memset(plan, 0, sizeof *plan);
    return false;
  }
  return true;
}
