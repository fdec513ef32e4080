// Helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <string>

// Full path of a program built beside the running test (tools and tests share bin/).
std::string programBesideTest(const char* fileName);

// Dispatches this thread's messages until `done()` holds or `timeoutMs` passes.
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
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}
