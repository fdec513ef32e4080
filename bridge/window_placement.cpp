#include "bridge/window_placement.h"

#include <algorithm>

ScreenBox intersectBoxes(const ScreenBox& a, const ScreenBox& b) {
  // 64-bit sums: the coordinates are bounded, but not their sums in 32 bits near the bounds.
  int64_t left = std::max<int64_t>(a.x, b.x);
  int64_t top = std::max<int64_t>(a.y, b.y);
  int64_t right = std::min<int64_t>(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
  int64_t bottom = std::min<int64_t>(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
  if (right <= left || bottom <= top) return {static_cast<int32_t>(left), static_cast<int32_t>(top), 0, 0};
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
          static_cast<int32_t>(bottom - top)};
}

bool boxContains(const ScreenBox& outer, const ScreenBox& inner) {
  ScreenBox common = intersectBoxes(outer, inner);
  return inner.width > 0 && inner.height > 0 && common.width == inner.width &&
         common.height == inner.height;
}

ScreenBox hostClip(const ScreenBox& clip, const ScreenBox& monitor, const ScreenBox* ownerClient) {
  ScreenBox cut = intersectBoxes(clip, monitor);
  return ownerClient != nullptr ? intersectBoxes(cut, *ownerClient) : cut;
}

WindowPlacement planWindowPlacement(const ScreenBox& box, const ScreenBox& clip, bool visible) {
  WindowPlacement p = {};
  p.box = box;
  ScreenBox shown = intersectBoxes(box, clip);
  p.show = visible && shown.width > 0 && shown.height > 0;
  if (!p.show) return p;
  p.region = {shown.x - box.x, shown.y - box.y, shown.width, shown.height};
  p.wholeBox = p.region.x == 0 && p.region.y == 0 && p.region.width == box.width &&
               p.region.height == box.height;
  return p;
}
