#include "wine_test_support.h"

#include "link/client_locator.h"
#include "tools/linkmon/linkmon_json.h"
#include "tools/picturecheck/client_log.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <sstream>

namespace {
// Into a pipe, a program's output is held in blocks and lost when ctest stops it at its limit:
// every Windows-side test writes through at once, so a test that hangs shows how far it got.
const int outputWrittenThrough = setvbuf(stdout, nullptr, _IONBF, 0) | setvbuf(stderr, nullptr, _IONBF, 0);
}  // namespace

std::string programBesideTest(const char* fileName) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  size_t slash = dir.find_last_of("\\/");
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  return dir + fileName;
}

std::string windowsPath(const char* variable) {
  const char* value = getenv(variable);
  if (!value || !*value) ADD_FAILURE() << variable << " names no folder";
  std::string path = std::string("Z:") + (value ? value : "");
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

HWND waitForDialog(const char* caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND dialog = FindWindowA("#32770", caption);
    if (dialog && IsWindowVisible(dialog)) return dialog;
    if (GetTickCount() - start >= timeoutMs * ZUROV_WAIT_SCALE) return nullptr;
    Sleep(10);
  }
}

bool waitForWindowGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeoutMs * ZUROV_WAIT_SCALE) return false;
    Sleep(10);
  }
  return true;
}

std::string dialogItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void pressDialogButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {
BOOL CALLBACK cancelIfOwnDialog(HWND window, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[16];
  GetClassNameA(window, name, sizeof name);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0)
    pressDialogButton(window, IDCANCEL);
  return TRUE;
}

// Presses Cancel in every visible dialog of this process.
void cancelOwnDialogs() { EnumWindows(cancelIfOwnDialog, 0); }
}  // namespace

DialogWatcher::DialogWatcher(const char* caption, std::function<void(HWND)> action)
    : caption_(caption), action_(std::move(action)) {
  thread_ = std::thread([this] {
    while (!stop_) {
      HWND dialog = FindWindowA("#32770", caption_.c_str());
      if (dialog && IsWindowVisible(dialog)) {
        seen_ = true;
        action_(dialog);
        // A script that failed to end its dialog would leave the test's thread stuck in it.
        if (!waitForWindowGone(dialog, 15000)) {
          ADD_FAILURE() << "dialog \"" << caption_ << "\" left open; cancelling it";
          for (int i = 0; i < 20 && IsWindow(dialog); ++i) {
            cancelOwnDialogs();  // nested ones first, or the modal loops never unwind
            waitForWindowGone(dialog, 500);
          }
        }
        return;
      }
      Sleep(10);
    }
  });
}

DialogWatcher::~DialogWatcher() { stop(); }

void DialogWatcher::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

// --- programs ---

Program startProgram(const std::string& commandLine, const Environment& env, bool keepOutput,
                     HANDLE input) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* s = strings; s && *s; s += strlen(s) + 1) {
    if (_strnicmp(s, "LINKMON_", 8) != 0 && _strnicmp(s, "KELVORA_", 8) != 0) block.append(s, strlen(s) + 1);
  }
  if (strings) FreeEnvironmentStringsA(strings);
  for (const auto& kv : env) block += kv.first + "=" + kv.second + '\0';
  block += '\0';

  Program p;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  HANDLE out = INVALID_HANDLE_VALUE;
  if (keepOutput) {
    static std::atomic<unsigned> made{0};
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, dir);
    p.outputPath = std::string(dir, n < MAX_PATH ? n : 0) + "program-output-" +
                   std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made) + ".txt";
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    out = CreateFileA(p.outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return p;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
  }
  if (input != nullptr) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = input;
  }
  std::string command = commandLine;
  PROCESS_INFORMATION pi = {};
  // Tried three times: on a loaded machine Wine has been seen to refuse one start.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) Sleep(500);
    started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, keepOutput || input != nullptr, 0,
                             &block[0], nullptr, &si, &pi);
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (!started) return p;
  CloseHandle(pi.hThread);
  p.pid = pi.dwProcessId;
  p.process = pi.hProcess;
  return p;
}

