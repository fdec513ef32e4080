// linkcheck: checks a client application against the rules for clients. It starts the client
// as the plug-in does (the module's own launcher and link window choice), plays the plug-in's
// side of every message through the module's own channel and records (edge values, window 0,
// a storm of paints, link files, destroys, a second copy started with /$l), and reports each
// breach with its fix. Exit status: 0 without a failing breach, 1 with one, 2 when the check
// could not run.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/client_locator.h"
#include "link/link_channel.h"
#include "link/embed_attributes.h"
#include "link/link_file_header.h"
#include "tools/linkcheck/linkcheck_rules.h"
#include "tools/linkmon/linkmon_decode.h"

namespace {

// How long a client's worker may take to act on a window it was lent or told to leave.
const DWORD WINDOW_SETTLE_MS = 2000;
// How long a client that missed the plug-in's launch wait, or a second copy that neither
// exits nor opens a window, is still watched: the rest of the check is worth having.
const DWORD LATE_WATCH_MS = 30000;

struct Object {
  const char* label;
  std::vector<const char*> attributes;  // name, value, name, value...
  bool created;
  LinkIdentifier id;
  LinkRecord record;
  HWND lent;
};

struct Run {
  HWND link = nullptr;
  DWORD clientPid = 0;
  HWND page = nullptr;
  bool linkGone = false;
  std::set<LinkIdentifier> live;
  std::vector<Finding> findings;
  std::vector<double> answers;  // ms of every delivered message
  std::map<std::string, unsigned> sent;  // messages sent, by code name
  double slowest = 0;
  std::string slowestName;
};
Run run;

double nowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void add(Breach breach, Verdict verdict, const std::string& seen) {
  run.findings.push_back({breach, verdict, seen});
}

// The page's own messages, as a browser's thread handles them between calls.
void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// How long the link window's thread takes to come back to its message loop.
void ping(const std::string& after) {
  double start = nowMs();
  DWORD_PTR result = 0;
  bool delivered = SendMessageTimeoutA(run.link, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                       KELVORA_SEND_TIMEOUT_MS, &result) != 0;
  SendOutcome outcome = {delivered, static_cast<uint32_t>(nowMs() - start), IsWindow(run.link) != 0};
  Verdict verdict;
  std::string seen = delivered ? std::to_string(outcome.ms) + " ms away from its loop"
                     : outcome.ms >= LINKCHECK_SLOW_MS ? "no answer within " + std::to_string(outcome.ms) + " ms"
                                                       : std::string("counted hung: no answer at all");
  if (outcome.windowExists && judgePing(outcome, &verdict))
    add(Breach::Unresponsive, verdict, "after " + after + ": " + seen);
}

// One message as the plug-in sends it: through the module's channel, to the window that
// accepted the object, timed. False when it was not delivered.
bool send(Object& o, LinkMessageCode code, const void* payload, uint32_t length,
          uint32_t* reply = nullptr, bool thenPing = true) {
  if (run.linkGone) return false;
  std::string what = std::string(linkCodeName(code)) + " of object \"" + o.label + "\"";
  double start = nowMs();
  bool delivered = sendLinkMessageTo(run.link, code, payload, length,
                                     code == LINKMSG_NEW ? 0 : o.id, reply);
  double ms = nowMs() - start;
  ++run.sent[linkCodeName(code)];
  SendOutcome outcome = {delivered, static_cast<uint32_t>(ms), IsWindow(run.link) != 0};
  if (delivered) {
    run.answers.push_back(ms);
    if (ms > run.slowest) run.slowest = ms, run.slowestName = linkCodeName(code);
  }
  Breach breach;
  Verdict verdict;
  if (judgeSend(outcome, &breach, &verdict))
    add(breach, verdict, what + ": " + (delivered ? std::to_string(outcome.ms) + " ms" :
                                        "not delivered after " + std::to_string(outcome.ms) + " ms"));
  run.linkGone = !outcome.windowExists;
  pump();
  if (thenPing && !run.linkGone) ping(what);
  return delivered;
}

void create(Object& o) {
  // The record as NPP_New builds it, on a slot that held another page's object before.
  std::memset(&o.record, 'x', sizeof o.record);
  uint32_t thread = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentThread()));
  std::vector<const char*> names, values;
  for (size_t i = 0; i + 1 < o.attributes.size(); i += 2) {
    names.push_back(o.attributes[i]);
    values.push_back(o.attributes[i + 1]);
  }
  buildLinkRecord(o.record, static_cast<int16_t>(names.size()), names.data(), values.data(), thread);
  uint32_t reply = 0;
  o.created = false;
  if (!send(o, LINKMSG_NEW, &o.record, sizeof o.record, &reply)) return;
  NewReplyJudgement j = judgeNewReply(reply, run.live);
  char text[96];
  snprintf(text, sizeof text, "LINKMSG_NEW of object \"%s\": reply 0x%08X", o.label, reply);
  if (j.breach) add(j.kind, j.verdict, text);
  o.created = j.created;
  o.id = j.id;
  if (o.created) run.live.insert(o.id);
}

