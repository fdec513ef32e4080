// The stored launch command: where it is kept, reading it, asking the user for it and writing
// it back. The command goes from here down to the planner (link/launch_plan.h), never back.
#pragma once

#include <windows.h>

#include "link/launch_plan.h"

// Caption of every message box the module shows.
#define MODULE_CAPTION "ZUROV.DLL"

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

// The command that starts the client application (at most 159 characters); empty at load
// and whenever configuration ended without one.
extern char launchCommand[LAUNCH_COMMAND_SIZE];

// The command the client application is known by: launchCommand once configured, else the
// stored one, read once until forgetStoredCommand (empty when there is none). Either way a
// whole LAUNCH_COMMAND_SIZE buffer.
const char* configuredCommand();

// Reads the stored command again at the next configuredCommand.
void forgetStoredCommand();

// Fills launchCommand from the current user's key, else the .Default key, else the WIN.INI
// directory, else by asking the user in the FINDCLIENT dialog, whose template `templateModule`
// holds (given by whoever owns the entry point; null: the program's own file). A new command
// goes back to both keys, a stored one to its own, each where that works. In an elevated
// process the user's key is neither read nor written: it is anyone's of the user's programs.
void configureLaunchCommand(HINSTANCE templateModule = nullptr);

// Whether configuration shows a box or the dialog now: a call that arrives is nested in it.
bool configurationOpen();
