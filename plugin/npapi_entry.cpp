#include "plugin/npapi_entry.h"

#include "link/client_locator.h"
#include "link/on_demand_imports.h"
#include "plugin/module_reference.h"
#include "plugin/npp_functions.h"
#include "plugin/plugin_window.h"

NPNetscapeFuncs* browserFunctions = nullptr;

NPError NP_OSCALL NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
  if (pluginFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  // A browser that passes size 0 leaves the table's size to the plug-in.
  if (pluginFuncs->size == 0) pluginFuncs->size = NP_PLUGIN_FUNCS_MIN_SIZE;
  if (pluginFuncs->size < NP_PLUGIN_FUNCS_MIN_SIZE) return NPERR_INVALID_FUNCTABLE_ERROR;
  pluginFuncs->version = 6;  // major 0, minor 6
  pluginFuncs->newp = NPP_New;
  pluginFuncs->destroy = NPP_Destroy;
  pluginFuncs->setwindow = NPP_SetWindow;
  pluginFuncs->newstream = NPP_NewStream;
  pluginFuncs->destroystream = NPP_DestroyStream;
  pluginFuncs->asfile = NPP_StreamAsFile;
  pluginFuncs->writeready = NPP_WriteReady;
  pluginFuncs->write = NPP_Write;
  pluginFuncs->print = NPP_Print;
  pluginFuncs->event = nullptr;
  return NPERR_NO_ERROR;
}

// The browser calls this right after loading the module; a plug-in whose client application
// cannot be reached refuses here, after the user was told why, and the browser unloads it.
// Re-entry: the client check waits and may show dialogs; no instance exists yet.
NPError NP_OSCALL NP_PluginInit(NPNetscapeFuncs* browserFuncs) {
  browserFunctions = browserFuncs;
  // A load only needs a client to be there: which link window is the client's is decided at
  // each NPP_New, so a load with the client running costs one lookup.
  if (FindWindowA(LINK_WINDOW_CLASS, nullptr) != nullptr || reachClientApplication())
    return NPERR_NO_ERROR;
  // A browser unloads a module whose initialization failed without calling NP_Shutdown.
  // References the module kept (plugin/module_reference.h) wait for an NP_Shutdown: this
  // call's own wait may have been where the browser unloaded it.
  releaseOnDemandImports();
  return NPERR_MODULE_LOAD_FAILED_ERROR;
}

// The browser calls this before it unloads the module: the libraries loaded on demand are
// released here, as the library entry routine must not, and no window may keep a procedure
// of the module. One that still has SubClassProc under a browser's procedure pins the module
// (by its own address, so any folder name will do), so its messages never reach unmapped code.
NPError NP_OSCALL NP_PluginShutdown() {
  static bool pinned = false;
  if (releaseWindowsForUnload() && !pinned) pinned = pinModule();
  releaseOnDemandImports();
  forgetClient();  // a later NP_PluginInit reads the stored command and plans anew
  moduleShuttingDown();
  return NPERR_NO_ERROR;
}
