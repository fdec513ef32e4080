// Helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/picturecheck/screen_picture.h"

// How many times longer every wait of these tests may last: the i686 tests run in the
// emulated i386 PC, several times slower than this machine (tests/wine/CMakeLists.txt).
#ifndef ZUROV_WAIT_SCALE
#define ZUROV_WAIT_SCALE 1
#endif

// Full path of a program built beside the running test (tools and tests share bin/).
std::string programBesideTest(const char* fileName);

// The Windows path of the folder that the environment variable `variable` names (Wine maps
// / to drive Z:); a variable the test is not given fails it.
std::string windowsPath(const char* variable);

// The whole file at `path`; empty when it cannot be read.
std::string readFile(const std::string& path);

// Writes `bytes` as the whole file at `path`; a file that cannot be written fails the test.
void writeFile(const std::string& path, const std::string& bytes);

// The record a message carries; all zero unless the payload is exactly one record.
template <typename Record>
Record recordIn(const std::vector<unsigned char>& data) {
  Record r = {};
  if (data.size() == sizeof r) memcpy(&r, data.data(), sizeof r);
  return r;
}

// Dispatches this thread's messages until `done()` holds or `timeoutMs` (scaled) passes.
// Returns whether `done()` held.
template <typename Predicate>
bool pumpUntil(Predicate done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs * ZUROV_WAIT_SCALE) return false;
    Sleep(5);
  }
}

// Dialog automation from a second thread, while the thread under test runs a modal dialog.

// Waits until a visible dialog (class "#32770") with this caption exists; null on timeout.
HWND waitForDialog(const char* caption, DWORD timeoutMs);

// Waits until `window` no longer exists. Returns whether it went away in time.
bool waitForWindowGone(HWND window, DWORD timeoutMs);

// The text of control `id` of `dialog` (at most 511 characters).
std::string dialogItemText(HWND dialog, int id);

// Sends a button click of control `id` to `dialog` as the button itself would
// (WM_COMMAND with BN_CLICKED and the button's handle), posted so it is never blocking.
void pressDialogButton(HWND dialog, int id);

// In a common Open or Save dialog: types `path` into the file name field and presses OK.
void chooseInFileDialog(HWND dialog, const char* path);

// Runs `action` once, on its own thread, as soon as a visible dialog with `caption` exists,
// while the test's thread sits in the dialog's modal loop. The action must end the dialog;
// one still open 15 s later fails the test and is cancelled.
// stop() (also run by the destructor) ends the watch and waits for the thread.
class DialogWatcher {
 public:
  DialogWatcher(const char* caption, std::function<void(HWND)> action);
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;
  void stop();
  bool seen() const { return seen_; }

 private:
  std::string caption_;
  std::function<void(HWND)> action_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  std::thread thread_;
};

// Programs the tests start: one way to start, run and finish any of them.

// A started program; `process` is null when it could not be started.
struct Program {
  DWORD pid = 0;
  HANDLE process = nullptr;
  std::string outputPath;  // its standard output and error, when kept
};
typedef Program LinkmonProcess;
typedef std::vector<std::pair<std::string, std::string>> Environment;

// Starts `commandLine`. Its environment is this process's without the LINKMON_ and KELVORA_
// variables (each test says what the client reads), then `env`. With `keepOutput` both its
// output streams go to a new temporary file that finishProgram reads; `input`, when given
// (inheritable), is its standard input.
Program startProgram(const std::string& commandLine, const Environment& env = {},
                     bool keepOutput = true, HANDLE input = nullptr);

// Waits up to `timeoutMs` (scaled) for the program to end, and ends it after that. Returns
// its exit code (WAIT_TIMEOUT when it had to be ended), its output in `output` when given;
// the handle is closed and the output file deleted.
DWORD finishProgram(Program* program, DWORD timeoutMs, std::string* output = nullptr);

// Both at once.
DWORD runProgram(const std::string& commandLine, DWORD timeoutMs, std::string* output = nullptr,
                 const Environment& env = {});

