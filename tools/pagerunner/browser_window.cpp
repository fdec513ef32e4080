#include "tools/pagerunner/browser_window.h"

namespace {

const wchar_t* const REPLACED_PROC = L"PageRunnerReplacedProc";

LRESULT CALLBACK browserProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC next = reinterpret_cast<WNDPROC>(GetPropW(hwnd, REPLACED_PROC));
  bool unicode = IsWindowUnicode(hwnd);
  if (!next)
    return unicode ? DefWindowProcW(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
  return unicode ? CallWindowProcW(next, hwnd, msg, wParam, lParam)
                 : CallWindowProcA(next, hwnd, msg, wParam, lParam);
}

LONG_PTR replaceWindowProc(HWND h, LONG_PTR proc) {
  return IsWindowUnicode(h) ? SetWindowLongPtrW(h, GWLP_WNDPROC, proc)
                            : SetWindowLongPtrA(h, GWLP_WNDPROC, proc);
}

}  // namespace

LONG_PTR windowProcOf(HWND h) {
  return IsWindowUnicode(h) ? GetWindowLongPtrW(h, GWLP_WNDPROC) : GetWindowLongPtrA(h, GWLP_WNDPROC);
}

LONG_PTR subclassPluginWindow(HWND h) {
  LONG_PTR own = reinterpret_cast<LONG_PTR>(browserProc);
  if (windowProcOf(h) == own) return 0;
  LONG_PTR replaced = replaceWindowProc(h, own);
  SetPropW(h, REPLACED_PROC, reinterpret_cast<HANDLE>(replaced));
  return replaced;
}

SubclassUndone undoPluginWindowSubclass(HWND h) {
  HANDLE replaced = GetPropW(h, REPLACED_PROC);
  if (!replaced) return SubclassUndone::NotInstalled;
  bool onTop = windowProcOf(h) == reinterpret_cast<LONG_PTR>(browserProc);
  if (onTop) replaceWindowProc(h, reinterpret_cast<LONG_PTR>(replaced));
  RemovePropW(h, REPLACED_PROC);
  return onTop ? SubclassUndone::Restored : SubclassUndone::LeftInPlace;
}
