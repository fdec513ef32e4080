// linkmon: a stand-in for the client application. It owns the "KelvoraLink" window, shows
// every link message on the console, logs it as a JSON line, and answers LINKMSG_NEW as
// configured. A hidden "KelvoraLinkMonitor" window is always there so it can be closed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/linkmon/linkmon_decode.h"
#include "tools/linkmon/linkmon_json.h"
#include "tools/linkmon/linkmon_options.h"
#include "tools/linkmon/linkmon_reply.h"

namespace {

const char kLinkClass[] = "KelvoraLink";
const char kControlClass[] = "KelvoraLinkMonitor";
const UINT_PTR kCreateLinkWindowTimer = 1;
const UINT_PTR kLifetimeTimer = 2;
// Posted to the link window after a --defer-on message: the work a client does "later".
const UINT kDeferredWork = WM_APP + 1;

struct Monitor {
  LinkmonOptions options;
  ReplyPolicy policy;
  HANDLE log = INVALID_HANDLE_VALUE;
  uint32_t seq = 0;
  HWND control = nullptr;
  HWND link = nullptr;
};
Monitor g;

void say(const std::string& line) {
  if (g.options.quiet) return;
  fputs(line.c_str(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

// One WriteFile per line, straight to the system: a reader never sees half a line.
void logLine(const std::string& line) {
  if (g.log == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(g.log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

LRESULT onCopyData(WPARAM wParam, const COPYDATASTRUCT* cds) {
  LinkMessageView m = {};
  m.seq = ++g.seq;
  m.code = wParam;
  if (cds) {
    m.dwData = cds->dwData;
    m.cbData = cds->cbData;
    m.data = static_cast<const uint8_t*>(cds->lpData);
  }
  m.reply = replyTo(&g.policy, m.code);
  for (const std::string& line : describeLinkMessage(m)) say(line);
  logLine(messageJson(m));
  // A client that leaves, or one that hangs: the sender gets no reply, or a late one.
  if (g.options.exitCode != 0 && m.code == g.options.exitCode) {
    say("linkmon: exit without a reply (--exit-on)");
    ExitProcess(3);
  }
  if (g.options.hangCode != 0 && m.code == g.options.hangCode) Sleep(g.options.hangMs);
  if (g.options.deferCode != 0 && m.code == g.options.deferCode)
    PostMessageA(g.link, kDeferredWork, 0, 0);
  return static_cast<LRESULT>(m.reply);
}

// Thread CPU time in milliseconds.
uint64_t cpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 10000;
}

// A client that computes before it opens its window.
void useCpu(uint32_t ms) {
  uint64_t until = cpuMs() + ms;
  volatile uint32_t sink = 0;
  while (cpuMs() < until)
    for (uint32_t i = 0; i < 200000; ++i) sink = sink * 33 + i;
}

void createLinkWindow() {
  // Hidden but top-level: FindWindowA does not see message-only windows.
  g.link = CreateWindowExA(0, kLinkClass, "linkmon", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!g.link) {
    say("linkmon: could not create the link window");
    return;
  }
  char text[64];
  snprintf(text, sizeof text, "linkmon: link window %p created", static_cast<void*>(g.link));
  say(text);
  logLine(windowJson(reinterpret_cast<uintptr_t>(g.link)));
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA:
      if (hwnd == g.link) return onCopyData(wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      break;
    case kDeferredWork:
      // The link window's thread away from its loop: every sender waits meanwhile.
      Sleep(g.options.deferMs);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, wParam);
      if (wParam == kCreateLinkWindowTimer) createLinkWindow();
      if (wParam == kLifetimeTimer) {
        say("linkmon: lifetime over");
        PostQuitMessage(0);
      }
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The process of another copy's link window; 0 when none runs.
DWORD otherCopy() {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, kLinkClass, nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return pid;
  }
  return 0;
}

bool registerClass(const char* name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

bool readEnv(const char* name, std::string* value) {
  char buf[1024];
  // A set but empty variable also returns 0; only the error code tells the two apart.
  SetLastError(ERROR_SUCCESS);
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (n >= sizeof buf) {
    // Longer than the buffer: ask again with room for it.
    std::vector<char> big(n);
    n = GetEnvironmentVariableA(name, big.data(), n);
    value->assign(big.data(), n < big.size() ? n : 0);
    return true;
  }
  value->assign(buf, n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string error;
  if (!parseLinkmonOptions(args, readEnv, &g.options, &error)) {
    fprintf(stderr, "linkmon: %s\n%s", error.c_str(), linkmonUsage());
    return 2;
  }
  if (g.options.help) {
    fputs(linkmonUsage(), stdout);
    return 0;
  }
  g.policy = makeReplyPolicy(g.options);

  if (!g.options.logPath.empty()) {
    // Shared for reading and writing so tests and tail -f can follow it while it grows.
    g.log = CreateFileA(g.options.logPath.c_str(), FILE_APPEND_DATA,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g.log == INVALID_HANDLE_VALUE) {
      fprintf(stderr, "linkmon: cannot open the log file %s\n", g.options.logPath.c_str());
      return 1;
    }
  }
  std::string commandLine = GetCommandLineA();
  logLine(startJson(GetCurrentProcessId(), commandLine));
  say("linkmon: started as " + commandLine);

  // Started for a link while another copy runs: that copy serves the page; a second link
  // window would split the page's objects between two clients.
  if (DWORD other = g.options.launched && !g.options.multiple ? otherCopy() : 0) {
    say("linkmon: another copy (process " + std::to_string(other) + ") has the link window; exit");
    logLine(handoverJson(other));
    if (g.log != INVALID_HANDLE_VALUE) CloseHandle(g.log);
    return 0;
  }
  if (!registerClass(kLinkClass) || !registerClass(kControlClass)) {
    fprintf(stderr, "linkmon: cannot register the window classes\n");
    return 1;
  }
  g.control = CreateWindowExA(0, kControlClass, "linkmon control", WS_OVERLAPPED, 0, 0, 100,
                              100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!g.control) {
    fprintf(stderr, "linkmon: cannot create the control window\n");
    return 1;
  }
  if (g.options.lifetimeMs != 0) SetTimer(g.control, kLifetimeTimer, g.options.lifetimeMs, nullptr);
  if (g.options.startCpuMs != 0) useCpu(g.options.startCpuMs);
  if (g.options.noWindow) {
    say("linkmon: no link window (--no-window)");
  } else if (g.options.windowDelayMs != 0) {
    SetTimer(g.control, kCreateLinkWindowTimer, g.options.windowDelayMs, nullptr);
  } else {
    createLinkWindow();
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The link window goes first, so a sender stops finding it before we stop answering.
  if (g.link) DestroyWindow(g.link);
  DestroyWindow(g.control);
  say("linkmon: exit");
  logLine(exitJson());
  if (g.log != INVALID_HANDLE_VALUE) CloseHandle(g.log);
  return 0;
}
