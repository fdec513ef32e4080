// cefhost: a real browser for the tests and the demo. It opens one page by file URL in a
// window of the embedded Chromium engine (libcef.dll, branch 2171), lets it run for a given
// time, then closes the window and shuts the engine down. It prints one line per event:
//   plugin: NAME | PATH | VERSION        the engine's plug-in list
//   plugin-load: PATH | URL              a plug-in about to be loaded for an object
//   plugin-crashed: PATH                 the plug-in process died
//   renderer-terminated: STATUS          the page's renderer process died
//   browser: created / closed
// Usage: cefhost [--seconds=N] [engine switches such as --disable-gpu] PAGE
// ZUROV_CEF_DIR names the engine's folder. The engine starts its renderer and plug-in
// processes from this same program (with --type=...), which inherit that variable; the
// engine reads its switches from this program's command line and passes its own on.
// Exit code: 0, 3 when a plug-in or renderer crashed, 2 on a set-up failure.
// The engine needs Windows 7 at least: its calls are there.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include "cef_capi.h"
#include "browser_host_text.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Engine {
  cef_execute_process_fn execute_process;
  cef_initialize_fn initialize;
  cef_void_fn shutdown, run_message_loop, quit_message_loop;
  cef_browser_host_create_browser_fn create_browser;
  cef_post_delayed_task_fn post_delayed_task;
  cef_visit_web_plugin_info_fn visit_web_plugin_info;
  cef_string_userfree_utf16_free_fn userfree_free;
} engine;

cef_browser_t* browser = nullptr;
int crashes = 0;

using ::utf8;  // browser_host_text.h
std::string utf8(const cef_string_t* s) { return s && s->str ? utf8(s->str, s->length) : std::string(); }
// Takes and frees a string the engine handed over.
std::string take(cef_string_userfree_t s) {
  std::string out = utf8(s);
  if (s) engine.userfree_free(s);
  return out;
}

void say(const std::string& line) {
  fputs((line + "\n").c_str(), stdout);
  fflush(stdout);
}

// A string the engine copies; the host keeps `text` alive meanwhile.
cef_string_t borrowed(const std::wstring& text) {
  return cef_string_t{const_cast<wchar_t*>(text.c_str()), text.size(), nullptr};
}

// Every table here is a static object: counting references has nothing to free.
void CEF_CALLBACK addRef(cef_base_t*) {}
int CEF_CALLBACK release(cef_base_t*) { return 0; }
int CEF_CALLBACK hasOneRef(cef_base_t*) { return 1; }
template <typename T>
T table() {
  T t = {};
  t.base = cef_base_t{sizeof(T), addRef, release, hasOneRef};
  return t;
}

int CEF_CALLBACK visitPlugin(cef_web_plugin_info_visitor_t*, cef_web_plugin_info_t* info, int, int) {
  std::string name = take(info->get_name(info)), path = take(info->get_path(info));
  say("plugin: " + name + " | " + path + " | " + take(info->get_version(info)));
  return 1;
}

void CEF_CALLBACK closeBrowser(cef_task_t*) {
  if (!browser) return;
  cef_browser_host_t* host = browser->get_host(browser);
  host->close_browser(host, 1);
}
// A close that never completes must not hold the test: leave the loop anyway.
void CEF_CALLBACK quitLoop(cef_task_t*) {
  say("browser: the window did not close in time");
  engine.quit_message_loop();
}

void CEF_CALLBACK afterCreated(cef_life_span_handler_t*, cef_browser_t* b) {
  browser = b;
  say("browser: created");
}
int CEF_CALLBACK doClose(cef_life_span_handler_t*, cef_browser_t*) { return 0; }
void CEF_CALLBACK beforeClose(cef_life_span_handler_t*, cef_browser_t*) {
  browser = nullptr;
  say("browser: closed");
  engine.quit_message_loop();
}

int CEF_CALLBACK beforePluginLoad(cef_request_handler_t*, cef_browser_t*, const cef_string_t* url,
                                  const cef_string_t*, cef_web_plugin_info_t* info) {
  say("plugin-load: " + (info ? take(info->get_path(info)) : std::string()) + " | " + utf8(url));
  return 0;  // allowed
}
void CEF_CALLBACK pluginCrashed(cef_request_handler_t*, cef_browser_t*, const cef_string_t* path) {
  ++crashes;
  say("plugin-crashed: " + utf8(path));
}
void CEF_CALLBACK rendererTerminated(cef_request_handler_t*, cef_browser_t*, cef_termination_status_t status) {
  ++crashes;
  say("renderer-terminated: " + std::to_string(status));
}

cef_life_span_handler_t lifeSpan;
cef_request_handler_t requests;
cef_life_span_handler_t* CEF_CALLBACK getLifeSpan(cef_client_t*) { return &lifeSpan; }
cef_request_handler_t* CEF_CALLBACK getRequests(cef_client_t*) { return &requests; }