// Lets a program that shows a page run, pumping this thread's messages, until `played()`
// (looked at every 100 ms) holds, the program ends, or `timeoutMs` (scaled) passes; then closes the page as a person
// does: WM_CLOSE to the program's window of class `pageClass`. Returns whether `played()`
// held. finishProgram then waits for its end.
bool playUntil(const Program& program, const char* pageClass, const std::function<bool()>& played,
               DWORD timeoutMs);

// linkmon.exe, the stand-in client application, as a separate process.

// Starts linkmon.exe from beside the test as startProgram does, its output not kept: the
// command line is the quoted program path, "--lifetime 60000" (so a forgotten process ends
// by itself; a later --lifetime overrides it), then `args` as given.
LinkmonProcess startLinkmon(const std::string& args, const Environment& env = {});

// The top-level window of class `className` that belongs to process `pid`, hidden ones too.
HWND findProcessWindow(DWORD pid, const char* className);

// Waits, pumping this thread's messages, until linkmon has its "KelvoraLink" window and
// that window's thread takes messages from its loop; null on timeout (never under 2
// minutes, scaled) or when the process ends first.
HWND waitForLinkmonWindow(const LinkmonProcess& p, DWORD timeoutMs);

// Waits up to `timeoutMs` for linkmon to end by itself. Returns its exit code, or
// STILL_ACTIVE when it still runs; the handle stays open.
DWORD waitForLinkmonExit(const LinkmonProcess& p, DWORD timeoutMs);

// Stops linkmon: WM_CLOSE to its "KelvoraLinkMonitor" window, waits up to `timeoutMs`,
// and only then TerminateProcess. Returns the exit code (LINKMON_TERMINATED when it had to
// be terminated) and closes the handle.
const DWORD LINKMON_TERMINATED = 0xDEAD;
DWORD stopLinkmon(LinkmonProcess* p, DWORD timeoutMs = 5000);

// Ends one linkmon known only by its process ID (one the module launched): WM_CLOSE to its
// control window once it has one, a wait of up to 5 s (scaled) for the process, and only then
// TerminateProcess (when that window was seen).
void closeLinkmon(DWORD pid);

// A client application on a thread of this process: a hidden "KelvoraLink" window whose
// WM_COPYDATA `answer(code)` answers there, and may send back to the browser's thread.
struct ThreadClient {
  explicit ThreadClient(std::function<LRESULT(WPARAM code)> answer);
  ~ThreadClient();
  HWND window = nullptr;
  std::atomic<bool> ready{false};
  std::thread thread;
};

// One line of linkmon's JSON log; fields a line does not have keep their defaults.
struct LinkmonLogEntry {
  std::string event;  // "start", "window", "message" or "exit"
  uint32_t seq = 0;
  uint32_t code = 0;
  std::string name;
  uint64_t linkId = 0;  // dwData
  uint32_t cbData = 0;
  bool nullData = false;
  std::vector<unsigned char> data;
  uint32_t reply = 0;
  uint32_t pid = 0;
  uint64_t hwnd = 0;
  std::string commandLine;
};

// Reads linkmon's log; an unfinished last line is left out.
std::vector<LinkmonLogEntry> readLinkmonLog(const std::string& path);

// One expected link message: its code and the link identifier it carries (ANY_LINK_ID: not
// checked). Tests of a sequence keep a static table of these.
const uint64_t ANY_LINK_ID = ~0ull;
struct ExpectedLinkMessage {
  uint32_t code;
  uint64_t linkId;
};

// Checks that `sent` holds exactly the `count` messages of `expected`, in order; each
// difference names the message's position and code.
void expectLinkMessages(const std::vector<LinkmonLogEntry>& sent,
                        const ExpectedLinkMessage* expected, size_t count);
template <size_t N>
void expectLinkMessages(const std::vector<LinkmonLogEntry>& sent,
                        const ExpectedLinkMessage (&expected)[N]) {
  expectLinkMessages(sent, expected, N);
}