void setWindow(Object& o, HWND window) {
  if (!o.created) return;
  WindowRecord w = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), 0, 0, 0, 0};
  send(o, LINKMSG_SET_WINDOW, &w, sizeof w);
}

void paint(Object& o, bool thenPing = true) {
  if (o.created) send(o, LINKMSG_PAINT, nullptr, 0, nullptr, thenPing);
}

void destroy(Object& o) {
  if (!o.created) return;
  send(o, LINKMSG_DESTROY, nullptr, 0);
  run.live.erase(o.id);
  o.created = false;
}

// A link file's start through the module's own header code, then its two messages.
void linkFile(Object& o, uint16_t selection, size_t length) {
  if (!o.created) return;
  std::vector<unsigned char> file(length, 0x5A);
  const unsigned char header[] = {'K', 1, 0, 0, 192, 168, 1, 2, 0x06, 0x40, 0, 0,
                                  static_cast<unsigned char>(selection >> 8),
                                  static_cast<unsigned char>(selection), 0x00, 0x80};
  std::memcpy(file.data(), header, sizeof header);
  std::memset(file.data() + sizeof header, 0, LINK_FILE_NAME_OFFSET - sizeof header);
  std::memcpy(file.data() + LINK_FILE_NAME_OFFSET, "news", 5);
  if (!applyLinkFileHeader(o.record, file.data(), file.size())) return;
  send(o, LINKMSG_STREAM_INFO, &o.record, sizeof o.record);
  send(o, LINKMSG_STREAM_DATA, file.data(), static_cast<uint32_t>(file.size()));
}

struct WindowSearch {
  HWND lent;
  std::vector<HWND> found;
};

BOOL CALLBACK collectClientWindow(HWND child, LPARAM search) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(search);
  DWORD pid = 0;
  GetWindowThreadProcessId(child, &pid);
  if (pid == run.clientPid && GetParent(child) == s->lent) s->found.push_back(child);
  return TRUE;
}

