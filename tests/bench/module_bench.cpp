// What the module adds to the cost of what it does, under Wine, beside a running stand-in
// client: loading it as a browser does against loading a DLL whose entry routine only makes
// the same window lookup (LOADFLOOR.DLL); and instance creation and destruction,
// NPP_SetWindow and 32 KB link-file chunks against the same FindWindowA and WM_COPYDATA calls
// made directly to the same client. Then, with no client running, what NPP_New's launch wait
// costs: the browser thread's CPU time while a client takes 3 s to show its window, and the
// time to NPP_New's return when the client needs 1 s of CPU first and shares one CPU with the
// browser, each beside a wait that polls without pausing. Run with `make bench`.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/link_channel.h"
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

// A link message sent directly, bounded as the module bounds its own.
LRESULT sendRaw(HWND window, uint32_t code, const void* data, DWORD length, ULONG_PTR id) {
  COPYDATASTRUCT cds = {id, length, length ? const_cast<void*>(data) : nullptr};
  DWORD_PTR reply = 0;
  SendMessageTimeoutA(window, WM_COPYDATA, code, reinterpret_cast<LPARAM>(&cds),
                      SMTO_NORMAL | SMTO_ABORTIFHUNG, LINK_SEND_TIMEOUT_MS, &reply);
  return static_cast<LRESULT>(reply);
}

// --- The launch wait ---

const int LAUNCH_ROUNDS = 3;   // each side's 3 s waits
const int STARTUP_ROUNDS = 5;  // each side's 1 s start-ups

double threadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return static_cast<double>(k.QuadPart + u.QuadPart) * 1e-7;
}

