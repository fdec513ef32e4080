// zurov-link.exe: the native-messaging host. The browser starts it for a tab's first Kelvora
// object and talks to it on its standard handles; it speaks the link protocol to the client
// application, as the module does, and keeps one borderless window per object.
//
// One thread reads the standard input into a bounded queue of frames (bridge/input_queue.h);
// the main thread takes them from it between window messages, so that a message from the page
// is never handled inside another (the client launch's wait and dialog dispatch window
// messages, not frames).
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/bridge_session.h"
#include "bridge/host_arguments.h"
#include "bridge/host_system.h"
#include "bridge/input_queue.h"
#include "link/stack_guard.h"

namespace {

struct SharedInput {
  CRITICAL_SECTION lock;
  HANDLE ready;    // set when frames arrived or the input ended
  HANDLE drained;  // set when a frame has been handled
  InputQueue queue;
};
SharedInput input;

DWORD WINAPI readInput(LPVOID) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::vector<char> buffer(65536);
  NativeFrameReader reader = {};
  std::vector<NativeFrame> frames;
  for (;;) {
    DWORD got = 0;
    bool ok = ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0;
    if (ok) readNativeFrames(reader, reinterpret_cast<const unsigned char*>(buffer.data()), got, frames);
    EnterCriticalSection(&input.lock);
    queueFrames(input.queue, frames);
    if (!ok) input.queue.ended = true;
    LeaveCriticalSection(&input.lock);
    SetEvent(input.ready);
    if (!ok) return 0;
    // No more reading while too much waits unhandled: the pipe holds the rest.
    for (;;) {
      EnterCriticalSection(&input.lock);
      bool full = inputQueueFull(input.queue);
      LeaveCriticalSection(&input.lock);
      if (!full) break;
      WaitForSingleObject(input.drained, INFINITE);
    }
  }
}

bool framesWaiting() {
  EnterCriticalSection(&input.lock);
  bool waiting = !input.queue.frames.empty();
  LeaveCriticalSection(&input.lock);
  return waiting;
}

// Handles the next frame, if one waits; false once the input has ended and none waits.
bool takeInput(BridgeSession& session) {
  NativeFrame frame;
  EnterCriticalSection(&input.lock);
  bool got = takeFrame(input.queue, &frame);
  bool ended = input.queue.ended;
  LeaveCriticalSection(&input.lock);
  if (!got) return !ended;
  handleBridgeFrame(session, frame);
  EnterCriticalSection(&input.lock);
  frameHandled(input.queue, frame);
  LeaveCriticalSection(&input.lock);
  SetEvent(input.drained);
  return true;
}

void dispatchWaitingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;  // the host ends with its input, not on request
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int runHost(int argc, char** argv) {
  HostWindows windows = {};
  windows.owner = browserOwnerWindow(parentWindowArgument(argc, argv));
  BridgeSession& session = startHostSession(windows);

  InitializeCriticalSection(&input.lock);
  input.ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  input.drained = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (input.ready == nullptr || input.drained == nullptr) return 1;
  HANDLE reader = CreateThread(nullptr, 0, readInput, nullptr, 0, nullptr);
  if (reader == nullptr) return 1;

  // One frame, then the window messages that wait: paints and the lease check keep up with
  // a busy input.
  for (;;) {
    MsgWaitForMultipleObjects(1, &input.ready, FALSE, framesWaiting() ? 0 : INFINITE, QS_ALLINPUT);
    if (!takeInput(session)) break;
    dispatchWaitingMessages();
  }
  // The port closed or the browser quit: nothing will destroy the objects but the host.
  endBridgeSession(session);
  return 0;
}

}  // namespace

// The stack guard gets its value before any protected frame of the host exists.
__attribute__((no_stack_protector)) int main(int argc, char** argv) {
  seedStackGuard();
  return runHost(argc, argv);
}
