// The module's exported NPAPI entry points: the browser gets the plug-in's function table
// here and hands over its own.
#pragma once

#include "plugin/npapi.h"

extern "C" {
NPError NP_OSCALL NP_GetEntryPoints(NPPluginFuncs* pluginFuncs);
NPError NP_OSCALL NP_PluginInit(NPNetscapeFuncs* browserFuncs);
NPError NP_OSCALL NP_PluginShutdown();
}

// The browser's function table as NP_PluginInit received it (kept for the module's life).
extern NPNetscapeFuncs* browserFunctions;
