// The part of the browser engine's C interface (branch 2171, Windows x86-64) that the host
// program uses, declared from that interface's published layout: member order, types and the
// calling convention of each function table. Tables the host never fills or calls are left
// opaque; a table the host fills ends after its last member the host uses, and its base.size
// says so (the engine treats members past base.size as absent). The three settings
// structures are copied whole by the engine, so they are declared whole.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#define CEF_CALLBACK __stdcall

extern "C" {

typedef wchar_t char16;  // UTF-16 on Windows
typedef struct _cef_string_utf16_t {
  char16* str;
  size_t length;
  void (*dtor)(char16* str);  // null for strings the engine must copy and never free
} cef_string_t;
typedef cef_string_t* cef_string_userfree_t;

typedef enum { STATE_DEFAULT = 0, STATE_ENABLED, STATE_DISABLED } cef_state_t;
typedef enum { LOGSEVERITY_DEFAULT, LOGSEVERITY_VERBOSE, LOGSEVERITY_INFO, LOGSEVERITY_WARNING,
               LOGSEVERITY_ERROR, LOGSEVERITY_DISABLE = 99 } cef_log_severity_t;
typedef enum { TID_UI = 0 } cef_thread_id_t;  // the first of the engine's named threads
typedef enum { TS_ABNORMAL_TERMINATION, TS_PROCESS_WAS_KILLED, TS_PROCESS_CRASHED } cef_termination_status_t;
typedef uint32_t cef_color_t;
typedef int cef_errorcode_t;
typedef HWND cef_window_handle_t;

typedef struct _cef_base_t {
  size_t size;  // of the whole structure this base begins
  void(CEF_CALLBACK* add_ref)(struct _cef_base_t* self);
  int(CEF_CALLBACK* release)(struct _cef_base_t* self);
  int(CEF_CALLBACK* has_one_ref)(struct _cef_base_t* self);
} cef_base_t;

struct _cef_browser_host_t;
struct _cef_frame_t;
struct _cef_request_t;
struct _cef_request_context_t;
struct _cef_auth_callback_t;
struct _cef_quota_callback_t;
struct _cef_allow_certificate_error_callback_t;
struct _cef_resource_handler_t;
struct _cef_popup_features_t;
struct _cef_client_t;
struct _cef_context_menu_handler_t;
struct _cef_dialog_handler_t;
struct _cef_display_handler_t;
struct _cef_download_handler_t;
struct _cef_drag_handler_t;
struct _cef_focus_handler_t;
struct _cef_geolocation_handler_t;
struct _cef_jsdialog_handler_t;
struct _cef_keyboard_handler_t;
struct _cef_load_handler_t;
struct _cef_render_handler_t;

typedef struct _cef_main_args_t {
  HINSTANCE instance;
} cef_main_args_t;

typedef struct _cef_settings_t {
  size_t size;
  int single_process;
  int no_sandbox;
  cef_string_t browser_subprocess_path;
  int multi_threaded_message_loop;
  int windowless_rendering_enabled;
  int command_line_args_disabled;
  cef_string_t cache_path;
  int persist_session_cookies;
  cef_string_t user_agent;
  cef_string_t product_version;
  cef_string_t locale;
  cef_string_t log_file;
  cef_log_severity_t log_severity;
  cef_string_t javascript_flags;
  cef_string_t resources_dir_path;
  cef_string_t locales_dir_path;
  int pack_loading_disabled;
  int remote_debugging_port;
  int uncaught_exception_stack_size;
  int context_safety_implementation;
  int ignore_certificate_errors;
  cef_color_t background_color;
} cef_settings_t;

typedef struct _cef_browser_settings_t {
  size_t size;
  int windowless_frame_rate;
  cef_string_t standard_font_family, fixed_font_family, serif_font_family,
      sans_serif_font_family, cursive_font_family, fantasy_font_family;
  int default_font_size, default_fixed_font_size, minimum_font_size, minimum_logical_font_size;
  cef_string_t default_encoding;
  cef_state_t remote_fonts, javascript, javascript_open_windows, javascript_close_windows,
      javascript_access_clipboard, javascript_dom_paste, caret_browsing, java, plugins,
      universal_access_from_file_urls, file_access_from_file_urls, web_security, image_loading,
      image_shrink_standalone_to_fit, text_area_resize, tab_to_links, local_storage, databases,
      application_cache, webgl;
  cef_color_t background_color;
} cef_browser_settings_t;

typedef struct _cef_window_info_t {
  DWORD ex_style;
  cef_string_t window_name;
  DWORD style;
  int x, y, width, height;
  cef_window_handle_t parent_window;
  HMENU menu;
  int windowless_rendering_enabled;
  int transparent_painting_enabled;
  cef_window_handle_t window;
} cef_window_info_t;

// Called by the host: the first member of the browser, the first two of its host.
typedef struct _cef_browser_t {
  cef_base_t base;
  struct _cef_browser_host_t*(CEF_CALLBACK* get_host)(struct _cef_browser_t* self);
} cef_browser_t;
typedef struct _cef_browser_host_t {
  cef_base_t base;
  cef_browser_t*(CEF_CALLBACK* get_browser)(struct _cef_browser_host_t* self);
  void(CEF_CALLBACK* close_browser)(struct _cef_browser_host_t* self, int force_close);
} cef_browser_host_t;

typedef struct _cef_web_plugin_info_t {
  cef_base_t base;
  cef_string_userfree_t(CEF_CALLBACK* get_name)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF_CALLBACK* get_path)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF_CALLBACK* get_version)(struct _cef_web_plugin_info_t* self);
  cef_string_userfree_t(CEF_CALLBACK* get_description)(struct _cef_web_plugin_info_t* self);
} cef_web_plugin_info_t;

