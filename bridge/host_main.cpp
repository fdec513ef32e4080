// zurov-link.exe: the native-messaging host. The browser starts it for a tab's first Kelvora
// object and talks to it on its standard handles; it speaks the link protocol to the client
// application, as the module does, and keeps one borderless window per object.
//
// One thread reads the standard input into a queue; the main thread takes the frames from it
// between window messages, so that a message from the page is never handled inside another
// (the client launch's wait and dialog dispatch window messages, not frames).
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/bridge_session.h"
#include "bridge/host_arguments.h"
#include "bridge/host_system.h"
#include "link/stack_guard.h"

namespace {

struct InputQueue {
  CRITICAL_SECTION lock;
  HANDLE ready;      // set when bytes arrived or the input ended
  std::string bytes;
  bool ended;
};
InputQueue input;

DWORD WINAPI readInput(LPVOID) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    BOOL ok = ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    EnterCriticalSection(&input.lock);
    if (ok && got > 0) input.bytes.append(buffer.data(), got);
    else input.ended = true;
    bool ended = input.ended;
    LeaveCriticalSection(&input.lock);
    SetEvent(input.ready);
    if (ended) return 0;
  }
}

// Handles what the queue holds; false once the input has ended.
bool takeInput(BridgeSession& session, NativeFrameReader& reader) {
  std::string bytes;
  EnterCriticalSection(&input.lock);
  bytes.swap(input.bytes);
  bool ended = input.ended;
  LeaveCriticalSection(&input.lock);
  std::vector<NativeFrame> frames;
  readNativeFrames(reader, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                   frames);
  for (const NativeFrame& frame : frames) handleBridgeFrame(session, frame);
  return !ended;
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
  HANDLE reader = CreateThread(nullptr, 0, readInput, nullptr, 0, nullptr);
  if (input.ready == nullptr || reader == nullptr) return 1;

  NativeFrameReader frames = {};
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &input.ready, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 && !takeInput(session, frames)) break;
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
