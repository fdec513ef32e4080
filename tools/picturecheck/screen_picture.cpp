#include "tools/picturecheck/screen_picture.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "tools/picturecheck/client_log.h"

namespace {

// The whole screen as the display shows it, 0x00RRGGBB from the top left.
struct Screen {
  RECT area = {};
  std::vector<uint32_t> pixels;
  uint32_t at(LONG x, LONG y) const { return pixels[(y - area.top) * (area.right - area.left) + (x - area.left)]; }
};

Screen grabScreen() {
  Screen s;
  s.area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  s.area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  s.area.right = s.area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  s.area.bottom = s.area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  LONG width = s.area.right - s.area.left, height = s.area.bottom - s.area.top;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, s.area.left, s.area.top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      s.pixels.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return s;
}

// The part of `window`'s client area that shows on the screen: cut by its region, by each
// parent's client area and by the screen. False when the window is hidden or none shows.
bool shownPart(HWND window, const RECT& screen, RECT* part) {
  if (!IsWindow(window) || !IsWindowVisible(window)) return false;
  GetClientRect(window, part);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(part), 2);
  RECT frame, cut;
  GetWindowRect(window, &frame);
  if (GetWindowRgnBox(window, &cut) != ERROR) {
    OffsetRect(&cut, frame.left, frame.top);
    IntersectRect(part, part, &cut);
  }
  for (HWND p = GetAncestor(window, GA_PARENT); p && p != GetDesktopWindow(); p = GetAncestor(p, GA_PARENT)) {
    GetClientRect(p, &cut);
    MapWindowPoints(p, nullptr, reinterpret_cast<POINT*>(&cut), 2);
    IntersectRect(part, part, &cut);
  }
  return IntersectRect(part, part, &screen) != 0;
}

}  // namespace

PictureVerdict checkPicture(const std::string& clientLog) {
  std::ifstream file(clientLog, std::ios::binary);
  std::map<unsigned long, LentWindow> lent = lentWindows(std::string(std::istreambuf_iterator<char>(file), {}));
  Screen screen = grabScreen();
  PictureVerdict v;
  if (screen.pixels.empty()) {
    v.failures = "the screen could not be read\n";
    return v;
  }
  for (const auto& l : lent) {
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(l.first)));
    RECT part, whole;
    if (l.second.left) continue;
    ++v.lent;
    if (!shownPart(window, screen.area, &part)) continue;
    GetClientRect(window, &whole);
    // Black, the text's green and its blends with black: red and blue stay near 0.
    size_t ours = 0, green = 0, all = 0;
    for (LONG y = part.top; y < part.bottom; ++y)
      for (LONG x = part.left; x < part.right; ++x, ++all) {
        uint32_t p = screen.at(x, y);
        unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        ours += r <= 40 && b <= 40;
        green += r <= 40 && b <= 40 && g >= 120;
      }
    bool wholly = part.right - part.left == whole.right && part.bottom - part.top == whole.bottom;
    char line[512];
    snprintf(line, sizeof line, "object %u \"%s\" (window %lx, %ldx%ld at %ld,%ld): %u%% in the client's colours, %u green pixels",
             l.second.id, l.second.name.c_str(), l.first, part.right - part.left, part.bottom - part.top,
             part.left, part.top, static_cast<unsigned>(ours * 100 / all), static_cast<unsigned>(green));
    std::string missing;
    if (ours * 10 < all * 9) missing += "; under 90% in the client's colours";
    if (wholly && !l.second.name.empty() && green < 10) missing += "; no text in the client's green";
    if (!l.second.drew) missing += "; the client's log tells of no drawing there";
    ++v.checked;
    v.report += line + std::string(l.second.drew ? ", drawn by the client's log\n" : "\n");
    if (!missing.empty()) v.failures += "no picture: " + std::string(line) + missing + "\n";
    if (!missing.empty() && l.second.drew) v.covered.push_back(l.first);
  }
  if (v.checked == 0) v.failures += "no window lent to the client is in view\n";
  return v;
}
