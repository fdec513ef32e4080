// The plug-in's NPP_ entry points, reached by the browser through the plug-in function table,
// and the window procedure installed on plug-in windows.
#pragma once

#include <windows.h>

#include <type_traits>

#include "plugin/npapi.h"

// An instance's creation and teardown (instance_lifetime.cpp).
NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                char* argv[], NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);

// The plug-in window (plugin_window.cpp).
NPError NPP_SetWindow(NPP instance, NPWindow* window);

// Link-file streams (link_file_stream.cpp).
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                      uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
int32_t NPP_WriteReady(NPP instance, NPStream* stream);
int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
void NPP_Print(NPP instance, NPPrint* platformPrint);

// Installed on every plug-in window; forwards repaint requests to the client application.
extern "C" LRESULT CALLBACK SubClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The functions have exactly the types of the browser's table.
static_assert(std::is_same<decltype(&NPP_New), NPP_NewProcPtr>::value, "NPP_New");
static_assert(std::is_same<decltype(&NPP_Destroy), NPP_DestroyProcPtr>::value, "NPP_Destroy");
static_assert(std::is_same<decltype(&NPP_SetWindow), NPP_SetWindowProcPtr>::value, "NPP_SetWindow");
static_assert(std::is_same<decltype(&NPP_NewStream), NPP_NewStreamProcPtr>::value, "NPP_NewStream");
static_assert(std::is_same<decltype(&NPP_DestroyStream), NPP_DestroyStreamProcPtr>::value,
              "NPP_DestroyStream");
static_assert(std::is_same<decltype(&NPP_StreamAsFile), NPP_StreamAsFileProcPtr>::value,
              "NPP_StreamAsFile");
static_assert(std::is_same<decltype(&NPP_WriteReady), NPP_WriteReadyProcPtr>::value,
              "NPP_WriteReady");
static_assert(std::is_same<decltype(&NPP_Write), NPP_WriteProcPtr>::value, "NPP_Write");
static_assert(std::is_same<decltype(&NPP_Print), NPP_PrintProcPtr>::value, "NPP_Print");
