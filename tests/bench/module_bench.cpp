// What the module adds to the cost of the link messages it sends: instance creation and
// destruction, and 32 KB link-file chunks, through ZUROV.DLL's entry points, against the same
// WM_COPYDATA messages sent directly to the same stand-in client. Run with `make bench`.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "link/link_records.h"
#include "plugin/npapi.h"
#include "wine_test_support.h"

namespace {

const int ROUNDS = 15;        // each measurement is taken this often; the fastest counts
const int ITERATIONS = 500;   // operations per measurement
const int CHUNK = 32768;

double nowSeconds() {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Body>
double timeOnce(Body body) {
  double start = nowSeconds();
  for (int i = 0; i < ITERATIONS; ++i) body();
  return (nowSeconds() - start) / ITERATIONS;
}

// The fastest per-operation time of each body; rounds alternate between the two so that a
// busy moment of the machine does not fall on one side only.
struct Pair {
  double first;
  double second;
};
template <typename First, typename Second>
Pair fastestOfEach(First first, Second second) {
  Pair best = {1e30, 1e30};
  for (int r = 0; r < ROUNDS; ++r) {
    double a = timeOnce(first);
    double b = timeOnce(second);
    if (a < best.first) best.first = a;
    if (b < best.second) best.second = b;
  }
  return best;
}

LRESULT sendRaw(HWND window, uint32_t code, const void* data, DWORD length, ULONG_PTR id) {
  COPYDATASTRUCT cds = {id, length, length ? const_cast<void*>(data) : nullptr};
  return SendMessageA(window, WM_COPYDATA, code, reinterpret_cast<LPARAM>(&cds));
}

void report(const char* what, double module, double raw) {
  std::printf("%-34s module %8.1f us   direct %8.1f us   ratio %.3f\n", what, module * 1e6,
              raw * 1e6, module / raw);
}

}  // namespace

int main() {
  LinkmonProcess client = startLinkmon("--quiet --lifetime 600000");
  HWND linkWindow = waitForLinkmonWindow(client, 10000);
  if (!linkWindow) {
    std::fprintf(stderr, "linkmon did not start\n");
    return 1;
  }
  HMODULE module = LoadLibraryA(programBesideTest("ZUROV.DLL").c_str());
  if (!module) {
    std::fprintf(stderr, "ZUROV.DLL did not load (%lu)\n", GetLastError());
    stopLinkmon(&client);
    return 1;
  }
  typedef NPError(NP_OSCALL * GetEntryPointsProc)(NPPluginFuncs*);
  auto getEntryPoints = reinterpret_cast<GetEntryPointsProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "NP_GetEntryPoints")));
  NPPluginFuncs np = {};
  getEntryPoints(&np);

  const char* names[] = {"Server", "Name", "PlayNow"};
  const char* values[] = {"mediahost", "news", "yes"};
  char* argn[3];
  char* argv[3];
  for (int i = 0; i < 3; ++i) {
    argn[i] = const_cast<char*>(names[i]);
    argv[i] = const_cast<char*>(values[i]);
  }
  char mime[] = "application/x-kvla";

  // Instance creation and destruction: LINKMSG_NEW (238 bytes) and LINKMSG_DESTROY.
  NPP_t instance = {};
  LinkRecord record = {};
  Pair creation = fastestOfEach(
      [&] {
        np.newp(mime, &instance, NP_EMBED, 3, argn, argv, nullptr);
        np.destroy(&instance, nullptr);
      },
      [&] {
        LRESULT reply = sendRaw(linkWindow, LINKMSG_NEW, &record, sizeof record, 0);
        sendRaw(linkWindow, LINKMSG_DESTROY, nullptr, 0, static_cast<uint32_t>(reply) >> 16);
      });
  // Each NPP_New and NPP_Destroy looks the link window up first: the direct sends again, with
  // the same two lookups, show how much of the difference that is.
  Pair lookups = fastestOfEach(
      [&] {
        FindWindowA("KelvoraLink", nullptr);
        LRESULT reply = sendRaw(linkWindow, LINKMSG_NEW, &record, sizeof record, 0);
        FindWindowA("KelvoraLink", nullptr);
        sendRaw(linkWindow, LINKMSG_DESTROY, nullptr, 0, static_cast<uint32_t>(reply) >> 16);
      },
      [] {});

  // A 32 KB link-file chunk: LINKMSG_STREAM_INFO (238 bytes) and LINKMSG_STREAM_DATA.
  std::vector<unsigned char> chunk(CHUNK, 0);
  const unsigned char header[] = {'K', 0, 0, 0, 192, 168, 1, 2, 0x06, 0x16, 0, 0, 0, 7, 0, 0};
  memcpy(chunk.data(), header, sizeof header);
  np.newp(mime, &instance, NP_EMBED, 3, argn, argv, nullptr);
  Pair write = fastestOfEach(
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

  std::printf("fastest of %d rounds of %d operations, per operation:\n", ROUNDS, ITERATIONS);
  report("NPP_New + NPP_Destroy", creation.first, creation.second);
  report("NPP_Write of a 32 KB chunk", write.first, write.second);
  report("  direct sends with the two lookups", creation.first, lookups.first);

  FreeLibrary(module);
  stopLinkmon(&client);
  return 0;
}
