// Launch command derivations: from the configured directory to the command, from the
// command to the command line, and the launcher's wait deadline. Plain functions.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Name of the client application appended to a configured directory (no extension).
#define CLIENT_PROGRAM_NAME "ORBIPLAY"
// Switch that tells the client application it was started for a link.
#define CLIENT_LINK_SWITCH "/$l"
// How long the launcher waits for the link window, in milliseconds.
#define LAUNCH_WAIT_MS 10000u

// Writes directory + "\" (unless it already ends with one) + "ORBIPLAY" into `command`.
// Returns false and leaves `command` empty when `directory` is empty or the result does not
// fit `commandSize` bytes with its NUL: a cut command would start the wrong program.
bool launchCommandFromDirectory(const char* directory, char* command, size_t commandSize);

// Writes `command` + " /$l" into `commandLine`, with `command` in double quotes when `quoted`.
// Returns false and leaves `commandLine` empty when it does not fit. An empty command gives
// " /$l".
bool formatCommandLine(const char* command, bool quoted, char* commandLine,
                       size_t commandLineSize);

// Whether `command` could be a program path that the start call would split at a space: it
// holds a space and is not already quoted. Whether it names one existing file as a whole is
// for the caller to find out.
bool couldBeSplitAtSpace(const char* command);

// Whether `name` has a folder (a backslash, slash or drive colon) and whether it is absolute:
// a drive root ("C:\\...") or a network path ("\\\\server\\...").
bool hasFolder(const char* name);
bool isAbsolutePath(const char* name);

// Finds a program where only an installer or the user could have put it: resolves `name` (a
// bare name, or a path) into the program's full path at `program`, trying `name` with ".EXE"
// added too unless `exact`; false when there is no such program.
typedef bool (*ProgramResolver)(const char* name, bool exact, char* program, size_t programSize);

// Splits the launch command into its program and arguments, taking the first that applies:
// a quoted program; the whole command; the longest prefix ending before a space, as written
// (with ".EXE" added, "C:\Program" would name the look-alike "C:\Program.exe" of a gone
// "C:\Program Files\...\ORBIPLAY"). Each candidate goes to `resolve`; the first that
// resolves is the program, written to `program`. `*whole` tells whether that was the unquoted
// whole command (the start quotes it then). False, with `program` empty, when nothing
// resolves: nothing is started.
bool findLaunchProgram(const char* command, ProgramResolver resolve, char* program,
                       size_t programSize, bool* whole);

// Whether the launcher's wait begun at `startMs` is over at `nowMs` (millisecond counter
// readings). Compares elapsed time, so a counter that wraps during the wait still gives
// the full wait.
bool launchWaitOver(uint32_t startMs, uint32_t nowMs);

// Whether `buffer` holds a NUL within its `size` bytes; empties it (when size allows) and
// returns false otherwise, so an unterminated read counts as no text at all.
bool keepIfTerminated(char* buffer, size_t size);
