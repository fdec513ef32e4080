// Lists the host's object windows, or follows the first one's place: a probe of the test and
// the benchmark of the extension and the host (tests/today_browser), run in the Wine session.
//   object_windows            one line per window: "shown|hidden x y width height", then the
//                             part of it the system shows (its region cut to it): "x y width height"
//   object_windows --follow MS   for MS milliseconds, a line "T Y" whenever the first shown
//                             window's top edge moves (T in ms since 1970, to 0.01 ms)
#include <windows.h>

#include <mmsystem.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

BOOL CALLBACK list(HWND window, LPARAM) {
  char name[64];
  if (GetClassNameA(window, name, sizeof name) && strcmp(name, "KelvoraLinkObject") == 0) {
    RECT r, part;
    GetWindowRect(window, &r);
    part = r;
    RECT cut;
    int kind = GetWindowRgnBox(window, &cut);
    if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
      OffsetRect(&cut, r.left, r.top);
      if (!IntersectRect(&part, &r, &cut)) SetRectEmpty(&part);
    }
    printf("%s %ld %ld %ld %ld %ld %ld %ld %ld\n", IsWindowVisible(window) ? "shown" : "hidden", r.left,
           r.top, r.right - r.left, r.bottom - r.top, part.left, part.top, part.right - part.left,
           part.bottom - part.top);
  }
  return TRUE;
}

HWND firstShown() {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, "KelvoraLinkObject", nullptr)) != nullptr)
    if (IsWindowVisible(window)) return window;
  return nullptr;
}

double nowMs() {
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  ULONGLONG ticks = (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return (ticks - 116444736000000000ULL) / 10000.0;  // 100 ns since 1601 -> ms since 1970
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || strcmp(argv[1], "--follow") != 0) {
    EnumWindows(list, 0);
    return 0;
  }
  timeBeginPeriod(1);
  double end = nowMs() + atoi(argv[2]);
  LONG last = LONG_MIN;
  while (nowMs() < end) {
    HWND window = firstShown();
    RECT r;
    if (window != nullptr && GetWindowRect(window, &r) && r.top != last) {
      last = r.top;
      printf("%.2f %ld\n", nowMs(), r.top);
      fflush(stdout);
    }
    Sleep(1);
  }
  return 0;
}
