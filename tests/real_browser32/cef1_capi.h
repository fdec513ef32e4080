// The part of the C interface of the embedded browser engine of Chromium 21 (its version
// 1.1180, Windows i686) that cef1host uses, declared from that interface's layout: member
// order, types and the calling convention of each function table. The exports are plain C
// functions; every function inside a structure is __stdcall. The engine copies each of its
// settings structures member by member whatever their size field says, so the host hands
// them over inside zeroed blocks larger than the structures (zero means "default").
#pragma once

#include <windows.h>

#include <cstddef>

#define CEF1_CALLBACK __stdcall

extern "C" {

typedef struct _cef_string_utf16_t {  // UTF-16
  wchar_t* str;
  size_t length;
  void (*dtor)(wchar_t* str);  // null for strings the engine must copy and never free
} cef_string_t;
typedef cef_string_t* cef_string_userfree_t;

typedef struct _cef_base_t {
  size_t size;  // of the whole structure this base begins
  int(CEF1_CALLBACK* add_ref)(struct _cef_base_t* self);
  int(CEF1_CALLBACK* release)(struct _cef_base_t* self);
  int(CEF1_CALLBACK* get_refct)(struct _cef_base_t* self);
} cef_base_t;

const int CEF1_LOG_SEVERITY_DISABLE = 99;

typedef struct _cef_settings_t {
  size_t size;
  int multi_threaded_message_loop;  // a one-byte bool, padded: 0, the host runs the loop
  cef_string_t cache_path, user_agent, product_version, locale;
  void* extra_plugin_paths;  // a string list
  cef_string_t log_file;
  int log_severity;
  // More members follow, all left zero.
} cef_settings_t;

// Every member after `size` left zero: the engine's defaults, plug-ins enabled.
typedef union _cef_browser_settings_t {
  size_t size;
  unsigned char block[1024];
} cef_browser_settings_t;

typedef struct _cef_window_info_t {  // what CreateWindowEx gets, then the window made
  DWORD m_dwExStyle;
  cef_string_t m_windowName;
  DWORD m_dwStyle;
  int m_x, m_y, m_nWidth, m_nHeight;
  HWND m_hWndParent;
  HMENU m_hMenu;
  BOOL m_bWindowRenderingDisabled;
  BOOL m_bTransparentPainting;
  HWND m_hWnd;
} cef_window_info_t;

// Filled by the host: each getter returns a handler, or null for the engine's own.
const int CEF1_CLIENT_GETTERS = 48;
typedef struct _cef_client_t {
  cef_base_t base;
  void*(CEF1_CALLBACK* getters[CEF1_CLIENT_GETTERS])(struct _cef_client_t* self);
} cef_client_t;

// Only its base is used: the host releases the reference it was given.
typedef struct _cef_browser_t {
  cef_base_t base;
} cef_browser_t;

typedef struct _cef_web_plugin_info_t {
  cef_base_t base;
  cef_string_userfree_t(CEF1_CALLBACK* get_name)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF1_CALLBACK* get_path)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF1_CALLBACK* get_version)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF1_CALLBACK* get_description)(struct _cef_web_plugin_info_t* self);
} cef_web_plugin_info_t;

// The library's exports, looked up at run time.
typedef int (*cef_build_revision_fn)(void);
typedef int (*cef_initialize_fn)(const cef_settings_t* settings, void* application);
typedef void (*cef_void_fn)(void);  // cef_run_message_loop, cef_quit_message_loop, cef_shutdown
typedef cef_browser_t* (*cef_browser_create_sync_fn)(cef_window_info_t* windowInfo,
                                                     cef_client_t* client, const cef_string_t* url,
                                                     const cef_browser_settings_t* settings);
typedef size_t (*cef_get_web_plugin_count_fn)(void);
typedef cef_web_plugin_info_t* (*cef_get_web_plugin_info_fn)(int index);
typedef void (*cef_string_userfree_utf16_free_fn)(cef_string_userfree_t str);

}  // extern "C"

static_assert(sizeof(void*) == 4, "the engine is i686 only");
static_assert(sizeof(cef_string_t) == 12, "cef_string_t");
static_assert(sizeof(cef_base_t) == 16, "cef_base_t");
static_assert(offsetof(cef_settings_t, cache_path) == 8, "settings: cache path");
static_assert(offsetof(cef_settings_t, extra_plugin_paths) == 56, "settings: plug-in paths");
static_assert(offsetof(cef_settings_t, log_severity) == 72, "settings: log severity");
static_assert(offsetof(cef_window_info_t, m_dwStyle) == 16, "window info: style");
static_assert(offsetof(cef_window_info_t, m_hWndParent) == 36, "window info: parent");
static_assert(sizeof(cef_window_info_t) == 56, "cef_window_info_t");
static_assert(sizeof(cef_client_t) == 16 + 48 * 4, "cef_client_t");
static_assert(offsetof(cef_web_plugin_info_t, get_path) == 20, "plug-in info: path");
