// A plug-in module as they were built before NP_Initialize: its entry points carry only the
// names NP_PluginInit and NP_PluginShutdown. Gecko-family browsers pass it over; Netscape
// accepted it. The install tests register it to see pagerunner tell the two apart.
#include "plugin/npapi.h"

extern "C" {
NPError NP_OSCALL NP_GetEntryPoints(NPPluginFuncs*) { return NPERR_NO_ERROR; }
NPError NP_OSCALL NP_PluginInit(NPNetscapeFuncs*) { return NPERR_NO_ERROR; }
NPError NP_OSCALL NP_PluginShutdown() { return NPERR_NO_ERROR; }
}
