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
  s.client = {clientStatus, reachClientNow};
  s.threadHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  SetTimer(nullptr, 0, CLIENT_CHECK_MS, checkClient);
  if (hostWindows.owner == nullptr) SetTimer(nullptr, 0, RAISE_MS, raiseWindows);
  return session;
}
