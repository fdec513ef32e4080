#include "bridge/host_system.h"

#include "bridge/object_window.h"
#include "link/ansi_code_page.h"
#include "link/client_locator.h"
#include "link/link_channel.h"

namespace {

BridgeSession session;
HostWindows hostWindows;
HANDLE output = INVALID_HANDLE_VALUE;
bool outputBroken = false;
// How often the host looks whether the client application is still there, and raises its
// windows again when it has no owner to keep them above the browser.
const UINT CLIENT_CHECK_MS = 1000;
const UINT RAISE_MS = 500;
// How often the leases are looked at: a silent page's windows hide within 600 ms.
const UINT LEASE_CHECK_MS = 100;

void* reachClient() {
  // Re-entry: the launch's dialog and wait dispatch this thread's messages (window paints).
  // The find-client dialog's template is in the host's own file; no warning box (the object's
  // answer says it).
  return ::reachClient(nullptr, false);
}

bool send(void* client, LinkMessageCode code, const void* payload, uint32_t length,
          LinkIdentifier linkId, uint32_t* reply) {
  return sendLinkMessageTo(static_cast<HWND>(client), code, payload, length, linkId, reply);
}

bool clientAlive(void* client) { return IsWindow(static_cast<HWND>(client)) != FALSE; }

void* createWindow(uint32_t id) {
  return createObjectWindow(GetModuleHandleA(nullptr), hostWindows.owner, id);
}

void placeWindow(void* window, const ScreenBox& box, const ScreenBox& clip, bool visible) {
  placeObjectWindow(static_cast<HWND>(window), planWindowPlacement(box, clip, visible),
                    hostWindows.owner == nullptr);
}

void destroyWindow(void* window) { DestroyWindow(static_cast<HWND>(window)); }

void write(const std::string& message) {
  if (outputBroken) return;
  std::string frame = nativeFrame(message);
  const char* data = frame.data();
  size_t left = frame.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(output, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
      outputBroken = true;  // the browser has gone; the input's end follows
      return;
    }
    data += written;
    left -= written;
  }
}

void painted(uint32_t id) { paintBridgeObject(session, id); }

void CALLBACK checkClient(HWND, UINT, UINT_PTR, DWORD) { checkBridgeClient(session); }

// Re-entry: runs inside the launch's wait and dialog too; it only hides created objects'
// windows, and a frame is never handled meanwhile.
void CALLBACK checkLeases(HWND, UINT, UINT_PTR, DWORD) { expireBridgeLeases(session); }

uint32_t now() { return GetTickCount(); }

// Without an owner, a browser window raised above the objects' windows would hide them.
void CALLBACK raiseWindows(HWND, UINT, UINT_PTR, DWORD) {
  for (const BridgeObject& o : session.objects) {
    HWND window = static_cast<HWND>(o.hwnd);
    if (window != nullptr && IsWindowVisible(window))
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

}  // namespace

HWND browserOwnerWindow(uint32_t parentWindow) {
  HWND named = reinterpret_cast<HWND>(static_cast<uintptr_t>(parentWindow));
  if (named == nullptr || !IsWindow(named)) return nullptr;
  return GetAncestor(named, GA_ROOT);
}

BridgeSession& startHostSession(const HostWindows& windows) {
  hostWindows = windows;
  output = GetStdHandle(STD_OUTPUT_HANDLE);
  // Screen pixels as the page computes them, not scaled for an unaware program.
  typedef BOOL(WINAPI * SetDpiAware)();
  if (HMODULE user = GetModuleHandleA("user32.dll"))
    if (SetDpiAware aware = reinterpret_cast<SetDpiAware>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDPIAware"))))
      aware();
  registerObjectWindowClass(GetModuleHandleA(nullptr), painted);
  BridgeSystem& s = session.system;
  s.link = {reachClient, send, utf8ToAnsiCodePage, bridgeMemory};
  s.clientAlive = clientAlive;
  s.createWindow = createWindow;
  s.placeWindow = placeWindow;
  s.destroyWindow = destroyWindow;
  s.write = write;
  s.threadHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  s.now = now;
  SetTimer(nullptr, 0, CLIENT_CHECK_MS, checkClient);
  SetTimer(nullptr, 0, LEASE_CHECK_MS, checkLeases);
  if (hostWindows.owner == nullptr) SetTimer(nullptr, 0, RAISE_MS, raiseWindows);
  return session;
}
