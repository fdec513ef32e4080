#include "bridge/native_framing.h"

#include <algorithm>

void readNativeFrames(NativeFrameReader& reader, const unsigned char* data, size_t size,
                      std::vector<NativeFrame>& out) {
  while (size > 0) {
    if (reader.skipping > 0) {
      // An overlong frame's bytes are dropped as they come: nothing of it is kept.
      size_t skip = static_cast<size_t>(std::min<uint64_t>(reader.skipping, size));
      reader.skipping -= skip;
      data += skip;
      size -= skip;
      continue;
    }
    if (reader.headerBytes < 4) {
      reader.header[reader.headerBytes++] = *data++;
      --size;
      if (reader.headerBytes < 4) continue;
      reader.length = static_cast<uint32_t>(reader.header[0]) |
                      static_cast<uint32_t>(reader.header[1]) << 8 |
                      static_cast<uint32_t>(reader.header[2]) << 16 |
                      static_cast<uint32_t>(reader.header[3]) << 24;
      reader.body.clear();
      if (reader.length > NATIVE_MESSAGE_LIMIT) {
        out.push_back({true, std::string()});
        reader.skipping = reader.length;
        reader.headerBytes = 0;
        continue;
      }
    }
    size_t take = std::min<size_t>(reader.length - reader.body.size(), size);
    reader.body.append(reinterpret_cast<const char*>(data), take);
    data += take;
    size -= take;
    if (reader.body.size() == reader.length) {
      out.push_back({false, std::move(reader.body)});
      reader.body = std::string();
      reader.headerBytes = 0;
    }
  }
  // A frame of length 0 is complete as soon as its header is.
  if (reader.headerBytes == 4 && reader.length == 0) {
    out.push_back({false, std::string()});
    reader.headerBytes = 0;
  }
}

bool nativeInputEndedCleanly(const NativeFrameReader& reader) {
  return reader.headerBytes == 0 && reader.skipping == 0;
}

std::string nativeFrame(const std::string& body) {
  uint32_t length = static_cast<uint32_t>(body.size());
  std::string frame;
  frame.reserve(4 + body.size());
  for (int i = 0; i < 4; ++i) frame.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  frame += body;
  return frame;
}
