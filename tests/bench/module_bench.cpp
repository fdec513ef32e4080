// What the module adds to the cost of what it does, under Wine, beside a running stand-in
// client: loading it as a browser does against loading a DLL whose entry routine only makes
// the same window lookup (LOADFLOOR.DLL); and instance creation and destruction,
// NPP_SetWindow and 32 KB link-file chunks against the same FindWindowA and WM_COPYDATA calls
// made directly to the same client. Run with `make bench`.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/link_records.h"
#include "plugin/npapi.h"
#include "wine_test_support.h"

namespace {

const int ROUNDS = 31;            // rounds per measure
const int ITERATIONS = 200;       // operations of each side per round
const int LOAD_ITERATIONS = 50;   // loads of each side per round: each costs far more
const int CHUNK = 32768;

typedef NPError(NP_OSCALL* GetEntryPointsProc)(NPPluginFuncs*);
typedef NPError(NP_OSCALL* PluginInitProc)(NPNetscapeFuncs*);
typedef NPError(NP_OSCALL* PluginShutdownProc)();

template <typename Proc>
Proc exported(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

double nowSeconds() {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Body>
double timeOne(Body& body) {
  double start = nowSeconds();
  body();
  return nowSeconds() - start;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median seconds per operation of each side. A round runs `iterations` operations of
// each side, alternating one by one (and which side goes first), and takes each side's median
// operation, so that a moment the machine is busy elsewhere falls on both sides alike and
// preempted operations do not count; the result is each side's median over the rounds.
struct Pair {
  double module;
  double direct;
};
template <typename Module, typename Direct>
Pair medianOfEach(int iterations, Module module, Direct direct) {
  std::vector<double> moduleRounds, directRounds;
  std::vector<double> m(iterations), d(iterations);
  for (int r = 0; r < ROUNDS; ++r) {
    for (int i = 0; i < iterations; ++i) {
      if ((r + i) % 2 == 0) {
        m[i] = timeOne(module);
        d[i] = timeOne(direct);
      } else {
        d[i] = timeOne(direct);
        m[i] = timeOne(module);
      }
    }
    moduleRounds.push_back(median(m));
    directRounds.push_back(median(d));
  }
  return {median(moduleRounds), median(directRounds)};
}

LRESULT sendRaw(HWND window, uint32_t code, const void* data, DWORD length, ULONG_PTR id) {
  COPYDATASTRUCT cds = {id, length, length ? const_cast<void*>(data) : nullptr};
  return SendMessageA(window, WM_COPYDATA, code, reinterpret_cast<LPARAM>(&cds));
}

void report(const char* what, const char* against, const Pair& p) {
  std::printf("%-28s module %8.1f us   %-6s %8.1f us   ratio %.3f\n", what, p.module * 1e6,
              against, p.direct * 1e6, p.module / p.direct);
}

int fail(LinkmonProcess* client, const char* what) {
  std::fprintf(stderr, "%s (%lu)\n", what, GetLastError());
  stopLinkmon(client);
  return 1;
}

}  // namespace

int main() {
  LinkmonProcess client = startLinkmon("--quiet --lifetime 1200000");
  HWND linkWindow = waitForLinkmonWindow(client, 10000);
  if (!linkWindow) return fail(&client, "linkmon did not start");
  std::string modulePath = programBesideTest("ZUROV.DLL");
  std::string floorPath = programBesideTest("LOADFLOOR.DLL");
  NPNetscapeFuncs browser = {sizeof browser, 0x0006};

  // Loading, first: while the module is held loaded, LoadLibrary would only count references.
  // The module side is what a browser does: load, the three NP_ calls (NP_PluginInit looks
  // the client up), unload.
  bool loadsFailed = false;
  auto loadModule = [&] {
    HMODULE m = LoadLibraryA(modulePath.c_str());
    auto getEntryPoints = exported<GetEntryPointsProc>(m, "NP_GetEntryPoints");
    auto pluginInit = exported<PluginInitProc>(m, "NP_PluginInit");
    auto pluginShutdown = exported<PluginShutdownProc>(m, "NP_PluginShutdown");
    if (!getEntryPoints || !pluginInit || !pluginShutdown) {
      loadsFailed = true;
    } else {
      NPPluginFuncs table = {};
      table.size = sizeof table;
      if (getEntryPoints(&table) != NPERR_NO_ERROR || pluginInit(&browser) != NPERR_NO_ERROR)
        loadsFailed = true;
      pluginShutdown();
    }
    if (m) FreeLibrary(m);
  };
  auto loadFloor = [&] {
    HMODULE m = LoadLibraryA(floorPath.c_str());
    if (!m) loadsFailed = true;
    else FreeLibrary(m);
  };
  Pair load = medianOfEach(LOAD_ITERATIONS, loadModule, loadFloor);
  if (loadsFailed) return fail(&client, "a load or an NP_ call failed");
  if (GetModuleHandleA(modulePath.c_str())) return fail(&client, "ZUROV.DLL stayed loaded");

  HMODULE module = LoadLibraryA(modulePath.c_str());
  if (!module) return fail(&client, "ZUROV.DLL did not load");
  NPPluginFuncs np = {};
  np.size = sizeof np;
  exported<GetEntryPointsProc>(module, "NP_GetEntryPoints")(&np);
  exported<PluginInitProc>(module, "NP_PluginInit")(&browser);

  const char* names[] = {"Server", "Name", "PlayNow"};
  const char* values[] = {"mediahost", "news", "yes"};
  char* argn[3];
  char* argv[3];
  for (int i = 0; i < 3; ++i) {
    argn[i] = const_cast<char*>(names[i]);
    argv[i] = const_cast<char*>(values[i]);
  }
  char mime[] = "application/x-kvla";

  // Instance creation and destruction: each looks the link window up, then LINKMSG_NEW
  // (238 bytes) and LINKMSG_DESTROY.
  NPP_t instance = {};
  LinkRecord record = {};
  Pair creation = medianOfEach(
      ITERATIONS,
      [&] {
        np.newp(mime, &instance, NP_EMBED, 3, argn, argv, nullptr);
        np.destroy(&instance, nullptr);
      },
      [&] {
        FindWindowA("KelvoraLink", nullptr);
        LRESULT reply = sendRaw(linkWindow, LINKMSG_NEW, &record, sizeof record, 0);
        FindWindowA("KelvoraLink", nullptr);
        sendRaw(linkWindow, LINKMSG_DESTROY, nullptr, 0, static_cast<uint32_t>(reply) >> 16);
      });

  np.newp(mime, &instance, NP_EMBED, 3, argn, argv, nullptr);

  // The same plug-in window again (subclassed by the first call): a lookup and
  // LINKMSG_SET_WINDOW (20 bytes).
  HWND pluginWindow = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                    nullptr, nullptr);
  NPWindow window = {};
  window.window = pluginWindow;
  np.setwindow(&instance, &window);
  WindowRecord windowRecord = {};
  windowRecord.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pluginWindow));
  Pair setWindow = medianOfEach(
      ITERATIONS, [&] { np.setwindow(&instance, &window); },
      [&] {
        FindWindowA("KelvoraLink", nullptr);
        sendRaw(linkWindow, LINKMSG_SET_WINDOW, &windowRecord, sizeof windowRecord, 1);
      });