DWORD finishProgram(Program* p, DWORD timeoutMs, std::string* output) {
  DWORD code = 0xFFFFFFFF;
  if (p->process) {
    if (WaitForSingleObject(p->process, timeoutMs * ZUROV_WAIT_SCALE) != WAIT_OBJECT_0)
      TerminateProcess(p->process, WAIT_TIMEOUT);
    WaitForSingleObject(p->process, 5000);
    GetExitCodeProcess(p->process, &code);
    CloseHandle(p->process);
    p->process = nullptr;
  }
  if (output) *output = p->outputPath.empty() ? "" : readFile(p->outputPath);
  if (!p->outputPath.empty()) DeleteFileA(p->outputPath.c_str());
  return code;
}

DWORD runProgram(const std::string& commandLine, DWORD timeoutMs, std::string* output, const Environment& env) {
  Program p = startProgram(commandLine, env);
  return finishProgram(&p, timeoutMs, output);
}

bool playUntil(const Program& p, const char* pageClass, const std::function<bool()>& played, DWORD timeoutMs) {
  // A look reads logs or the screen: once in 100 ms, so that the test leaves the processor to
  // the browser and the client on a loaded machine (a client starved past the module's send
  // timeout loses an object).
  bool held = false;
  DWORD lastLook = GetTickCount() - 100;
  pumpUntil([&] {
    bool ended = WaitForSingleObject(p.process, 0) != WAIT_TIMEOUT;
    if (!ended && GetTickCount() - lastLook < 100) return false;
    lastLook = GetTickCount();
    return (held = played()) || ended;
  }, timeoutMs);
  if (HWND page = findProcessWindow(p.pid, pageClass)) PostMessageA(page, WM_CLOSE, 0, 0);
  return held;
}

// --- linkmon ---

namespace {
bool pictureClientIsLinkmon() {
  const char* client = getenv("ZUROV_PICTURE_CLIENT");
  return client && strcmp(client, "linkmon") == 0;
}
}  // namespace

LinkmonProcess startLinkmon(const std::string& args, const Environment& env) {
  return startProgram("\"" + programBesideTest("linkmon.exe") + "\" --lifetime 60000 " + args, env, false);
}

LinkmonProcess startPictureClient(const std::string& log) {
  if (pictureClientIsLinkmon()) {
    LinkmonProcess p = startLinkmon("--quiet --lifetime 600000 --log \"" + log + "\"");
    waitForLinkmonWindow(p, 60000);
    return p;
  }
  LinkmonProcess p = startProgram("\"" + programBesideTest("kelvora_client.exe") + "\"", {{"KELVORA_SAMPLE_LOG", log}}, false);
  pumpUntil([] { return FindWindowA("KelvoraLink", "Kelvora sample client") != nullptr; }, 60000);
  return p;
}

void stopPictureClient(LinkmonProcess* client) {
  if (pictureClientIsLinkmon()) {
    stopLinkmon(client);
  } else {
    closeSampleClient();
    if (client->process) CloseHandle(client->process);
    client->process = nullptr;
  }
}

void lookAtPicture(PictureLook* look, const std::string& clientLog) {
  look->seen = checkPicture(clientLog);
  if (look->seen.covered.empty() || GetTickCount() - look->lastRepaint < 1000) return;
  look->lastRepaint = GetTickCount();
  for (unsigned long box : look->seen.covered) {
    // No RDW_UPDATENOW: the box belongs to another process, which paints it in its own time.
    RedrawWindow(reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(box))), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    ++look->repaints;
  }
}