// Filled by the host.
typedef struct _cef_web_plugin_info_visitor_t {
  cef_base_t base;
  int(CEF_CALLBACK* visit)(struct _cef_web_plugin_info_visitor_t* self,
                           cef_web_plugin_info_t* info, int count, int total);
} cef_web_plugin_info_visitor_t;

typedef struct _cef_task_t {
  cef_base_t base;
  void(CEF_CALLBACK* execute)(struct _cef_task_t* self);
} cef_task_t;

typedef struct _cef_life_span_handler_t {
  cef_base_t base;
  int(CEF_CALLBACK* on_before_popup)(struct _cef_life_span_handler_t* self, cef_browser_t* browser,
                                     struct _cef_frame_t* frame, const cef_string_t* target_url,
                                     const cef_string_t* target_frame_name,
                                     const struct _cef_popup_features_t* popupFeatures,
                                     cef_window_info_t* windowInfo, struct _cef_client_t** client,
                                     cef_browser_settings_t* settings, int* no_javascript_access);
  void(CEF_CALLBACK* on_after_created)(struct _cef_life_span_handler_t* self, cef_browser_t* browser);
  int(CEF_CALLBACK* run_modal)(struct _cef_life_span_handler_t* self, cef_browser_t* browser);
  int(CEF_CALLBACK* do_close)(struct _cef_life_span_handler_t* self, cef_browser_t* browser);
  void(CEF_CALLBACK* on_before_close)(struct _cef_life_span_handler_t* self, cef_browser_t* browser);
} cef_life_span_handler_t;

typedef struct _cef_request_handler_t {
  cef_base_t base;
  int(CEF_CALLBACK* on_before_browse)(struct _cef_request_handler_t* self, cef_browser_t* browser,
                                      struct _cef_frame_t* frame, struct _cef_request_t* request,
                                      int is_redirect);
  int(CEF_CALLBACK* on_before_resource_load)(struct _cef_request_handler_t* self,
                                             cef_browser_t* browser, struct _cef_frame_t* frame,
                                             struct _cef_request_t* request);
  struct _cef_resource_handler_t*(CEF_CALLBACK* get_resource_handler)(
      struct _cef_request_handler_t* self, cef_browser_t* browser, struct _cef_frame_t* frame,
      struct _cef_request_t* request);
  void(CEF_CALLBACK* on_resource_redirect)(struct _cef_request_handler_t* self,
                                           cef_browser_t* browser, struct _cef_frame_t* frame,
                                           const cef_string_t* old_url, cef_string_t* new_url);
  int(CEF_CALLBACK* get_auth_credentials)(struct _cef_request_handler_t* self,
                                          cef_browser_t* browser, struct _cef_frame_t* frame,
                                          int isProxy, const cef_string_t* host, int port,
                                          const cef_string_t* realm, const cef_string_t* scheme,
                                          struct _cef_auth_callback_t* callback);
  int(CEF_CALLBACK* on_quota_request)(struct _cef_request_handler_t* self, cef_browser_t* browser,
                                      const cef_string_t* origin_url, int64_t new_size,
                                      struct _cef_quota_callback_t* callback);
  void(CEF_CALLBACK* on_protocol_execution)(struct _cef_request_handler_t* self,
                                            cef_browser_t* browser, const cef_string_t* url,
                                            int* allow_os_execution);
  int(CEF_CALLBACK* on_certificate_error)(struct _cef_request_handler_t* self,
                                          cef_errorcode_t cert_error,
                                          const cef_string_t* request_url,
                                          struct _cef_allow_certificate_error_callback_t* callback);
  int(CEF_CALLBACK* on_before_plugin_load)(struct _cef_request_handler_t* self,
                                           cef_browser_t* browser, const cef_string_t* url,
                                           const cef_string_t* policy_url,
                                           cef_web_plugin_info_t* info);
  void(CEF_CALLBACK* on_plugin_crashed)(struct _cef_request_handler_t* self,
                                        cef_browser_t* browser, const cef_string_t* plugin_path);
  void(CEF_CALLBACK* on_render_process_terminated)(struct _cef_request_handler_t* self,
                                                   cef_browser_t* browser,
                                                   cef_termination_status_t status);
} cef_request_handler_t;

