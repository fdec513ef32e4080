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

// Whether the launcher's wait begun at `startMs` is over at `nowMs` (millisecond counter
// readings). Compares elapsed time, so a counter that wraps during the wait still gives
// the full wait.
bool launchWaitOver(uint32_t startMs, uint32_t nowMs);

// Whether `buffer` holds a NUL within its `size` bytes; empties it (when size allows) and
// returns false otherwise, so an unterminated read counts as no text at all.
bool keepIfTerminated(char* buffer, size_t size);
