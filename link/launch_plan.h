// The launch plan: from the stored launch command to the one program to start and its command
// line. Every rule of the program's search lives here; what it asks of the system goes through
// the small table PlanLookup. Plain logic.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Room for a program's full path and its NUL (MAX_PATH).
const size_t PLAN_PATH_SIZE = 260;
// Room for the command line: the 159-character command, quotes, " /$l" and the NUL.
const size_t PLAN_COMMAND_LINE_SIZE = 240;
// Room for a launch command with its NUL.
const size_t LAUNCH_COMMAND_SIZE = 160;

// Where programs are registered by their names, under either root.
#define APP_PATHS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"

// Which file a path names: the volume's serial number and the file's index on it. Two spellings
// of one file (a short 8.3 name, slashes, ".\") give the same identity.
struct FileIdentity {
  bool known;  // false where the file could not be opened to read it
  uint32_t volume;
  uint32_t indexHigh;
  uint32_t indexLow;
};

// Whether both are known and name one file.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// What the planner asks of the system. Each call answers from the system's present state.
struct PlanLookup {
  // Whether `path` names an existing file (not a folder), and its identity in `*identity`.
  bool (*findFile)(const char* path, FileIdentity* identity);
  // The default value of `key` (APP_PATHS_KEY and a name, as "...\\ORBIPLAY.EXE") under the
  // user's own (`machine` false) or the machine's root, into `value` of `size` bytes; false
  // when there is none, or it does not fit with its NUL.
  bool (*appPath)(bool machine, const char* key, char* value, size_t size);
  // The PATH text, whatever its length, valid until the next call; null when there is none.
  const char* (*pathText)();
};

// The program to start, exactly (nothing is searched by the start itself), and its command line.
struct LaunchPlan {
  char program[PLAN_PATH_SIZE];
  char commandLine[PLAN_COMMAND_LINE_SIZE];
  FileIdentity identity;  // of `program`
};

// Plans the start of `command` (a stored launch command: a program, perhaps quoted, perhaps
// followed by arguments). The program is the first of these that names an existing file, found
// only where an installer or the user put it:
//   - a quoted command: what the quotes hold (an unclosed quote names nothing);
//   - else the whole command;
//   - else the longest shorter prefix that ends before a space and in ".EXE" (case ignored),
//     as written: "C:\Program" of a gone "C:\Program Files\...\ORBIPLAY.EXE" never counts.
// A name without an extension is tried with ".EXE" first, then as written. An absolute path
// ("C:\..." or "\\server\...", either slash) stands as it is; a bare name is looked up under
// App Paths (the user's key, then the machine's) and then in the absolute folders of PATH; a
// relative path with a folder names nothing. When `elevated` (the browser runs with an
// administrator's token), only what needs an administrator to change counts: the machine's
// App Paths, and not the user's key or PATH.
// The command line is the command as stored, in quotes when its program is the unquoted whole
// command with a space, then " /$l". False, with `*plan` emptied, when no program is found or
// the command does not fit: nothing is to start.
bool planLaunch(const char* command, const PlanLookup& lookup, bool elevated, LaunchPlan* plan);

// Whether `name` has a folder (a backslash, slash or drive colon) and whether it is absolute:
// a drive root ("C:\\...") or a network path ("\\\\server\\..."), with either slash.
bool hasFolder(const char* name);
bool isAbsolutePath(const char* name);
