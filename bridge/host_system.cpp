#include "bridge/host_system.h"

#include "bridge/browser_window_calls.h"
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
// How often the browser's window is looked for while none contains the page: a scrolling page
// would otherwise cost a process snapshot per frame.
const DWORD OWNER_SEARCH_MS = 1000;
HWND browserWindow;  // named or found; null while unknown
bool ownerSearched;
DWORD ownerSearchedAt;

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

// A text of the ANSI code page (a stored launch command, a path) in UTF-8; empty when it
// cannot be converted.
std::string utf8FromAnsi(const char* text) {
  wchar_t wide[PLAN_PATH_SIZE];
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, PLAN_PATH_SIZE);
  char utf8[PLAN_PATH_SIZE * 3];
  if (n <= 0 || WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return "";
  return utf8;
}

// What the door says of the client now: the stored command read again, no dialog.
void clientStatus(BridgeClientStatus* status) {
  forgetClient();
  const PlannedClient& client = plannedClient();
  status->command = utf8FromAnsi(configuredCommand());
  status->program = client.found ? utf8FromAnsi(client.plan.program) : "";
  status->running = findLinkWindow() != nullptr;
}

const char* reachClientNow() {
  forgetClient();
  if (findLinkWindow() != nullptr) return "running";
  // Re-entry: the dialog and the wait dispatch this thread's messages (window paints).
  switch (launchClient(nullptr)) {
    case LAUNCH_FOUND_WINDOW: return "running";
    case LAUNCH_NOT_STARTED: return configuredCommand()[0] == '\0' ? "not-configured" : "not-started";
    case LAUNCH_NEEDS_ELEVATION: return "needs-elevation";
    case LAUNCH_NO_WINDOW: return "no-window";
    case LAUNCH_NESTED: return "busy";
  }
  return "not-started";
}

bool clientAlive(void* client) { return IsWindow(static_cast<HWND>(client)) != FALSE; }

void* createWindow(uint32_t id) {
  return createObjectWindow(GetModuleHandleA(nullptr), hostWindows.owner, id);
}

bool frameOf(HWND window, ScreenBox* frame) {
  RECT r;
  if (!IsWindow(window) || !GetWindowRect(window, &r)) return false;
  *frame = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  return true;
}

bool clientAreaOf(HWND window, ScreenBox* area) {
  RECT r;
  if (!GetClientRect(window, &r)) return false;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  *area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  return true;
}

ScreenBox monitorOf(const ScreenBox& box) {
  RECT r = {box.x, box.y, box.x + box.width, box.y + box.height};
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return {0, 0, 0, 0};
  const RECT& m = info.rcMonitor;
  return {m.left, m.top, m.right - m.left, m.bottom - m.top};
}

bool contains(HWND window, const ScreenBox& part) {
  ScreenBox frame;
  return window != nullptr && frameOf(window, &frame) && boxContains(frame, part);
}

// The browser's window around the part of the page in view: the one named or found before,
// else looked for among the host's ancestors (at most once a second); the last one known when
// none contains it now.
HWND browserWindowAround(const ScreenBox& inView) {
  if (contains(browserWindow, inView)) return browserWindow;
  if (contains(hostWindows.owner, inView)) return browserWindow = hostWindows.owner;
  DWORD now = GetTickCount();
  if (ownerSearched && now - ownerSearchedAt < OWNER_SEARCH_MS) return browserWindow;
  ownerSearched = true;
  ownerSearchedAt = now;
  HWND found = static_cast<HWND>(
      findBrowserWindow(WINDOWS_BROWSER_WINDOW_CALLS, GetCurrentProcessId(), inView));
  if (found != nullptr) browserWindow = found;
  return browserWindow;
}

// Owned by the browser's window where one is known; cut to its client area and always to the
// monitor the box lies on.
void placeWindow(void* object, const ScreenBox& box, const ScreenBox& clip, bool visible) {
  HWND window = static_cast<HWND>(object);
  if (visible && clip.width > 0 && clip.height > 0) {
    HWND around = browserWindowAround(clip);
    if (around != nullptr && around != GetWindow(window, GW_OWNER)) setObjectWindowOwner(window, around);
  }
  HWND owner = GetWindow(window, GW_OWNER);
  ScreenBox client;
  bool knowsClient = owner != nullptr && clientAreaOf(owner, &client);
  ScreenBox cut = hostClip(clip, monitorOf(box), knowsClient ? &client : nullptr);
  placeObjectWindow(window, planWindowPlacement(box, cut, visible), owner == nullptr);
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
    if (window != nullptr && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr)
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
  s.client = {clientStatus, reachClientNow};
  s.threadHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  s.now = now;
  SetTimer(nullptr, 0, CLIENT_CHECK_MS, checkClient);
  SetTimer(nullptr, 0, LEASE_CHECK_MS, checkLeases);
  SetTimer(nullptr, 0, RAISE_MS, raiseWindows);
  return session;
}