// The client's windows directly inside `lent`.
std::vector<HWND> clientWindowsIn(HWND lent) {
  WindowSearch search = {lent, {}};
  EnumChildWindows(lent, collectClientWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits, pumping, until `done` holds or the client's worker had its time.
template <typename Done>
bool settle(Done done) {
  DWORD start = GetTickCount();
  for (;;) {
    pump();
    if (done()) return true;
    if (GetTickCount() - start >= WINDOW_SETTLE_MS) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void expectLetGo(const Object& o, const char* when) {
  if (!o.lent || settle([&] { return clientWindowsIn(o.lent).empty(); })) return;
  add(Breach::KeptWindow, Verdict::Fail,
      std::string("object \"") + o.label + "\" still in its lent window " +
          std::to_string(WINDOW_SETTLE_MS) + " ms after " + when);
}

// A client that put windows into the lent window keeps them at its client area's size.
void expectFollows(const Object& o) {
  RECT lent;
  auto follows = [&] {
    GetClientRect(o.lent, &lent);
    for (HWND child : clientWindowsIn(o.lent)) {
      RECT r;
      GetClientRect(child, &r);
      if (!followsSize(r.right, r.bottom, lent.right, lent.bottom)) return false;
    }
    return true;
  };
  if (!o.created || settle(follows)) return;
  add(Breach::ChildSize, Verdict::Warn,
      std::string("object \"") + o.label + "\": lent window " + std::to_string(lent.right) + "x" +
          std::to_string(lent.bottom) + ", the client's window inside it another size");
}

HWND lendWindow(int x, int y, int width, int height, bool hiddenOnDesktop) {
  // Chromium 39 hands its window out hidden and parented to the desktop, at 300x150, and only
  // then moves it into the page; the other browsers lend a visible child of the page.
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  return hiddenOnDesktop
             ? CreateWindowExA(0, "LinkcheckPlugin", "", style, 0, 0, 300, 150, GetDesktopWindow(),
                               nullptr, GetModuleHandleA(nullptr), nullptr)
             : CreateWindowExA(0, "LinkcheckPlugin", "", style | WS_VISIBLE, x, y, width, height,
                               run.page, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// A copy started as the plug-in starts the client, while the first runs: it must not open a
// link window, and should end.
void secondCopy() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION process = {};
  const LaunchPlan& plan = plannedClient().plan;
  std::string line = plan.commandLine;
  if (!CreateProcessA(plan.program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return;
  CloseHandle(process.hThread);
  bool window = false, ended = false;
  DWORD start = GetTickCount();
  while (!window && !ended && GetTickCount() - start < LATE_WATCH_MS) {
    ended = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0;
    pump();
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, KELVORA_LINK_WINDOW_CLASS, nullptr)) != nullptr;) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      window |= pid == process.dwProcessId;
    }
  }
  if (window)
    add(Breach::SecondLinkWindow, Verdict::Fail,
        "a copy started with " KELVORA_LINK_SWITCH " opened one: the plug-in may send the page's "
        "next objects to either copy");
  else if (!ended)
    add(Breach::SecondCopyStays, Verdict::Warn,
        "a copy started with " KELVORA_LINK_SWITCH " still runs after " +
            std::to_string(LATE_WATCH_MS) + " ms");
  // This check started it: it ends it.
  if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hProcess);
}

void play() {
  Object objects[] = {
      {"edge", {"Server", nullptr, "Name", nullptr, "Port", "65535", "Selection", "2147483647",
                "Tag", "-2147483648", "PlayNow", "yes", "Live", "yes", "FullScreen", "yes", "Audio",
                "no", "Video", "no", "ShowControl", "no", "Function", "PlayStop"},
       false, 0, {}, nullptr},
      {"plain", {}, false, 0, {}, nullptr},
      {"link", {"Stream", "kvla://10.0.0.5:00/-5"}, false, 0, {}, nullptr},
      {"later", {"Function", "Volume"}, false, 0, {}, nullptr},
  };
  // The longest texts that fit, with bytes of the ANSI code page's upper half.
  std::string server(119, 's'), name(79, 'n');
  server[0] = '\xE9';
  name[78] = '\xFF';
  objects[0].attributes[1] = server.c_str();
  objects[0].attributes[3] = name.c_str();
  Object& edge = objects[0];
  Object& plain = objects[1];
  Object& link = objects[2];
  Object& later = objects[3];

  for (int i = 0; i < 3; ++i) create(objects[i]);
  edge.lent = lendWindow(10, 10, 320, 40, false);
  plain.lent = lendWindow(0, 0, 0, 0, true);
  link.lent = lendWindow(10, 60, 320, 40, false);
  for (int i = 0; i < 3; ++i) setWindow(objects[i], objects[i].lent);
  setWindow(edge, edge.lent);  // browsers repeat NPP_SetWindow with the same window

  // Chromium moves its window into the page after NPP_SetWindow; the next paint comes then.
  SetParent(plain.lent, run.page);
  SetWindowPos(plain.lent, nullptr, 10, 110, 400, 60, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  paint(plain);
  expectFollows(plain);

  // A page that repaints: a storm of paints, back to back.
  for (int i = 0; i < 300; ++i) paint(objects[i % 3], false);
  if (!run.linkGone) ping("a storm of 300 LINKMSG_PAINT");

  SetWindowPos(edge.lent, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  paint(edge);
  expectFollows(edge);

  linkFile(link, 0, 39);
  linkFile(link, 7, 0x8000);

  // Chromium's teardown: window 0, then LINKMSG_DESTROY; the others destroy at once.
  setWindow(edge, nullptr);
  expectLetGo(edge, "window 0");
  destroy(edge);
  destroy(plain);
  expectLetGo(plain, "LINKMSG_DESTROY");
  DestroyWindow(edge.lent);
  DestroyWindow(plain.lent);

  create(later);
  later.lent = lendWindow(10, 200, 160, 24, false);
  setWindow(later, later.lent);

  if (!run.linkGone) secondCopy();
  paint(link);  // the first copy still serves the page

  setWindow(later, nullptr);
  destroy(later);
  destroy(link);
  expectLetGo(link, "LINKMSG_DESTROY");
  DestroyWindow(later.lent);
  DestroyWindow(link.lent);
  settle([] { return false; });
  if (!run.linkGone) ping("a quiet while");
}

// Processes of the client's program that started after `since`: the ones this check started.
void endStartedCopies(const FILETIME& since) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    HANDLE p = OpenProcess(0x1000 /* QUERY_LIMITED_INFORMATION */ | PROCESS_TERMINATE | SYNCHRONIZE,
                           FALSE, entry.th32ProcessID);
    if (!p) continue;
    FILETIME created, exited, kernel, user;
    if (runsPlannedProgram(p, plannedClient()) &&
        GetProcessTimes(p, &created, &exited, &kernel, &user) && CompareFileTime(&created, &since) >= 0) {
      TerminateProcess(p, 1);
      WaitForSingleObject(p, 5000);
    }
    CloseHandle(p);
  }
  CloseHandle(snapshot);
}

void endClient() {
  HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, run.clientPid);
  if (IsWindow(run.link)) PostMessageA(run.link, WM_CLOSE, 0, 0);
  if (p && WaitForSingleObject(p, 5000) == WAIT_TIMEOUT) {
    printf("the client did not end on WM_CLOSE to its link window: terminated\n");
    TerminateProcess(p, 1);
    WaitForSingleObject(p, 5000);
  }
  if (p) CloseHandle(p);
}

void registerClasses() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "LinkcheckPage";
  RegisterClassA(&wc);
  wc.lpszClassName = "LinkcheckPlugin";
  RegisterClassA(&wc);
}

}  // namespace

