// Names and control IDs of the module's resources, shared by the resource scripts and code.
#pragma once

// The find-client dialog template and its controls.
#define FIND_CLIENT_DIALOG "FINDCLIENT"
#define IDC_CLIENT_COMMAND 1000
#define IDC_BROWSE 1010
