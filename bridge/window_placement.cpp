#include "bridge/window_placement.h"

#include <algorithm>

WindowPlacement planWindowPlacement(const ScreenBox& box, const ScreenBox& clip, bool visible) {
  WindowPlacement p = {};
  p.box = box;
  // 64-bit sums: the coordinates are bounded, but not their sums in 32 bits near the bounds.
  int64_t left = std::max<int64_t>(box.x, clip.x);
  int64_t top = std::max<int64_t>(box.y, clip.y);
  int64_t right = std::min<int64_t>(int64_t(box.x) + box.width, int64_t(clip.x) + clip.width);
  int64_t bottom = std::min<int64_t>(int64_t(box.y) + box.height, int64_t(clip.y) + clip.height);
  p.show = visible && right > left && bottom > top;
  if (!p.show) return p;
  p.region = {static_cast<int32_t>(left - box.x), static_cast<int32_t>(top - box.y),
              static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
  p.wholeBox = p.region.x == 0 && p.region.y == 0 && p.region.width == box.width &&
               p.region.height == box.height;
  return p;
}
