// Native messages as the browsers frame them on the host's standard handles: a 32-bit length
// in the machine's byte order (little-endian on every Windows this host runs on), then that
// many bytes of UTF-8 JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The longest message the host reads or writes: what a browser accepts from a host, and far
// beyond anything the extension sends (attributes, a box, a 64 KiB chunk of a link file).
const uint32_t NATIVE_MESSAGE_LIMIT = 1024 * 1024;

// One step of the reader: a whole message, or the announcement of one over the limit, whose
// bytes the reader then skips without keeping them.
struct NativeFrame {
  bool tooLong;
  std::string body;  // empty when tooLong
};

// The reader's state between reads: the frame's length bytes so far, its body so far, and
// how many bytes of an overlong frame are still to be skipped.
struct NativeFrameReader {
  unsigned char header[4];
  uint32_t headerBytes;
  uint32_t length;
  uint64_t skipping;
  std::string body;
};

// Takes `size` bytes as they came from the standard input and appends every frame they
// complete to `out`, in order. Any split of the input gives the same frames.
void readNativeFrames(NativeFrameReader& reader, const unsigned char* data, size_t size,
                      std::vector<NativeFrame>& out);

// Whether the input ended between two frames (and not inside one).
bool nativeInputEndedCleanly(const NativeFrameReader& reader);

// The frame for `body`: its length, then its bytes. The caller keeps bodies under the limit.
std::string nativeFrame(const std::string& body);
