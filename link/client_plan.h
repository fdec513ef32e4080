// Reaching the client application, step 2: the plan. From a launch command to the one program
// to start and its command line. Every rule of the program's search lives here; what it asks
// of the system goes through the system-call table it is given. Plain logic.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "link/client_configuration.h"

// Room for a program's full path and its NUL (MAX_PATH).
const size_t PLAN_PATH_SIZE = 260;
// Room for the command line: the 159-character command, quotes, " /$l" and the NUL.
const size_t PLAN_COMMAND_LINE_SIZE = 240;

// Where programs are registered by their names, under either root.
#define APP_PATHS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
// Switch that tells the client application it was started for a link.
#define CLIENT_LINK_SWITCH "/$l"

// Whether both are known and name one file.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

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
// the command does not fit: nothing is to start. What it asks of the system goes through
// `system` (systemCalls, or a test's own table).
bool planLaunch(const char* command, const SystemCalls& system, bool elevated, LaunchPlan* plan);

// Whether `name` has a folder (a backslash, slash or drive colon) and whether it is absolute:
// a drive root ("C:\\...") or a network path ("\\\\server\\..."), with either slash.
bool hasFolder(const char* name);
bool isAbsolutePath(const char* name);

// Writes `command` + " /$l" into `commandLine`, with `command` in double quotes when `quoted`.
// Returns false and leaves `commandLine` empty when it does not fit. An empty command gives
// " /$l".
bool formatCommandLine(const char* command, bool quoted, char* commandLine,
                       size_t commandLineSize);

// Whether `command` could be a program path that the start call would split at a space: it
// holds a space and is not already quoted. Whether it names one existing file as a whole is
// for the caller to find out.
bool couldBeSplitAtSpace(const char* command);

// A command's plan, as the finder and the launcher share it.
struct PlannedClient {
  bool found;           // a program to start was found; `plan` is empty otherwise
  LaunchPlan plan;
  unsigned generation;  // changes with every plan made, found or not
};

// The plan of `command` (a whole LAUNCH_COMMAND_SIZE buffer), made again only when the
// command changed, or when `fresh` (a launch: files may have come or gone since).
const PlannedClient& planClient(const char* command, bool fresh);

// The plan of the configured command (configuredCommand).
const PlannedClient& plannedClient();

// Forgets the plan and the stored command it came from: the next look reads and plans anew.
void forgetClient();
