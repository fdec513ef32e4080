// Finding the client application's link window, and starting the client application.
#pragma once

#include <windows.h>

// Caption of every message box the module shows.
#define MODULE_CAPTION "ZUROV.DLL"

// Window class of the client application's link window.
#define LINK_WINDOW_CLASS "KelvoraLink"

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
// and whenever configuration ended without one. Also written by the find-client dialog.
extern char launchCommand[160];
// The launch command followed by " /$l", as last started.
extern char commandLine[240];
// The full path of the launch command's program, as last found; empty when none was.
extern char clientProgram[MAX_PATH];
// This module's instance handle, saved by the library entry routine; the FINDCLIENT
// dialog template is loaded from it.
extern HINSTANCE moduleInstance;

// Chooses among the windows of the link window class (any title) and caches the result, null
// included: the configured program's, else the first in z-order (FindWindowA's), never one
// whose process runs at a lower integrity level than this one. The only writer of the
// cached handle.
HWND findLinkWindow();

// The cached link window handle: as fresh as the last findLinkWindow.
HWND linkWindow();

// Configures the launch command when it is empty, starts its program, found only where an
// installer or the user put it (findLaunchProgram), minimized without activation and waits up to 10 s for its link window, dispatching this thread's
// messages meanwhile. Success shows only in linkWindow(). Callers run findLinkWindow first.
void launchClient();

// Fills launchCommand from the current user's key, else the .Default key, else the WIN.INI
// directory, else by asking the user in the FINDCLIENT dialog, and writes it back to the
// current user's key and to the .Default key, each where that works.
void configureLaunchCommand();
