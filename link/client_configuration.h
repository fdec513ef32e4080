// Reaching the client application, step 1: its launch command. Where it is kept, reading it,
// asking the user for it and writing it back. The command goes from here to the plan
// (link/client_plan.h), never back. Plain logic over the system-call table.
#pragma once

#include <stddef.h>

#include "link/system_calls.h"

// Where the launch command is kept: the default value of LAUNCH_COMMAND_SUBKEY under
// HKEY_CURRENT_USER\LAUNCH_COMMAND_USER_KEY (the user's own), else under
// HKEY_USERS\LAUNCH_COMMAND_KEY (the LocalSystem account's hive, which only administrators
// may change, and which installers and older clients read and write).
#define LAUNCH_COMMAND_KEY ".Default\\Software\\Belcor\\Netscape Plugin"
#define LAUNCH_COMMAND_USER_KEY "Software\\Belcor\\Netscape Plugin"
#define LAUNCH_COMMAND_SUBKEY "LaunchOrbiplayCommand"
// WIN.INI entry naming the client application's directory, read when the registry is empty.
#define CLIENT_DIRECTORY_SECTION "Belcor"
#define CLIENT_DIRECTORY_KEY "VUVE"

// Room for a launch command with its NUL: at most 159 characters.
const size_t LAUNCH_COMMAND_SIZE = 160;

// Sets the command that starts the client application, as configuration would (linkcheck, and
// tests); false, and nothing changes, when it does not fit. "" forgets it: the next launch
// configures again.
bool setLaunchCommand(const char* command);

// The command the client application is known by: the configured one, else the stored one,
// read once until forgetStoredCommand (empty when there is none). Either way a whole
// LAUNCH_COMMAND_SIZE buffer.
const char* configuredCommand();

// Reads the stored command again at the next configuredCommand.
void forgetStoredCommand();

// Configures the command from the current user's key, else the .Default key, else the WIN.INI
// directory, else by asking the user in the FINDCLIENT dialog, whose template `templateModule`
// holds (given by whoever owns the entry point; null: the program's own file), and returns it
// (a whole buffer; empty when configuration ended without one). A new command goes back to
// both keys, a stored one to its own, each where that works. In an elevated process the
// user's key is neither read nor written: it is anyone's of the user's programs. With neither
// key to keep it in, the user is warned and nothing changes.
const char* configureLaunchCommand(ModuleHandle templateModule = nullptr);

// The command a launch starts: the configured one, configured first when there is none.
const char* commandToLaunch(ModuleHandle templateModule);

// Whether configuration shows a box or the dialog now: a call that arrives is nested in it.
bool configurationOpen();

// Writes directory + "\" (unless it already ends with one) + CLIENT_PROGRAM_NAME into `command`.
// Returns false and leaves `command` empty when `directory` is empty or the result does not
// fit `commandSize` bytes with its NUL: a cut command would start the wrong program.
bool commandFromDirectory(const char* directory, char* command, size_t commandSize);

// Whether the `read` bytes a registry read left at the start of `buffer` (`size` bytes) are a
// text: up to their NUL, or, stored without one, exactly them, ended where there is room (what
// follows them in the buffer is an earlier text's). Empties the buffer (when size allows) and
// returns false otherwise, so a read that filled the buffer without a NUL is no text at all.
bool keepTextRead(char* buffer, size_t size, long read);