// Only the "start" entries of a log: one per linkmon process that logged there.
std::vector<LinkmonLogEntry> linkmonStarts(const std::vector<LinkmonLogEntry>& log);

// Only the "message" entries of a log.
std::vector<LinkmonLogEntry> linkmonMessages(const std::vector<LinkmonLogEntry>& log);

// A path in the temporary folder for a new log; any old file there is deleted.
std::string newLinkmonLogPath(const char* tag);

// The launch command in the registry (HKEY_USERS ".Default\Software\Belcor\Netscape Plugin",
// sub-key "LaunchOrbiplayCommand"), read and written directly.
HKEY openLaunchKey();           // the caller closes it
std::string registryCommand();  // "<absent>" when the sub-key is missing
void setRegistryCommand(const std::string& command);
void deleteRegistryCommand();
// The same under HKEY_CURRENT_USER "Software\Belcor\Netscape Plugin", the user's own key.
std::string userRegistryCommand();  // "<absent>" when the key or sub-key is missing
void setUserRegistryCommand(const std::string& command);
void deleteUserRegistryCommand();
// Both launch commands kept as they were for the life of the object; the user's own, which
// the module reads first, is absent meanwhile.
class LaunchCommandsKept {
 public:
  LaunchCommandsKept();
  ~LaunchCommandsKept();

 private:
  std::string machine_, own_;
};

// What a watcher saw of a message box.
struct MessageBoxSeen {
  bool found = false;
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  HICON icon = nullptr;  // compare with LoadIconA(nullptr, IDI_WARNING) on the test's thread
  std::vector<int> buttonIds;
};

// Run on its own thread: waits up to 5 s for a message box with `caption`, reads it into
// `seen` and presses OK. It loads nothing, so it also works while the box's thread holds the
// loader lock (a box shown from a library entry routine).
void watchForMessageBox(const char* caption, MessageBoxSeen* seen);

// Runs watchForMessageBox on a new thread and returns once that thread is running: a thread
// still starting up needs the loader lock, which a box shown from a library entry routine
// holds until the box is closed.
std::thread startMessageBoxWatcher(const char* caption, MessageBoxSeen* seen);

// The sample client application (examples/client) and the log it writes where
// KELVORA_SAMPLE_LOG says.
// Checks from that log that the client's child window sat in each of `lentWindows` lent
// windows: the last time it looked, inside the lent window, visible and at its client size;
// and that it left each of them. Returns how many of those lent windows the browser showed
// then (browsers hide the windows of objects outside the view).
size_t expectSampleClientChildWindows(const std::string& logPath, size_t lentWindows);
// True once that log shows its child window inside `lentWindows` lent windows, as the
// expectation above checks it, and one of those windows shown.
bool sampleClientShowedAll(const std::string& logPath, size_t lentWindows);
// Ends the running sample client: WM_CLOSE to its link window, then a wait of up to 5 s.
void closeSampleClient();

// The client of the picture tests, logging to `log`: the sample client, or linkmon when
// ZUROV_PICTURE_CLIENT is "linkmon" (it draws nothing: every picture test must then fail).
// Returns once its link window is there; a null process when it did not start.
LinkmonProcess startPictureClient(const std::string& log);
// Ends it: WM_CLOSE to its window, then a wait.
void stopPictureClient(LinkmonProcess* client);

// The picture as the screen shows it now (checkPicture), looked at again and again while a
// page plays. Under Wine 10 the browser's first paints of a lent window and the client's first
// drawing in its new child there can race, and the box keep the browser's paint until the next
// repaint (docs/design-notes.md). A box the client drew in that shows no picture is repainted,
// as uncovering the window would repaint it, at most once a second; `repaints` counts them.
struct PictureLook {
  PictureVerdict seen;
  unsigned repaints = 0;
  DWORD lastRepaint = 0;
};
void lookAtPicture(PictureLook* look, const std::string& clientLog);

