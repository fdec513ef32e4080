// pagerunner: plays a browser's part towards the plug-in module, for people writing pages
// and for tests. It loads the module like a browser of the chosen family, gives every
// application/x-kvla embed or object of a local page an instance and a window, streams local
// link files into it, tears it all down again, and prints each call with its arguments and
// result on one flushed line. At the end it checks the process heap and that every plug-in
// window got its own procedure back. This file keeps the run's steps: the page read, the
// module found and loaded, the page built, played and closed, the checks and the report.
// What a page holds is found in page_source.cpp; how a family finds the module is in
// plugin_discovery.cpp, and how it calls it (its arguments, windows, streams and teardown) in
// its own file, browser_FAMILY.cpp, behind BrowserHabits.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/npapi.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/browser_window.h"
#include "tools/pagerunner/call_log.h"
#include "tools/pagerunner/html_embeds.h"
#include "tools/pagerunner/page_calls.h"
#include "tools/pagerunner/page_source.h"
#include "tools/pagerunner/page_window.h"
#include "tools/pagerunner/pagerunner_options.h"
#include "tools/pagerunner/plugin_discovery.h"
#include "tools/pagerunner/run_report.h"

namespace {

typedef NPError(NP_OSCALL* GetEntryPointsFunc)(NPPluginFuncs*);
typedef NPError(NP_OSCALL* InitializeFunc)(NPNetscapeFuncs*);
typedef NPError(NP_OSCALL* ShutdownFunc)();

const int MARGIN = 8;

template <typename F>
F asFunction(FARPROC p) {
  F f;
  static_assert(sizeof f == sizeof p, "function pointers of one size");
  memcpy(&f, &p, sizeof f);
  return f;
}

const BrowserFamilyRules* rules = &GECKO_RULES;  // the family being played

// Looks an entry point up as the browser family does; `used` gets the name that was found.
FARPROC lookUp(HMODULE module, const EntryPointLookup& lookup, const char** used) {
  const char* names[] = {lookup.first, lookup.second};
  for (const char* name : names) {
    FARPROC p = name ? GetProcAddress(module, name) : nullptr;
    if (p) {
      *used = name;
      return p;
    }
  }
  return nullptr;
}

std::string fullPath(const std::string& path) {
  char buf[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : path;
}

// ---- The objects of the page ------------------------------------------------------------

// argn/argv as the family builds them, and the object's place on the page.
void prepareObject(PageObject* o, int number, FoundObject found, int y) {
  o->number = number;
  o->args = rules->habits->newArguments(found.object);
  o->embed = std::move(found.object.element);
  o->pagePath = std::move(found.pagePath);
  o->fullPage = found.fullPage;
  o->hidden = found.object.hidden;
  o->npp.ndata = o;
  for (NewArgument& a : o->args) {
    o->argn.push_back(&a.name[0]);
    o->argv.push_back(a.nullValue ? nullptr : &a.value[0]);
  }
  o->argn.push_back(nullptr);
  o->argv.push_back(nullptr);
  o->x = MARGIN;
  o->y = y;
  o->width = pixelSizeAttribute(o->embed, "width", DEFAULT_WIDTH);
  o->height = pixelSizeAttribute(o->embed, "height", DEFAULT_HEIGHT);
}

// One object created as the family does, and repainted.
void createObject(Page& page, PageObject* o) {
  if (o->hidden && rules->habits->hiddenObjectsSkipped()) {
    say("[%d] under display:none: no instance", o->number);
    return;
  }
  if (!rules->habits->create(page, o)) return;
  o->created = true;

  // Show and repaint the plug-in window so that WM_PAINT flows through its procedure.
  say("[%d] repainting window %s", o->number, hwndText(o->window).c_str());
  ShowWindow(o->window, SW_SHOWNA);
  RedrawWindow(o->window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  UpdateWindow(o->window);
}

// A created object's link file streamed, when its source names one.
void streamObject(Page& page, PageObject* o) {
  if (!o->created) return;
  const std::string* src = findAttribute(o->embed, o->embed.name == "object" ? "data" : "src");
  std::string path;
  if (src && !src->empty()) {
    if (localFileForSrc(o->pagePath, *src, &path))
      page.streamLinkFile(o, path);
    else
      say("[%d] src %s names no local file; nothing streamed", o->number, quotedText(*src).c_str());
  }
  pumpMessages(0);
}

// After NP_Shutdown every plug-in window must have its class's procedure again: one left to
// the module would run unmapped code once it is unloaded.
void checkWindowProcedure(const PageObject& o) {
  if (!o.window) return;
  LONG_PTR own = pageObjectProcedure(o.window);
  LONG_PTR now = windowProcOf(o.window);
  if (now == own) return;
  say("[%d] window %s keeps procedure %s, not the page's own", o.number, hwndText(o.window).c_str(),
      hex(static_cast<uintptr_t>(now)).c_str());
  noteOutcome(EXIT_CALL_FAILED);
}

// Posts WM_CLOSE to the windows of class `className` (top-level and message-only) and
// waits up to 5 seconds for their programs to exit.
void closeWindowsOfClass(const std::string& className) {
  std::vector<HANDLE> processes;
  int count = 0;
  HWND parents[] = {nullptr, HWND_MESSAGE};
  for (HWND parent : parents) {
    for (HWND w = FindWindowExA(parent, nullptr, className.c_str(), nullptr); w;
         w = FindWindowExA(parent, w, className.c_str(), nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      HANDLE p = pid != GetCurrentProcessId() ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
      if (p) processes.push_back(p);
      PostMessageA(w, WM_CLOSE, 0, 0);
      ++count;
    }
  }
  say("closing %d window(s) of class %s", count, quotedText(className).c_str());
  DWORD start = GetTickCount();
  for (HANDLE p : processes) {
    DWORD elapsed = GetTickCount() - start;
    DWORD rc = WaitForSingleObject(p, elapsed < 5000 ? 5000 - elapsed : 0);
    if (rc != WAIT_OBJECT_0) say("a program of class %s did not exit within 5 s", className.c_str());
    CloseHandle(p);
  }
}

// ---- Finding the plug-in ------------------------------------------------------------------

int which(const PageRunnerOptions& opt) {
  PluginDiscovery found = discoverPlugins(opt.whichType, *rules);
  reportDiscovery(found, opt.whichType, *rules);
  return found.picked >= 0 ? EXIT_ALL_OK : EXIT_NO_PLUGIN;
}

// ---- Playing the page, step by step ---------------------------------------------------------

// The module as loaded: its entry points, under the names the family found them by.
struct LoadedModule {
  HMODULE module = nullptr;
  const char* names[ENTRY_POINT_COUNT] = {};
  GetEntryPointsFunc getEntryPoints = nullptr;
  InitializeFunc initialize = nullptr;
  ShutdownFunc shutdown = nullptr;  // null when the family lets it be missing
  union {
    NPPluginFuncs funcs;
    void* entries[40];
  } table = {};  // the family's own table, filled by NP_GetEntryPoints
};

// Reads the page and finds its objects, those of its frames too; false (with `exit` set)
// when there is nothing to play.
bool readPage(const std::string& pagePath, std::vector<FoundObject>* embeds, int* exit) {
  std::vector<std::string> notes;
  if (!findPageObjects(pagePath, embeds, &notes)) {
    complain("load error: cannot read page " + pagePath);
    *exit = EXIT_LOAD_ERROR;
    return false;
  }
  for (const std::string& note : notes) say("%s", note.c_str());
  *exit = EXIT_ALL_OK;
  if (embeds->empty()) return false;  // a browser would not load the module at all
  for (size_t i = 0; i < embeds->size(); ++i) {
    if ((*embeds)[i].object.element.attributes.size() + (*embeds)[i].object.params.size() > 32000) {
      complain("load error: object #" + std::to_string(i + 1) + " has too many attributes");
      *exit = EXIT_LOAD_ERROR;
      return false;
    }
  }
  return true;
}

// The module's path: as given, or found as the family finds it (--discover).
bool findModule(const PageRunnerOptions& opt, size_t objectCount, std::string* modulePath) {
  if (!opt.discover) {
    *modulePath = fullPath(opt.modulePath);
    return true;
  }
  PluginDiscovery found = discoverPlugins(mimeType, *rules);
  reportDiscovery(found, mimeType, *rules);
  if (found.picked < 0) {
    for (size_t i = 0; i < objectCount; ++i)
      say("[%u] no plug-in for %s: the object is shown as missing", static_cast<unsigned>(i + 1),
          mimeType);
    return false;
  }
  *modulePath = found.candidates[found.picked].path;
  return true;
}

// LoadLibraryA and the entry points the family looks up.
bool loadModule(const PageRunnerOptions& opt, const std::string& modulePath, LoadedModule* m) {
  m->module = LoadLibraryA(modulePath.c_str());
  DWORD loadError = GetLastError();
  say("LoadLibraryA(%s) = %s", quotedText(modulePath).c_str(),
      m->module ? hex(reinterpret_cast<uintptr_t>(m->module)).c_str() : "NULL");
  if (!m->module) {
    complain("load error: the module did not load (" + systemErrorText(loadError) + ")");
    return false;
  }
  FARPROC procs[ENTRY_POINT_COUNT] = {};
  for (int i = 0; i < ENTRY_POINT_COUNT; ++i) {
    procs[i] = lookUp(m->module, rules->lookups[i], &m->names[i]);
    if (!procs[i] && entryPointRequired(*rules, i)) {
      complain("load error: the module does not export " + lookupText(rules->lookups[i]) +
               ", which " + browserFamilyName(opt.browser) + " browsers look up");
      FreeLibrary(m->module);
      return false;
    }
  }
  m->getEntryPoints = asFunction<GetEntryPointsFunc>(procs[0]);
  m->initialize = asFunction<InitializeFunc>(procs[1]);
  m->shutdown = procs[2] ? asFunction<ShutdownFunc>(procs[2]) : nullptr;
  return true;
}

// NP_GetEntryPoints with the family's table, zeroed, of its size and version.
bool getEntryPoints(const PageRunnerOptions& opt, LoadedModule* m) {
  BrowserFamilyRules played = *rules;
  if (opt.firefox36Table) {
    played.tableEntries = 14;
    played.tableVersion = 0;
  }
  uint16_t size = opt.sizeZeroTable ? 0 : tableSize(played, sizeof(void*));
  NPPluginFuncs& funcs = m->table.funcs;
  funcs.size = size;
  funcs.version = played.tableVersion;
  NPError rc = m->getEntryPoints(&funcs);
  std::string entries;
  const struct {
    const char* name;
    bool present;
  } table[] = {{"newp", funcs.newp != nullptr},
               {"destroy", funcs.destroy != nullptr},
               {"setwindow", funcs.setwindow != nullptr},
               {"newstream", funcs.newstream != nullptr},
               {"destroystream", funcs.destroystream != nullptr},
               {"asfile", funcs.asfile != nullptr},
               {"writeready", funcs.writeready != nullptr},
               {"write", funcs.write != nullptr},
               {"print", funcs.print != nullptr},
               {"event", funcs.event != nullptr}};
  for (const auto& e : table) entries += std::string(" ") + e.name + (e.present ? "" : "=null");
  say("NP_GetEntryPoints({size=%u, version=%u}) = %s; size=%u version=%u entries:%s", size,
      played.tableVersion, npErrorText(rc).c_str(), funcs.size, funcs.version, entries.c_str());
  // Browsers refuse a plug-in whose NP_GetEntryPoints or initialization fails, and unload it.
  if (rc != NPERR_NO_ERROR) {
    complain("load error: NP_GetEntryPoints failed; the plug-in is not used");
    FreeLibrary(m->module);
    return false;
  }
  if (!funcs.newp || !funcs.destroy) {
    complain("load error: the module's table lacks NPP_New or NPP_Destroy");
    FreeLibrary(m->module);
    return false;
  }
  return true;
}

// NP_Initialize (or the older name) with the browser's table: the module keeps its address
// and calls none of its entries. A family that watches its calls hooks WH_MSGFILTER first.
bool initialize(LoadedModule* m, CallWatch* watch) {
  static union {
    NPNetscapeFuncs funcs;
    void* entries[64];
  } browser = {};
  NPNetscapeFuncs& browserFuncs = browser.funcs;
  browserFuncs.size = browserTableSize(*rules, sizeof(void*));
  browserFuncs.version = rules->browserTableEntries > 0 ? rules->browserTableVersion : 6;
  if (watch && watch->wantsMessageFilterHook()) installMessageFilterHook(watch);
  WatchedCall watched(watch, m->names[1], 0);
  NPError rc = m->initialize(&browserFuncs);
  watched.end();
  say("%s({size=%u, version=%u}) = %s", m->names[1], browserFuncs.size, browserFuncs.version,
      npErrorText(rc).c_str());
  if (rc == NPERR_NO_ERROR) return true;
  complain(std::string("load error: ") + m->names[1] + " failed; the plug-in is not used");
  BOOL freed = FreeLibrary(m->module);
  say("FreeLibrary(%s) = %s", hex(reinterpret_cast<uintptr_t>(m->module)).c_str(),
      freed ? "TRUE" : "FALSE");
  return false;
}

// The page: one window, one hidden child per object, stacked top to bottom (a family that
// lends them first on the desktop makes them there). False when the windows cannot be made;
// `pageWindow` gets whatever was made.
bool buildPage(const PageRunnerOptions& opt, std::vector<FoundObject>* embeds,
               std::vector<PageObject>* objects, HWND* pageWindowOut) {
  int y = MARGIN, pageWidth = 2 * MARGIN + DEFAULT_WIDTH;
  for (size_t i = 0; i < embeds->size(); ++i) {
    PageObject& o = (*objects)[i];
    prepareObject(&o, static_cast<int>(i + 1), std::move((*embeds)[i]), y);
    y += o.height + MARGIN;
    if (2 * MARGIN + o.width > pageWidth) pageWidth = 2 * MARGIN + o.width;
  }
  HWND& pageWindow = *pageWindowOut;
  if (registerClasses()) {
    std::wstring title = L"pagerunner";
    RECT r = {0, 0, pageWidth, y};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    pageWindow = CreateWindowExW(0, PAGE_CLASS, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                 40, 40, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  }
  bool onDesktop = rules->habits->windowsStartOnDesktop();
  for (PageObject& o : *objects) {
    if (!pageWindow) break;
    o.page = pageWindow;
    // Browsers' plug-in windows clip the windows a plug-in or its client puts in them.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    HINSTANCE self = GetModuleHandleW(nullptr);
    HWND parent = onDesktop ? GetDesktopWindow() : pageWindow;
    int x = onDesktop ? 0 : o.x, y = onDesktop ? 0 : o.y;
    int width = onDesktop ? 300 : o.width, height = onDesktop ? 150 : o.height;
    o.window = opt.ansiWindows
                   ? CreateWindowExA(0, OBJECT_CLASS_A, "", style, x, y, width, height, parent,
                                     nullptr, self, nullptr)
                   : CreateWindowExW(0, OBJECT_CLASS_W, L"", style, x, y, width, height, parent,
                                     nullptr, self, nullptr);
    if (!o.window) break;
    SetWindowLongPtrW(o.window, GWLP_USERDATA, o.number);
  }
  if (!pageWindow || !objects->back().window) {
    complain("load error: cannot create the page's windows (" + systemErrorText(GetLastError()) + ")");
    noteOutcome(EXIT_LOAD_ERROR);
    return false;
  }
  ShowWindow(pageWindow, SW_SHOWNOACTIVATE);
  UpdateWindow(pageWindow);
  pumpMessages(0);
  return true;
}

// Every object in document order (a family may create the <object>s first), each streamed
// right after it was created or, where the family does so, once all exist (an object without
// a type at once all the same); then the page kept open for --keep-open.
void playPage(const PageRunnerOptions& opt, Page& page, std::vector<PageObject>* objects) {
  bool streamsLast = rules->habits->streamsAfterEveryObject();
  std::vector<PageObject*> order;
  for (int pass = 0; pass < 2; ++pass)
    for (PageObject& o : *objects)
      if (!rules->habits->objectElementsFirst() ? pass == 0 : (o.embed.name == "object") == (pass == 0))
        order.push_back(&o);
  for (PageObject* o : order) {
    createObject(page, o);
    if (!streamsLast || !findAttribute(o->embed, "type")) streamObject(page, o);
  }
  if (streamsLast)
    for (PageObject* o : order)
      if (findAttribute(o->embed, "type")) streamObject(page, o);
  if (opt.keepOpenMs > 0) {
    say("keeping the page open for %u ms", opt.keepOpenMs);
    pumpMessages(opt.keepOpenMs);
  }
}

// Each object torn down as the family does, the browser's procedure taken off its window,
// then NP_Shutdown.
void closePage(Page& page, std::vector<PageObject>* objects, const LoadedModule& m,
               CallWatch* watch) {
  for (PageObject& o : *objects) {
    if (o.newCalled) rules->habits->tearDown(page, &o, o.created);
    if (o.window) page.unsubclassWindow(&o);
  }
  pumpMessages(0);
  if (m.shutdown) {
    WatchedCall watched(watch, m.names[2], 0);
    NPError rc = m.shutdown();
    watched.end();
    say("%s() = %s", m.names[2], npErrorText(rc).c_str());
    if (rc != NPERR_NO_ERROR) noteOutcome(EXIT_CALL_FAILED);
  }
}

// The checks after NP_Shutdown, the windows destroyed, the module unloaded, the heap checked.
void checkAndUnload(std::vector<PageObject>* objects, HWND pageWindow, const LoadedModule& m,
                    CallWatch* watch) {
  removeMessageFilterHook();
  // Checked once the module has shut down, with the windows still alive, the hardest case: a
  // plug-in may stay in a window's chain under the browser's procedure until then.
  for (PageObject& o : *objects) checkWindowProcedure(o);
  for (PageObject& o : *objects)
    if (o.window) DestroyWindow(o.window);
  if (pageWindow) DestroyWindow(pageWindow);
  pumpMessages(0);
  BOOL freed = FreeLibrary(m.module);
  say("FreeLibrary(%s) = %s", hex(reinterpret_cast<uintptr_t>(m.module)).c_str(),
      freed ? "TRUE" : "FALSE");
  bool heapValid = HeapValidate(GetProcessHeap(), 0, nullptr) != 0;
  say("process heap %s", heapValid ? "valid" : "CORRUPTED");
  if (!heapValid) noteOutcome(EXIT_CALL_FAILED);
  if (watch) say("%s", watch->summary().c_str());
}

int run(const PageRunnerOptions& opt) {
  std::string pagePath = fullPath(opt.pagePath);
  std::vector<FoundObject> embeds;
  int exit = EXIT_ALL_OK;
  if (!readPage(pagePath, &embeds, &exit)) return exit;
  std::string modulePath;
  if (!findModule(opt, embeds.size(), &modulePath)) return EXIT_NO_PLUGIN;
  LoadedModule m;
  CallWatch* watch = rules->habits->callWatch(opt);
  if (!loadModule(opt, modulePath, &m) || !getEntryPoints(opt, &m) || !initialize(&m, watch)) {
    removeMessageFilterHook();
    return EXIT_LOAD_ERROR;
  }

  std::vector<PageObject> objects(embeds.size());  // never resized: NPP addresses stay put
  Page page(opt, m.table.funcs, *rules->habits, watch);
  HWND pageWindow = nullptr;
  if (buildPage(opt, &embeds, &objects, &pageWindow)) playPage(opt, page, &objects);
  closePage(page, &objects, m, watch);
  checkAndUnload(&objects, pageWindow, m, watch);
  return runExitCode();
}

// A fault in the module ends the run as a browser's plug-in process ends: at once, with one
// line saying what happened, instead of waiting in a debugger.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* e) {
  const EXCEPTION_RECORD* r = e->ExceptionRecord;
  std::string detail;
  if (r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2)
    detail = std::string(r->ExceptionInformation[0] == 1 ? ", writing " : ", reading ") +
             hex(static_cast<uintptr_t>(r->ExceptionInformation[1]));
  say("the plug-in crashed: exception %s at %s%s", hex(r->ExceptionCode).c_str(),
      hex(reinterpret_cast<uintptr_t>(r->ExceptionAddress)).c_str(), detail.c_str());
  say("pagerunner: exit code %d (the plug-in crashed)", EXIT_CALL_FAILED);
  ExitProcess(EXIT_CALL_FAILED);
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(reportCrash);
  std::vector<std::string> args(argv + 1, argv + argc);
  PageRunnerOptions opt;
  std::string error;
  if (!parsePageRunnerOptions(args, &opt, &error)) {
    complain("usage error: " + error);
    fputs(pageRunnerUsage(), stderr);
    return EXIT_LOAD_ERROR;
  }
  if (opt.help) {
    fputs(pageRunnerUsage(), stdout);
    return EXIT_ALL_OK;
  }
  rules = &browserRules(opt.browser, opt.inProcess);
  if (!opt.whichType.empty()) return which(opt);
  int code = run(opt);
  if (!opt.closeWindowClass.empty()) closeWindowsOfClass(opt.closeWindowClass);
  say("pagerunner: exit code %d (%s)", code,
      code == EXIT_ALL_OK        ? "all calls succeeded"
      : code == EXIT_CALL_FAILED ? "some NPAPI call failed"
      : code == EXIT_NO_PLUGIN   ? "no plug-in handles the page's objects"
                                 : "usage or load error");
  return code;
}
