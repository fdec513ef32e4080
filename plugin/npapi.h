// The parts of the Netscape plug-in interface (NPAPI) that this module uses, declared from
// the published interface. Plain C types only, so the pure code compiles natively too.
#pragma once

#include <cstddef>
#include <cstdint>

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;

const NPError NPERR_NO_ERROR = 0;
const NPError NPERR_GENERIC_ERROR = 1;
const NPError NPERR_INVALID_INSTANCE_ERROR = 2;
const NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
const NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
const NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
const NPError NPERR_INVALID_PARAM = 9;

// Instance modes and stream types.
const uint16_t NP_EMBED = 1;
const uint16_t NP_FULL = 2;
const uint16_t NP_NORMAL = 1;

// One plug-in instance: pdata is the plug-in's, ndata the browser's.
struct NPP_t {
  void* pdata;
  void* ndata;
};
typedef NPP_t* NPP;

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPSavedData {
  int32_t len;
  void* buf;
};

struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

// On Windows `window` is the plug-in's HWND.
struct NPWindow {
  void* window;
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  NPWindowType type;
};

struct NPFullPrint {
  NPBool pluginPrinted;
  NPBool printOne;
  void* platformPrint;
};

struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
};

struct NPPrint {
  uint16_t mode;
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
};

// The plug-in's functions as the browser calls them: the C calling convention.
typedef NPError (*NPP_NewProcPtr)(NPMIMEType pluginType, NPP instance, uint16_t mode,
                                  int16_t argc, char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProcPtr)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProcPtr)(NPP instance, NPMIMEType type, NPStream* stream,
                                        NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProcPtr)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProcPtr)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                    void* buffer);
typedef void (*NPP_PrintProcPtr)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP instance, void* event);

// The plug-in's function table, as far as this module fills it. Browsers may pass a larger
// table; the fields after `event` are theirs to keep.
struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
};

// The smallest table the module fills: everything up to and including `event`.
const uint16_t NP_PLUGIN_FUNCS_MIN_SIZE =
    static_cast<uint16_t>(offsetof(NPPluginFuncs, event) + sizeof(NPP_HandleEventProcPtr));
#if defined(_WIN32) && !defined(_WIN64)
static_assert(NP_PLUGIN_FUNCS_MIN_SIZE == 44, "the 32-bit plug-in table is 44 bytes");
#endif

// The browser's function table. The module keeps its address but calls none of its entries.
struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;
};

// The exported entry points use the operating system's calling convention.
#ifdef _WIN32
#define NP_OSCALL __stdcall
#else
#define NP_OSCALL
#endif
