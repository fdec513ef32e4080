#include "plugin/module_reference.h"

#include "link/client_locator.h"

HINSTANCE moduleInstance;

int callsOutRunning = 0;

namespace {

int holdsRunning = 0;
bool shutDownDuringHold = false;
int keptReferences = 0;
HMODULE keptModule = nullptr;

typedef BOOL(WINAPI* GetModuleHandleExCall)(DWORD, LPCWSTR, HMODULE*);

// A new reference to this module, by its own address where the system offers that (Windows
// XP on; reached on demand, as older systems lack it), else by its file: the wide path on NT,
// which spells any folder name, and the ANSI path where wide calls fail (9x).
HMODULE referenceModule(DWORD flags) {
  FARPROC address = GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetModuleHandleExW");
  HMODULE module = nullptr;
  if (address != nullptr) {
    auto call = reinterpret_cast<GetModuleHandleExCall>(reinterpret_cast<void*>(address));
    if (!call(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
              reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&referenceModule)), &module))
      module = nullptr;
    return module;
  }
  // A cut path (length == size) could name another file.
  WCHAR wide[MAX_PATH];
  DWORD length = GetModuleFileNameW(moduleInstance, wide, MAX_PATH);
  if (length != 0) return length < MAX_PATH ? LoadLibraryW(wide) : nullptr;
  char path[MAX_PATH];
  length = GetModuleFileNameA(moduleInstance, path, sizeof path);
  return length != 0 && length < sizeof path ? LoadLibraryA(path) : nullptr;
}

// Kept until an NP_Shutdown outside every hold and call out.
void keep(HMODULE reference) {
  if (reference == nullptr) return;
  ++keptReferences;
  keptModule = reference;
}

HMODULE holdModule() {
  ++holdsRunning;
  return referenceModule(0);
}

void endModuleHold(HMODULE reference) {
  --holdsRunning;
  if (reference != nullptr && !shutDownDuringHold) {
    FreeLibrary(reference);  // the browser's own reference outlives this call
    return;
  }
  keep(reference);
}

}  // namespace

bool pinModule() { return referenceModule(GET_MODULE_HANDLE_EX_FLAG_PIN) != nullptr; }

bool reachClientApplication() {
  // A load or object with the client running takes no hold.
  if (findLinkWindow() != nullptr) return true;
  // A browser call made from inside the wait or a dialog may unload the module (NP_Shutdown,
  // FreeLibrary): the hold keeps its code mapped.
  HMODULE hold = holdModule();
  bool reached = reachClient(moduleInstance, true) != nullptr;
  endModuleHold(hold);
  return reached;
}

void moduleShuttingDown() {
  // A send or the page's procedure returns into the module after the browser's FreeLibrary:
  // the reference is taken now, while the browser's own still holds the module.
  if (callsOutRunning > 0) keep(referenceModule(0));
  if (holdsRunning > 0) shutDownDuringHold = true;
  if (holdsRunning > 0 || callsOutRunning > 0) return;
  shutDownDuringHold = false;
  for (; keptReferences > 0; --keptReferences) FreeLibrary(keptModule);
}
