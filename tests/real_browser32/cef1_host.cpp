// cef1host: a real 32-bit browser for make test32 and make demo32. It opens one page by
// file URL in a window of the embedded engine of Chromium 21 (libcef.dll 1.1180, i686),
// which runs NPAPI plug-ins in this very process, on this thread: a fault in a plug-in ends
// the host. The page stays open until the window gets WM_CLOSE (the test posts it once the
// page has done what it waits for) or --seconds pass; then the browser's window is
// destroyed (each instance: NPP_SetWindow(NULL), NPP_Destroy) and the engine shut down
// (NP_Shutdown, the unload). One line per event:
//   plugin: NAME | PATH | VERSION   the engine's plug-in list
//   plugin-load: PATH               a listed plug-in is mapped into this process (from where)
//   plugin-unload: PATH             it is gone again after the engine shut down
//   crashed: exception CODE at ADDRESS
//   browser: opening / closing / closed / engine shut down
// Usage: cef1host [--seconds=N] [--screenshot=FILE.bmp] PAGE; ZUROV_CEF_DIR names the
// engine's folder. --screenshot keeps what the screen shows of the window as it closes.
// Exit code: 0, 3 when the process faulted, 2 on a set-up failure.
#include "cef1_capi.h"
#include "tests/real_browser/browser_host_text.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* const FRAME_CLASS = L"Cef1HostFrame";
const UINT_PTR POLL_TIMER = 1, LIMIT_TIMER = 2;
const UINT WM_CLOSED = WM_APP + 1;  // the browser's window is gone: end the loop

struct Engine {
  cef_build_revision_fn build_revision;
  cef_initialize_fn initialize;
  cef_void_fn run_message_loop, quit_message_loop, shutdown;
  cef_browser_create_sync_fn create_browser;
  cef_get_web_plugin_count_fn plugin_count;
  cef_get_web_plugin_info_fn plugin_info;
  cef_string_userfree_utf16_free_fn userfree_free;
} engine;

struct Plugin {
  std::wstring path;
  bool loaded = false;
};
std::vector<Plugin> plugins;
HWND frame = nullptr, view = nullptr;  // the host's window, the browser's child in it
std::wstring screenshot;              // where to keep the window's picture, or empty

void say(const std::string& line) {
  fputs((line + "\n").c_str(), stdout);
  fflush(stdout);
}

std::string text(const cef_string_t* s) { return s && s->str ? utf8(s->str, s->length) : std::string(); }
// Takes and frees a string the engine handed over.
std::string take(cef_string_userfree_t s) {
  std::string out = text(s);
  if (s && engine.userfree_free) engine.userfree_free(s);
  return out;
}

// A plug-in fault ends the host at once, with one line, instead of in a debugger.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* e) {
  char line[96];
  snprintf(line, sizeof line, "crashed: exception 0x%08lX at %p", e->ExceptionRecord->ExceptionCode,
           e->ExceptionRecord->ExceptionAddress);
  say(line);
  ExitProcess(3);
}

// Every table here is a static object: counting references has nothing to free.
int CEF1_CALLBACK addRef(cef_base_t*) { return 1; }
int CEF1_CALLBACK release(cef_base_t*) { return 1; }
int CEF1_CALLBACK refCount(cef_base_t*) { return 1; }
void* CEF1_CALLBACK noHandler(cef_client_t*) { return nullptr; }

void listPlugins() {
  size_t count = engine.plugin_count();
  for (size_t i = 0; i < count; ++i) {
    cef_web_plugin_info_t* info = engine.plugin_info(static_cast<int>(i));
    if (!info) continue;
    cef_string_userfree_t path = info->get_path(info);
    Plugin p;
    if (path && path->str) p.path.assign(path->str, path->length);
    std::string name = take(info->get_name(info));
    say("plugin: " + name + " | " + take(path) + " | " + take(info->get_version(info)));
    info->base.release(&info->base);
    plugins.push_back(p);
  }
}

// Which listed plug-ins this process has mapped, and from where.
void notePluginLoads(bool afterShutdown) {
  for (Plugin& p : plugins) {
    HMODULE m = GetModuleHandleW(p.path.c_str());
    if (m && !p.loaded) {
      wchar_t file[MAX_PATH];
      DWORD n = GetModuleFileNameW(m, file, MAX_PATH);
      say("plugin-load: " + utf8(file, n < MAX_PATH ? n : 0));
    }
    if (!m && p.loaded && afterShutdown) say("plugin-unload: " + utf8(p.path.c_str(), p.path.size()));
    p.loaded = m != nullptr;
  }
}

// What the screen shows of `window`, as a 24-bit BMP file.
bool saveScreenshot(HWND window, const std::wstring& path) {
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files keep their rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> pixels(stride * static_cast<DWORD>(height));
  bool ok = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = ok ? _wfopen(path.c_str(), L"wb") : nullptr;
  if (!f) return false;
  ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info, sizeof info, 1, f) == 1 &&
       fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  return fclose(f) == 0 && ok;
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (wParam == POLL_TIMER) {
        if (plugins.empty()) listPlugins();  // the engine may read its list late
        notePluginLoads(false);
        return 0;
      }
      say("browser: the time limit is over");
      PostMessageW(hwnd, WM_CLOSE, 0, 0);
      KillTimer(hwnd, LIMIT_TIMER);
      return 0;
    case WM_SIZE:
      if (view) MoveWindow(view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_CLOSE:
      if (!view) return 0;  // closing already
      // Re-entry: the plug-ins' teardown runs inside this DestroyWindow.
      say("browser: closing");
      notePluginLoads(false);
      if (!screenshot.empty())
        say(saveScreenshot(hwnd, screenshot) ? "browser: screenshot kept" : "browser: no screenshot");
      if (view && IsWindow(view)) DestroyWindow(view);
      view = nullptr;
      // Behind whatever work the engine posted meanwhile.
      PostMessageW(hwnd, WM_CLOSED, 0, 0);
      return 0;
    case WM_CLOSED:
      say("browser: closed");
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, POLL_TIMER);
      engine.quit_message_loop();
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

