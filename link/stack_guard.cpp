#include "link/stack_guard.h"

#include <windows.h>

#include <stdint.h>

extern "C" {

// Mixed at attach; zero only until then.
uintptr_t __stack_chk_guard;

// An overwritten frame: nothing of this process can be trusted to run any more, not even an
// exception handler, so it ends at once with the code Windows gives a stack buffer overrun.
[[noreturn]] void __stack_chk_fail() {
  TerminateProcess(GetCurrentProcess(), 0xC0000409u);
  for (;;) {
  }
}

}  // extern "C"

// Takes the address of a local, so it would be protected: changing the guard inside a
// checked frame would fail its own check.
__attribute__((no_stack_protector)) void seedStackGuard() {
  // Sources that need no C runtime: a fine counter, the clock, the thread, and where this
  // image and this stack happen to lie.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t mix = static_cast<uintptr_t>(counter.QuadPart) ^
                  static_cast<uintptr_t>(counter.QuadPart >> 32) ^
                  (static_cast<uintptr_t>(GetTickCount()) << 7) ^
                  GetCurrentThreadId() ^ reinterpret_cast<uintptr_t>(&counter) ^
                  reinterpret_cast<uintptr_t>(&__stack_chk_guard);
  // A zero byte at the bottom stops string copies from running on into the cookie unseen.
  __stack_chk_guard = mix & ~static_cast<uintptr_t>(0xFF);
}