namespace {
struct WindowSearch {
  DWORD pid;
  const char* className;
  HWND found;
};

BOOL CALLBACK matchProcessWindow(HWND hwnd, LPARAM lParam) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char name[64];
  if (pid == search->pid && GetClassNameA(hwnd, name, sizeof name) &&
      strcmp(name, search->className) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND findProcessWindow(DWORD pid, const char* className) {
  WindowSearch search = {pid, className, nullptr};
  EnumWindows(matchProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitForLinkmonWindow(const LinkmonProcess& p, DWORD timeoutMs) {
  // The session's first program with a window also starts Wine's desktop: in the emulated
  // PC under load that has taken over 30 s. While linkmon runs, at least 2 minutes.
  if (timeoutMs < 120000) timeoutMs = 120000;
  HWND found = nullptr;
  pumpUntil(
      [&] {
        found = findProcessWindow(p.pid, "KelvoraLink");
        return found != nullptr || WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0;
      },
      timeoutMs);
  // Its thread answering too. The window exists before that thread reaches its message
  // loop, and a thread that has not asked for a message for 5 s since its queue was made
  // counts as hung: every send with SMTO_ABORTIFHUNG then fails at once (a loaded or
  // emulated machine). WaitForInputIdle cannot tell: linkmon is a console program, for
  // which it returns at once. A plain send waits until the thread takes it from its loop.
  DWORD_PTR answer = 0;
  if (found != nullptr &&
      !SendMessageTimeoutA(found, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs * ZUROV_WAIT_SCALE, &answer))
    found = nullptr;
  return found;
}

DWORD waitForLinkmonExit(const LinkmonProcess& p, DWORD timeoutMs) {
  if (WaitForSingleObject(p.process, timeoutMs * ZUROV_WAIT_SCALE) != WAIT_OBJECT_0)
    return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(p.process, &code);
  return code;
}

DWORD stopLinkmon(LinkmonProcess* p, DWORD timeoutMs) {
  if (!p->process) return LINKMON_TERMINATED;
  HWND control = findProcessWindow(p->pid, "KelvoraLinkMonitor");
  if (control) PostMessageA(control, WM_CLOSE, 0, 0);
  DWORD code = waitForLinkmonExit(*p, timeoutMs);
  if (code == STILL_ACTIVE) {
    TerminateProcess(p->process, LINKMON_TERMINATED);
    WaitForSingleObject(p->process, 5000);
    code = LINKMON_TERMINATED;
  }
  CloseHandle(p->process);
  p->process = nullptr;
  return code;
}

std::vector<LinkmonLogEntry> readLinkmonLog(const std::string& path) {
  std::vector<LinkmonLogEntry> entries;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return entries;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);

  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (!parseLinkmonJson(text.substr(start, end - start), &fields)) continue;
    LinkmonLogEntry e;
    for (const auto& kv : fields) {
      const std::string& k = kv.first;
      const std::string& v = kv.second;
      unsigned long long number = strtoull(v.c_str(), nullptr, 10);
      if (k == "event") e.event = v;
      else if (k == "seq") e.seq = static_cast<uint32_t>(number);
      else if (k == "code") e.code = static_cast<uint32_t>(number);
      else if (k == "name") e.name = v;
      else if (k == "linkId") e.linkId = number;
      else if (k == "cbData") e.cbData = static_cast<uint32_t>(number);
      else if (k == "nullData") e.nullData = v == "true";
      else if (k == "reply") e.reply = static_cast<uint32_t>(number);
      else if (k == "pid") e.pid = static_cast<uint32_t>(number);
      else if (k == "hwnd") e.hwnd = number;
      else if (k == "commandLine") e.commandLine = v;
      else if (k == "data") {
        for (size_t j = 0; j + 1 < v.size(); j += 2)
          e.data.push_back(static_cast<unsigned char>(strtoul(v.substr(j, 2).c_str(), nullptr, 16)));
      }
    }
    entries.push_back(e);
  }
  return entries;
}

std::vector<LinkmonLogEntry> linkmonStarts(const std::vector<LinkmonLogEntry>& log) {
  std::vector<LinkmonLogEntry> starts;
  for (const LinkmonLogEntry& e : log)
    if (e.event == "start") starts.push_back(e);
  return starts;
}

void closeLinkmon(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  if (!process) return;  // already gone
  // One still starting has no control window yet. One left running would go on answering
  // later pages' objects with identifiers of its own, mixed into the next reading of the log.
  HWND control = nullptr;
  pumpUntil([&] {
    control = findProcessWindow(pid, "KelvoraLinkMonitor");
    return control != nullptr || WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
  }, 5000);
  if (control) PostMessageA(control, WM_CLOSE, 0, 0);
  // Only a process whose control window was seen is linkmon for sure (identifiers are reused).
  if (WaitForSingleObject(process, 5000 * ZUROV_WAIT_SCALE) == WAIT_TIMEOUT && control) {
    TerminateProcess(process, LINKMON_TERMINATED);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
}

std::vector<LinkmonLogEntry> linkmonMessages(const std::vector<LinkmonLogEntry>& log) {
  std::vector<LinkmonLogEntry> messages;
  for (const LinkmonLogEntry& e : log)
    if (e.event == "message") messages.push_back(e);
  return messages;
}

std::string newLinkmonLogPath(const char* tag) {
  char dir[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir, n < MAX_PATH ? n : 0) + "linkmon-" + tag + "-" +
                     std::to_string(GetCurrentProcessId()) + ".log";
  DeleteFileA(path.c_str());
  return path;
}

namespace {
BOOL CALLBACK findEdit(HWND child, LPARAM found) {
  char name[16];
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}
}  // namespace

void chooseInFileDialog(HWND dialog, const char* path) {
  // The file name field: an edit (edt1), or the edit inside a combo box (cmb13).
  HWND field = GetDlgItem(dialog, edt1);
  if (!field) {
    HWND combo = GetDlgItem(dialog, cmb13);
    if (combo) EnumChildWindows(combo, findEdit, reinterpret_cast<LPARAM>(&field));
  }
  if (field) SetWindowTextA(field, path);
  pressDialogButton(dialog, IDOK);
}

// --- The launch command in the registry ---

HKEY openLaunchKey() {
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_USERS, LAUNCH_COMMAND_KEY, &key);
  return key;
}

std::string registryCommand() {
  HKEY key = openLaunchKey();
  char text[1024] = {};
  LONG size = sizeof text;
  LONG status = RegQueryValueA(key, LAUNCH_COMMAND_SUBKEY, text, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(text) : std::string("<absent>");
}

void setRegistryCommand(const std::string& command) {
  HKEY key = openLaunchKey();
  RegSetValueA(key, LAUNCH_COMMAND_SUBKEY, REG_SZ, command.c_str(),
               static_cast<DWORD>(command.size()));
  RegCloseKey(key);
}

void deleteRegistryCommand() {
  HKEY key = openLaunchKey();
  RegDeleteKeyA(key, LAUNCH_COMMAND_SUBKEY);
  RegCloseKey(key);
}

std::string userRegistryCommand() {
  HKEY key = nullptr;
  char text[1024] = {};
  LONG size = sizeof text;
  LONG status = RegOpenKeyA(HKEY_CURRENT_USER, LAUNCH_COMMAND_USER_KEY, &key);
  if (status == ERROR_SUCCESS) status = RegQueryValueA(key, LAUNCH_COMMAND_SUBKEY, text, &size);
  if (key) RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(text) : std::string("<absent>");
}

void setUserRegistryCommand(const std::string& command) {
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, LAUNCH_COMMAND_USER_KEY, &key);
  RegSetValueA(key, LAUNCH_COMMAND_SUBKEY, REG_SZ, command.c_str(),
               static_cast<DWORD>(command.size()));
  RegCloseKey(key);
}

void deleteUserRegistryCommand() {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, LAUNCH_COMMAND_USER_KEY, &key) != ERROR_SUCCESS) return;
  RegDeleteKeyA(key, LAUNCH_COMMAND_SUBKEY);
  RegCloseKey(key);
}