// The client as far as its request handler; the members after it are absent.
typedef struct _cef_client_t {
  cef_base_t base;
  struct _cef_context_menu_handler_t*(CEF_CALLBACK* get_context_menu_handler)(struct _cef_client_t* self);
  struct _cef_dialog_handler_t*(CEF_CALLBACK* get_dialog_handler)(struct _cef_client_t* self);
  struct _cef_display_handler_t*(CEF_CALLBACK* get_display_handler)(struct _cef_client_t* self);
  struct _cef_download_handler_t*(CEF_CALLBACK* get_download_handler)(struct _cef_client_t* self);
  struct _cef_drag_handler_t*(CEF_CALLBACK* get_drag_handler)(struct _cef_client_t* self);
  struct _cef_focus_handler_t*(CEF_CALLBACK* get_focus_handler)(struct _cef_client_t* self);
  struct _cef_geolocation_handler_t*(CEF_CALLBACK* get_geolocation_handler)(struct _cef_client_t* self);
  struct _cef_jsdialog_handler_t*(CEF_CALLBACK* get_jsdialog_handler)(struct _cef_client_t* self);
  struct _cef_keyboard_handler_t*(CEF_CALLBACK* get_keyboard_handler)(struct _cef_client_t* self);
  cef_life_span_handler_t*(CEF_CALLBACK* get_life_span_handler)(struct _cef_client_t* self);
  struct _cef_load_handler_t*(CEF_CALLBACK* get_load_handler)(struct _cef_client_t* self);
  struct _cef_render_handler_t*(CEF_CALLBACK* get_render_handler)(struct _cef_client_t* self);
  cef_request_handler_t*(CEF_CALLBACK* get_request_handler)(struct _cef_client_t* self);
} cef_client_t;

// The library's exports (plain C calling convention), looked up at run time.
typedef int (*cef_execute_process_fn)(const cef_main_args_t* args, void* application,
                                      void* windows_sandbox_info);
typedef int (*cef_initialize_fn)(const cef_main_args_t* args, const cef_settings_t* settings,
                                 void* application, void* windows_sandbox_info);
typedef void (*cef_void_fn)(void);  // cef_shutdown, cef_run_message_loop, cef_quit_message_loop
typedef int (*cef_browser_host_create_browser_fn)(const cef_window_info_t* windowInfo,
                                                  cef_client_t* client, const cef_string_t* url,
                                                  const cef_browser_settings_t* settings,
                                                  struct _cef_request_context_t* request_context);
typedef int (*cef_post_delayed_task_fn)(cef_thread_id_t threadId, cef_task_t* task, int64_t delay_ms);
typedef void (*cef_visit_web_plugin_info_fn)(cef_web_plugin_info_visitor_t* visitor);
typedef void (*cef_string_userfree_utf16_free_fn)(cef_string_userfree_t str);

}  // extern "C"

static_assert(sizeof(cef_string_t) == 24, "cef_string_t");
static_assert(sizeof(cef_base_t) == 32, "cef_base_t");
static_assert(offsetof(cef_settings_t, browser_subprocess_path) == 16, "settings: subprocess path");
static_assert(offsetof(cef_settings_t, log_severity) == 184, "settings: log severity");
static_assert(offsetof(cef_settings_t, resources_dir_path) == 216, "settings: resources");
static_assert(sizeof(cef_settings_t) == 288, "cef_settings_t");
static_assert(offsetof(cef_browser_settings_t, plugins) == 232, "browser settings: plugins");
static_assert(sizeof(cef_browser_settings_t) == 288, "cef_browser_settings_t");
static_assert(offsetof(cef_window_info_t, parent_window) == 56, "window info: parent");
static_assert(sizeof(cef_window_info_t) == 88, "cef_window_info_t");
static_assert(offsetof(cef_request_handler_t, on_plugin_crashed) == 32 + 9 * 8, "request handler");
static_assert(offsetof(cef_client_t, get_request_handler) == 32 + 12 * 8, "client");
static_assert(offsetof(cef_life_span_handler_t, on_before_close) == 32 + 4 * 8, "life span");