  // A 32 KB link-file chunk: LINKMSG_STREAM_INFO (238 bytes) and LINKMSG_STREAM_DATA.
  std::vector<unsigned char> chunk(CHUNK, 0);
  const unsigned char header[] = {'K', 0, 0, 0, 192, 168, 1, 2, 0x06, 0x16, 0, 0, 0, 7, 0, 0};
  memcpy(chunk.data(), header, sizeof header);
  Pair write = medianOfEach(
      ITERATIONS,
      [&] {
        chunk[14] = 0;  // the module swaps the option word in place; start each chunk alike
        chunk[15] = 0;
        np.write(&instance, nullptr, 0, CHUNK, chunk.data());
      },
      [&] {
        chunk[14] = 0;
        chunk[15] = 0;
        sendRaw(linkWindow, LINKMSG_STREAM_INFO, &record, sizeof record, 1);
        sendRaw(linkWindow, LINKMSG_STREAM_DATA, chunk.data(), CHUNK, 1);
      });
  np.destroy(&instance, nullptr);
  DestroyWindow(pluginWindow);

  std::printf("medians of %d alternating rounds, per operation:\n", ROUNDS);
  report("load + NP_ calls + unload", "floor", load);
  report("NPP_New + NPP_Destroy", "direct", creation);
  report("NPP_SetWindow", "direct", setWindow);
  report("NPP_Write of a 32 KB chunk", "direct", write);

  exported<PluginShutdownProc>(module, "NP_PluginShutdown")();
  FreeLibrary(module);
  stopLinkmon(&client);
  return 0;
}