LaunchCommandsKept::LaunchCommandsKept()
    : machine_(registryCommand()), own_(userRegistryCommand()) {
  deleteUserRegistryCommand();
}

LaunchCommandsKept::~LaunchCommandsKept() {
  if (machine_ == "<absent>")
    deleteRegistryCommand();
  else
    setRegistryCommand(machine_);
  if (own_ == "<absent>")
    deleteUserRegistryCommand();
  else
    setUserRegistryCommand(own_);
}

// --- Message boxes ---

namespace {

BOOL CALLBACK inspectBoxChild(HWND child, LPARAM param) {
  MessageBoxSeen& seen = *reinterpret_cast<MessageBoxSeen*>(param);
  char className[32] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
    seen.buttonIds.push_back(GetDlgCtrlID(child));
  } else if (lstrcmpiA(className, "Static") == 0) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    } else {
      char text[512] = {};
      GetWindowTextA(child, text, sizeof text);
      if (text[0] != '\0') seen.text = text;
    }
  }
  return TRUE;
}

}  // namespace

void watchForMessageBox(const char* caption, MessageBoxSeen* seen) {
  for (int i = 0; i < 500 * ZUROV_WAIT_SCALE && !seen->found; ++i) {
    HWND box = FindWindowA("#32770", caption);
    if (box == nullptr) {
      Sleep(10);
      continue;
    }
    seen->found = true;
    seen->owner = GetWindow(box, GW_OWNER);
    char text[64] = {};
    GetWindowTextA(box, text, sizeof text);
    seen->caption = text;
    EnumChildWindows(box, inspectBoxChild, reinterpret_cast<LPARAM>(seen));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
}

std::thread startMessageBoxWatcher(const char* caption, MessageBoxSeen* seen) {
  std::atomic<bool> running{false};
  std::thread watcher([caption, seen, &running] {
    running = true;
    watchForMessageBox(caption, seen);
  });
  while (!running) Sleep(1);
  return watcher;
}

std::string readFile(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  fclose(f);
  return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    ADD_FAILURE() << "cannot write " << path;
    return;
  }
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

void expectLinkMessages(const std::vector<LinkmonLogEntry>& sent,
                        const ExpectedLinkMessage* expected, size_t count) {
  EXPECT_EQ(count, sent.size()) << "link messages received";
  for (size_t i = 0; i < count && i < sent.size(); ++i) {
    EXPECT_EQ(expected[i].code, sent[i].code) << "message " << i;
    if (expected[i].linkId != ANY_LINK_ID) {
      EXPECT_EQ(expected[i].linkId, sent[i].linkId) << "message " << i << ", code " << sent[i].code;
    }
  }
}

std::function<LRESULT(WPARAM)> threadClientAnswer;  // one ThreadClient at a time
LRESULT CALLBACK threadClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) return threadClientAnswer(wParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

ThreadClient::ThreadClient(std::function<LRESULT(WPARAM)> answer) {
  threadClientAnswer = std::move(answer);
  WNDCLASSA wc = {0, threadClientProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr,
                  nullptr, nullptr, LINK_WINDOW_CLASS};
  RegisterClassA(&wc);  // the first time
  thread = std::thread([this] {
    window = CreateWindowExA(0, LINK_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ready = true;
    MSG msg;
    while (window != nullptr && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
  });
  while (!ready) Sleep(1);
  EXPECT_NE(nullptr, window);
}

ThreadClient::~ThreadClient() {
  if (window != nullptr) PostMessageA(window, WM_QUIT, 0, 0);
  thread.join();
}

bool sampleClientShowedAll(const std::string& logPath, size_t lentWindows) {
  std::map<unsigned long, LentWindow> lent = ::lentWindows(readFile(logPath));
  return lent.size() >= lentWindows &&
         std::all_of(lent.begin(), lent.end(), [](const auto& l) { return l.second.inside; }) &&
         std::any_of(lent.begin(), lent.end(), [](const auto& l) { return l.second.shown; });
}

size_t expectSampleClientChildWindows(const std::string& logPath, size_t lentWindows) {
  std::map<unsigned long, LentWindow> lent = ::lentWindows(readFile(logPath));
  EXPECT_EQ(lentWindows, lent.size()) << readFile(logPath);
  size_t shown = 0;
  for (const auto& l : lent) {
    EXPECT_TRUE(l.second.inside) << l.second.last;
    EXPECT_TRUE(l.second.left) << "the child window stayed in lent window " << std::hex << l.first;
    shown += l.second.shown;
  }
  return shown;
}

void closeSampleClient() {
  HWND link = FindWindowA("KelvoraLink", "Kelvora sample client");
  DWORD pid = 0;
  GetWindowThreadProcessId(link, &pid);
  HANDLE process = link ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
  if (!process) return;
  PostMessageA(link, WM_CLOSE, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 5000 * ZUROV_WAIT_SCALE));
  CloseHandle(process);
}

