#include "bridge/input_queue.h"

#include <utility>

namespace {

// A frame's share: its length word and body; an overlong one kept nothing but its word.
size_t frameBytes(const NativeFrame& frame) { return 4 + frame.body.size(); }

}  // namespace

void queueFrames(InputQueue& queue, std::vector<NativeFrame>& frames) {
  for (NativeFrame& frame : frames) {
    queue.waiting += frameBytes(frame);
    queue.frames.push_back(std::move(frame));
  }
  frames.clear();
}

bool takeFrame(InputQueue& queue, NativeFrame* frame) {
  if (queue.frames.empty()) return false;
  *frame = std::move(queue.frames.front());
  queue.frames.pop_front();
  return true;
}

void frameHandled(InputQueue& queue, const NativeFrame& frame) {
  queue.waiting -= frameBytes(frame);
}

bool inputQueueFull(const InputQueue& queue) { return queue.waiting > INPUT_QUEUE_LIMIT; }