template <typename F>
bool find(HMODULE dll, const char* name, F* fn) {
  *fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  if (!*fn) fprintf(stderr, "cef1host: libcef.dll has no %s\n", name);
  return *fn != nullptr;
}

}  // namespace

int main() {
  SetUnhandledExceptionFilter(reportCrash);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  int seconds = 600;
  const wchar_t* page = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (wcsncmp(argv[i], L"--seconds=", 10) == 0) seconds = _wtoi(argv[i] + 10);
    else if (wcsncmp(argv[i], L"--screenshot=", 13) == 0) screenshot = argv[i] + 13;
    else if (wcsncmp(argv[i], L"--", 2) != 0) page = argv[i];
  }
  std::wstring url = page ? fileUrl(page) : L"";
  if (url.empty() || seconds <= 0) {
    fprintf(stderr, "usage: cef1host [--seconds=N] [--screenshot=FILE.bmp] PAGE\n");
    return 2;
  }
  wchar_t dir[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"ZUROV_CEF_DIR", dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 16) {
    fprintf(stderr, "cef1host: ZUROV_CEF_DIR must name the engine's folder\n");
    return 2;
  }
  // The engine finds chrome.pak and locales\ beside itself, its DLLs through this.
  SetDllDirectoryW(dir);
  HMODULE dll = LoadLibraryW((std::wstring(dir) + L"\\libcef.dll").c_str());
  if (!dll) {
    fprintf(stderr, "cef1host: cannot load libcef.dll from ZUROV_CEF_DIR (error %lu)\n", GetLastError());
    return 2;
  }
  if (!find(dll, "cef_build_revision", &engine.build_revision) ||
      !find(dll, "cef_initialize", &engine.initialize) ||
      !find(dll, "cef_run_message_loop", &engine.run_message_loop) ||
      !find(dll, "cef_quit_message_loop", &engine.quit_message_loop) ||
      !find(dll, "cef_shutdown", &engine.shutdown) ||
      !find(dll, "cef_browser_create_sync", &engine.create_browser) ||
      !find(dll, "cef_get_web_plugin_count", &engine.plugin_count) ||
      !find(dll, "cef_get_web_plugin_info", &engine.plugin_info) ||
      !find(dll, "cef_string_userfree_utf16_free", &engine.userfree_free))
    return 2;
  say("browser: engine revision " + std::to_string(engine.build_revision()));

  union {
    cef_settings_t s;
    unsigned char block[1024];
  } settings = {};
  settings.s.size = sizeof settings.s;
  settings.s.log_severity = CEF1_LOG_SEVERITY_DISABLE;  // no debug.log beside the program
  if (!engine.initialize(&settings.s, nullptr)) {
    fprintf(stderr, "cef1host: the engine did not start\n");
    return 2;
  }
  SetUnhandledExceptionFilter(reportCrash);  // over any the engine installed

  WNDCLASSW wc = {};
  wc.lpfnWndProc = frameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = FRAME_CLASS;
  RegisterClassW(&wc);
  frame = CreateWindowExW(0, FRAME_CLASS, L"ZUROV real browser (32-bit)",
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 1024, 1000,
                          nullptr, nullptr, wc.hInstance, nullptr);
  if (!frame) {
    fprintf(stderr, "cef1host: cannot create the window\n");
    return 2;
  }
  RECT r;
  GetClientRect(frame, &r);
  cef_window_info_t window = {};
  window.m_dwStyle = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  window.m_nWidth = r.right;
  window.m_nHeight = r.bottom;
  window.m_hWndParent = frame;
  static cef_client_t client;
  client.base = cef_base_t{sizeof client, addRef, release, refCount};
  for (auto& getter : client.getters) getter = noHandler;
  cef_browser_settings_t browserSettings = {};
  browserSettings.size = sizeof(size_t);
  cef_string_t urlString = {const_cast<wchar_t*>(url.c_str()), url.size(), nullptr};
  say("browser: opening " + text(&urlString) + " for at most " + std::to_string(seconds) + " s");
  cef_browser_t* browser = engine.create_browser(&window, &client, &urlString, &browserSettings);
  view = window.m_hWnd ? window.m_hWnd : GetWindow(frame, GW_CHILD);
  if (!browser || !view) {
    fprintf(stderr, "cef1host: the browser window was not created\n");
    engine.shutdown();
    return 2;
  }
  listPlugins();
  SetTimer(frame, POLL_TIMER, 100, nullptr);
  SetTimer(frame, LIMIT_TIMER, static_cast<UINT>(seconds) * 1000u, nullptr);
  engine.run_message_loop();
  browser->base.release(&browser->base);
  engine.shutdown();
  say("browser: engine shut down");
  notePluginLoads(true);
  return 0;
}