int main(int argc, char** argv) {
  std::string command;
  for (int i = 1; i < argc; ++i) command += (command.empty() ? "" : " ") + std::string(argv[i]);
  if (command.empty() || command == "--help") {
    fputs("usage: linkcheck COMMAND\n"
          "Starts the client application COMMAND (its launch command, as the plug-in keeps\n"
          "it) as the plug-in does, plays the plug-in's side of the link, and reports each\n"
          "breach of the rules for clients with its fix. Exit status 1 on a failing breach,\n"
          "2 when the check cannot run.\n",
          command.empty() ? stderr : stdout);
    return command.empty() ? 2 : 0;
  }
  if (command.size() >= LAUNCH_COMMAND_SIZE) {
    fprintf(stderr, "linkcheck: the plug-in keeps at most %u characters of a launch command\n",
            static_cast<unsigned>(LAUNCH_COMMAND_SIZE - 1));
    return 2;
  }
  if (FindWindowA(KELVORA_LINK_WINDOW_CLASS, nullptr) != nullptr) {
    fprintf(stderr, "linkcheck: a \"%s\" window exists already; end that client first\n",
            KELVORA_LINK_WINDOW_CLASS);
    return 2;
  }
  registerClasses();
  run.page = CreateWindowExA(0, "LinkcheckPage", "linkcheck", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                             0, 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);

  printf("linkcheck: %s\n", command.c_str());
  FILETIME since;
  GetSystemTimeAsFileTime(&since);
  setLaunchCommand(command.c_str());
  double start = nowMs();
  launchClient();
  uint32_t startMs = static_cast<uint32_t>(nowMs() - start);
  const PlannedClient& planned = plannedClient();
  if (!planned.found) {
    fprintf(stderr, "linkcheck: the plug-in would find no program to start in that command\n");
    return 2;
  }
  printf("started as the plug-in starts it: %s\n", planned.plan.commandLine);
  run.link = linkWindow();
  // The plug-in gives up here; its later objects would find a window that comes late.
  for (DWORD late = GetTickCount(); run.link == nullptr && GetTickCount() - late < LATE_WATCH_MS;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 15, QS_ALLINPUT);
    pump();
    run.link = findLinkWindow();
  }
  startMs = static_cast<uint32_t>(nowMs() - start);
  if (run.link == nullptr) {
    add(Breach::SlowStart, Verdict::Fail,
        "no link window " + std::to_string(startMs) + " ms after the start");
    endStartedCopies(since);
  } else {
    GetWindowThreadProcessId(run.link, &run.clientPid);
    printf("link window after %u ms (the plug-in waits %u ms)\n", startMs, KELVORA_LAUNCH_WAIT_MS);
    if (startMs > KELVORA_LAUNCH_WAIT_MS / 2)
      add(Breach::SlowStart, startMs > KELVORA_LAUNCH_WAIT_MS ? Verdict::Fail : Verdict::Warn,
          "link window after " + std::to_string(startMs) + " ms, of the plug-in's " +
              std::to_string(KELVORA_LAUNCH_WAIT_MS));
    play();
    endClient();
  }

  std::string played;
  for (const auto& s : run.sent) played += (played.empty() ? "" : ", ") + s.first + " x" + std::to_string(s.second);
  if (!played.empty()) printf("sent %s\n", played.c_str());
  std::vector<double> sorted = run.answers;
  std::sort(sorted.begin(), sorted.end());
  if (!sorted.empty())
    printf("%u messages answered: median %.2f ms, slowest %.2f ms (%s)\n",
           static_cast<unsigned>(sorted.size()), sorted[sorted.size() / 2], run.slowest,
           run.slowestName.c_str());
  fputs(("\n" + formatFindings(run.findings)).c_str(), stdout);
  fflush(stdout);
  return findingsStatus(run.findings);
}