// The wait as it was before it slept: a lookup and a full drain of this thread's messages,
// back to back, for up to 10 s.
HWND spinningWait() {
  DWORD start = GetTickCount();
  HWND found = nullptr;
  while (found == nullptr && GetTickCount() - start < 10000) {
    found = FindWindowA("KelvoraLink", nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return found;
}

// Ends the client that owns the link window, so that the next round starts without one.
void closeLaunchedClient() {
  DWORD pid = 0;
  if (HWND w = FindWindowA("KelvoraLink", nullptr)) GetWindowThreadProcessId(w, &pid);
  if (pid != 0) closeLinkmon(pid);
}

struct LaunchSides {
  std::vector<double> module, spinning, alone;  // per round: CPU share or seconds
};

void reportShares(const char* what, const LaunchSides& s) {
  std::printf("%-28s module %7.1f %%    spinning %6.1f %%   of the wait's wall time\n", what,
              median(s.module) * 100, median(s.spinning) * 100);
}

void reportStartup(const char* what, const LaunchSides& s) {
  double alone = median(s.alone);
  std::printf("%-28s module %7.3f s    spinning %6.3f s   client alone %.3f s   ratios %.3f, %.3f\n",
              what, median(s.module), median(s.spinning), alone, median(s.module) / alone,
              median(s.spinning) / alone);
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

  // A 32 KB link-file chunk: LINKMSG_STREAM_INFO (238 bytes) and LINKMSG_STREAM_DATA. The
  // module sends a copy of its own with the option word swapped; the direct side sends the
  // same bytes straight from the chunk.
  std::vector<unsigned char> chunk(CHUNK, 0);
  const unsigned char header[] = {'K', 0, 0, 0, 192, 168, 1, 2, 0x06, 0x16, 0, 0, 0, 7, 0, 0};
  memcpy(chunk.data(), header, sizeof header);
  Pair write = medianOfEach(
      ITERATIONS, [&] { np.write(&instance, nullptr, 0, CHUNK, chunk.data()); },
      [&] {
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
  std::fflush(stdout);

  // The launch wait: no client runs, NPP_New starts the one the registry names. The spinning
  // side starts the same command and sends the same LINKMSG_NEW and LINKMSG_DESTROY.
  stopLinkmon(&client);
  std::string savedCommand = registryCommand(), savedOwn = userRegistryCommand();
  std::string command = "\"" + programBesideTest("linkmon.exe") + "\" --quiet --lifetime 60000";
  setRegistryCommand(command);
  deleteUserRegistryCommand();  // read before the one above
  std::string commandLine = command + " /$l";
  auto moduleLaunch = [&] {
    NPError result = np.newp(mime, &instance, NP_EMBED, 3, argn, argv, nullptr);
    double end = nowSeconds();
    if (result == NPERR_NO_ERROR) np.destroy(&instance, nullptr);
    return result == NPERR_NO_ERROR ? end : 0.0;
  };
  auto spinningLaunch = [&] {
    if (WinExec(commandLine.c_str(), SW_SHOWMINNOACTIVE) < 32) return 0.0;
    HWND found = spinningWait();
    if (found == nullptr) return 0.0;
    LRESULT reply = sendRaw(found, LINKMSG_NEW, &record, sizeof record, 0);
    double end = nowSeconds();
    sendRaw(found, LINKMSG_DESTROY, nullptr, 0, static_cast<uint32_t>(reply) >> 16);
    return end;
  };
  bool launchFailed = false;

  // The browser thread's CPU time while the client takes 3 s to show its window.
  SetEnvironmentVariableA("LINKMON_WINDOW_DELAY", "3000");
  LaunchSides shares;
  for (int r = 0; r < 2 * LAUNCH_ROUNDS; ++r) {
    bool moduleSide = r % 2 == 0;
    double cpu = threadCpuSeconds(), start = nowSeconds();
    double end = moduleSide ? moduleLaunch() : spinningLaunch();
    double share = (threadCpuSeconds() - cpu) / (end - start);
    launchFailed |= end == 0.0;
    (moduleSide ? shares.module : shares.spinning).push_back(share);
    closeLaunchedClient();
  }
  SetEnvironmentVariableA("LINKMON_WINDOW_DELAY", nullptr);

  // Start to NPP_New's return when the client computes for 1 s before its window, with this
  // process and the client (which inherits the mask) on one CPU; against the client alone,
  // waited for with a lookup every 2 ms.
  DWORD_PTR processMask = 0, systemMask = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
  SetProcessAffinityMask(GetCurrentProcess(), 1);
  SetEnvironmentVariableA("LINKMON_START_CPU", "1000");
  LaunchSides startup;
  for (int r = 0; r < 3 * STARTUP_ROUNDS; ++r) {
    double start = nowSeconds(), end = 0.0;
    switch (r % 3) {
      case 0: end = moduleLaunch(); break;
      case 1: end = spinningLaunch(); break;
      case 2:
        if (WinExec(commandLine.c_str(), SW_SHOWMINNOACTIVE) < 32) break;
        while (FindWindowA("KelvoraLink", nullptr) == nullptr && nowSeconds() - start < 10) Sleep(2);
        end = nowSeconds();
        break;
    }
    launchFailed |= end == 0.0;
    std::vector<double>* side[] = {&startup.module, &startup.spinning, &startup.alone};
    side[r % 3]->push_back(end - start);
    closeLaunchedClient();
  }
  SetEnvironmentVariableA("LINKMON_START_CPU", nullptr);
  SetProcessAffinityMask(GetCurrentProcess(), processMask);
  if (savedCommand == "<absent>") deleteRegistryCommand();
  else setRegistryCommand(savedCommand);
  if (savedOwn == "<absent>") deleteUserRegistryCommand();
  else setUserRegistryCommand(savedOwn);

  std::printf("launch waits, medians of alternating rounds (%d and %d of each side):\n",
              LAUNCH_ROUNDS, STARTUP_ROUNDS);
  reportShares("launch wait CPU, 3 s client", shares);
  reportStartup("launch to NPP_New, 1 CPU", startup);

  exported<PluginShutdownProc>(module, "NP_PluginShutdown")();
  FreeLibrary(module);
  if (launchFailed) {
    std::fprintf(stderr, "a launch did not find its client\n");
    return 1;
  }
  return 0;
}
