// The frames read from the standard input that the main thread has not handled yet. While the
// main thread sits in a launch's wait, a send or the dialog, a page could otherwise fill the
// host's memory; so the reader stops reading while more than INPUT_QUEUE_LIMIT bytes wait,
// and reads on once handling brings them back under it. The bytes stay in the pipe, and the
// browser holds or refuses what it cannot write.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "bridge/native_framing.h"

const size_t INPUT_QUEUE_LIMIT = 8u << 20;

struct InputQueue {
  std::deque<NativeFrame> frames;
  size_t waiting;  // bytes of the queued frames and of the one being handled
  bool ended;
};

// Adds what one read completed.
void queueFrames(InputQueue& queue, std::vector<NativeFrame>& frames);

// The next frame to handle, if any; its bytes count as waiting until frameHandled.
bool takeFrame(InputQueue& queue, NativeFrame* frame);
void frameHandled(InputQueue& queue, const NativeFrame& frame);

// Whether the reader must wait before its next read.
bool inputQueueFull(const InputQueue& queue);
