#include "bridge/object_window.h"

namespace {

const char OBJECT_WINDOW_CLASS[] = "KelvoraLinkObject";
ObjectPaintHook paintHook = nullptr;

LRESULT CALLBACK objectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      // The client application hears of the repaint first, as from the module's windows, one
      // notice at a time. Re-entry: the send lets messages other threads send to this one
      // run, a WM_PAINT of this window among them; the session finds the object by id afresh.
      uint32_t id = static_cast<uint32_t>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (paintHook != nullptr && id != 0) paintHook(id);
      break;
    }
    case WM_MOUSEACTIVATE:
      // A click goes to the client's drawing without taking the focus from the browser.
      return MA_NOACTIVATE;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool registerObjectWindowClass(HINSTANCE instance, ObjectPaintHook paint) {
  paintHook = paint;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = objectWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = OBJECT_WINDOW_CLASS;
  return RegisterClassA(&wc) != 0;
}

HWND createObjectWindow(HINSTANCE instance, HWND owner, uint32_t id) {
  DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | (owner == nullptr ? WS_EX_TOPMOST : 0);
  HWND window = CreateWindowExA(exStyle, OBJECT_WINDOW_CLASS, "", WS_POPUP | WS_CLIPCHILDREN,
                                0, 0, 0, 0, owner, nullptr, instance, nullptr);
  if (window != nullptr) SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(id));
  return window;
}

void setObjectWindowOwner(HWND window, HWND owner) {
  SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void placeObjectWindow(HWND window, const WindowPlacement& placement, bool topmost) {
  if (!placement.show) {
    ShowWindow(window, SW_HIDE);
    return;
  }
  // The cut comes first: the window never shows uncut. Only a changed cut is set: setting one
  // repaints the window, and each repaint is a LINKMSG_PAINT to the client, which a scrolling
  // page would otherwise send every frame.
  RECT current;
  int kind = GetWindowRgnBox(window, &current);
  bool cut = kind == SIMPLEREGION || kind == COMPLEXREGION;
  const ScreenBox& r = placement.region;
  RECT wanted = {r.x, r.y, r.x + r.width, r.y + r.height};
  if (placement.wholeBox && cut) SetWindowRgn(window, nullptr, TRUE);
  // The system owns the region once it is set.
  if (!placement.wholeBox && (!cut || !EqualRect(&current, &wanted)))
    SetWindowRgn(window, CreateRectRgn(wanted.left, wanted.top, wanted.right, wanted.bottom), TRUE);
  const ScreenBox& box = placement.box;
  SetWindowPos(window, topmost ? HWND_TOPMOST : nullptr, box.x, box.y, box.width, box.height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW | (topmost ? 0 : SWP_NOZORDER));
}
