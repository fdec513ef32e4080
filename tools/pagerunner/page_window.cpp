#include "tools/pagerunner/page_window.h"

#include <cstdio>
#include <cstring>

#include "tools/pagerunner/run_report.h"

const wchar_t* const PAGE_CLASS = L"PageRunnerPage";
const wchar_t* const OBJECT_CLASS_W = L"PageRunnerObjectW";
const char* const OBJECT_CLASS_A = "PageRunnerObjectA";

namespace {

bool closed = false;

LRESULT CALLBACK pageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {  // the person is done looking; teardown follows in main
    closed = true;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The page's own procedure for plug-in windows: draws a frame and says that WM_PAINT
// arrived, so the trace shows paints passing through whatever the module installed.
LRESULT objectProc(bool unicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    int number = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    say("[%d] WM_PAINT reached the page's window procedure (%s)", number, hwndText(hwnd).c_str());
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    char label[64];
    snprintf(label, sizeof label, " [%d] application/x-kvla", number);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 4, 4, label, static_cast<int>(strlen(label)));
    EndPaint(hwnd, &ps);
    return 0;
  }
  return unicode ? DefWindowProcW(hwnd, msg, wParam, lParam)
                 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK objectProcW(HWND h, UINT m, WPARAM w, LPARAM l) { return objectProc(true, h, m, w, l); }
LRESULT CALLBACK objectProcA(HWND h, UINT m, WPARAM w, LPARAM l) { return objectProc(false, h, m, w, l); }

}  // namespace

bool pageClosed() { return closed; }

LONG_PTR pageObjectProcedure(HWND window) {
  return reinterpret_cast<LONG_PTR>(IsWindowUnicode(window) ? objectProcW : objectProcA);
}

bool registerClasses() {
  HINSTANCE self = GetModuleHandleW(nullptr);
  WNDCLASSW page = {};
  page.lpfnWndProc = pageProc;
  page.hInstance = self;
  page.hCursor = LoadCursor(nullptr, IDC_ARROW);
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  page.lpszClassName = PAGE_CLASS;
  WNDCLASSW objW = {};
  objW.lpfnWndProc = objectProcW;
  objW.hInstance = self;
  objW.lpszClassName = OBJECT_CLASS_W;
  WNDCLASSA objA = {};
  objA.lpfnWndProc = objectProcA;
  objA.hInstance = self;
  objA.lpszClassName = OBJECT_CLASS_A;
  return RegisterClassW(&page) && RegisterClassW(&objW) && RegisterClassA(&objA);
}

void pumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    DWORD elapsed = GetTickCount() - start;
    if (ms == 0 || elapsed >= ms || closed) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

// ---- The objects of the page ------------------------------------------------------------