template <typename F>
bool find(HMODULE dll, const char* name, F* fn) {
  *fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  if (!*fn) fprintf(stderr, "cefhost: libcef.dll has no %s\n", name);
  return *fn != nullptr;
}

}  // namespace

int main() {
  wchar_t dir[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"ZUROV_CEF_DIR", dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 16) {
    fprintf(stderr, "cefhost: ZUROV_CEF_DIR must name the engine's folder\n");
    return 2;
  }
  SetDllDirectoryW(dir);  // libcef.dll's own neighbours
  std::wstring engineDir = dir;
  HMODULE dll = LoadLibraryW((engineDir + L"\\libcef.dll").c_str());
  if (!dll) {
    fprintf(stderr, "cefhost: cannot load libcef.dll from ZUROV_CEF_DIR (error %lu)\n", GetLastError());
    return 2;
  }
  if (!find(dll, "cef_execute_process", &engine.execute_process) ||
      !find(dll, "cef_initialize", &engine.initialize) || !find(dll, "cef_shutdown", &engine.shutdown) ||
      !find(dll, "cef_run_message_loop", &engine.run_message_loop) ||
      !find(dll, "cef_quit_message_loop", &engine.quit_message_loop) ||
      !find(dll, "cef_browser_host_create_browser", &engine.create_browser) ||
      !find(dll, "cef_post_delayed_task", &engine.post_delayed_task) ||
      !find(dll, "cef_visit_web_plugin_info", &engine.visit_web_plugin_info) ||
      !find(dll, "cef_string_userfree_utf16_free", &engine.userfree_free))
    return 2;

  cef_main_args_t args = {GetModuleHandleW(nullptr)};
  // A renderer, plug-in or other helper process started by the engine runs here and ends.
  int code = engine.execute_process(&args, nullptr, nullptr);
  if (code >= 0) return code;

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  int seconds = 10;
  const wchar_t* page = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (wcsncmp(argv[i], L"--seconds=", 10) == 0) seconds = _wtoi(argv[i] + 10);
    else if (wcsncmp(argv[i], L"--", 2) != 0) page = argv[i];
  }
  std::wstring url = page ? fileUrl(page) : L"";
  if (url.empty() || seconds <= 0) {
    fprintf(stderr, "usage: cefhost [--seconds=N] [engine switches] PAGE\n");
    return 2;
  }

  std::wstring locales = engineDir + L"\\locales";
  cef_settings_t settings = {};
  settings.size = sizeof settings;
  settings.no_sandbox = 1;  // Wine has none of the sandbox's job and token calls
  settings.log_severity = LOGSEVERITY_DISABLE;  // no debug.log beside the program
  settings.resources_dir_path = borrowed(engineDir);
  settings.locales_dir_path = borrowed(locales);
  if (!engine.initialize(&args, &settings, nullptr, nullptr)) {
    fprintf(stderr, "cefhost: the engine did not start\n");
    return 2;
  }
  static cef_web_plugin_info_visitor_t visitor = table<cef_web_plugin_info_visitor_t>();
  visitor.visit = visitPlugin;
  engine.visit_web_plugin_info(&visitor);

  lifeSpan = table<cef_life_span_handler_t>();
  lifeSpan.on_after_created = afterCreated;
  lifeSpan.do_close = doClose;
  lifeSpan.on_before_close = beforeClose;
  requests = table<cef_request_handler_t>();
  requests.on_before_plugin_load = beforePluginLoad;
  requests.on_plugin_crashed = pluginCrashed;
  requests.on_render_process_terminated = rendererTerminated;
  static cef_client_t client = table<cef_client_t>();
  client.get_life_span_handler = getLifeSpan;
  client.get_request_handler = getRequests;

  std::wstring title = L"ZUROV real browser";
  cef_window_info_t window = {};
  window.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  window.window_name = borrowed(title);
  window.x = window.y = 0;
  window.width = 1024;
  window.height = 1000;
  cef_browser_settings_t browserSettings = {};
  browserSettings.size = sizeof browserSettings;
  cef_string_t urlString = borrowed(url);
  say("browser: opening " + utf8(&urlString) + " for " + std::to_string(seconds) + " s");
  if (!engine.create_browser(&window, &client, &urlString, &browserSettings, nullptr)) {
    fprintf(stderr, "cefhost: the browser window was not created\n");
    engine.shutdown();
    return 2;
  }
  static cef_task_t closeTask = table<cef_task_t>(), quitTask = table<cef_task_t>();
  closeTask.execute = closeBrowser;
  quitTask.execute = quitLoop;
  engine.post_delayed_task(TID_UI, &closeTask, seconds * 1000LL);
  engine.post_delayed_task(TID_UI, &quitTask, seconds * 1000LL + 15000);
  engine.run_message_loop();
  engine.shutdown();
  say("browser: engine shut down");
  return crashes ? 3 : 0;
}
