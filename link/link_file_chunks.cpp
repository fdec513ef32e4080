#include "link/link_file_chunks.h"

#include <cstring>

namespace {

bool continues(const HeldLinkFileHeader* held, uint32_t offset) {
  return held != nullptr && held->length != 0 && offset == held->length;
}

}  // namespace

LinkFileChunkAction planLinkFileChunk(const HeldLinkFileHeader* held, const unsigned char* chunk,
                                      size_t length, uint32_t offset) {
  if (chunk == nullptr || length == 0) return LINK_CHUNK_CONSUME;
  if (continues(held, offset)) {
    // The header never reaches past LINK_FILE_HEADER_MAX_SIZE bytes, so the first bytes of
    // the held bytes and the chunk decide as the whole would.
    unsigned char start[LINK_FILE_HEADER_MAX_SIZE];
    size_t taken = sizeof start - held->length;
    if (taken > length) taken = length;
    std::memcpy(start, held->bytes, held->length);
    std::memcpy(start + held->length, chunk, taken);
    size_t startLength = held->length + taken;
    if (linkFileHeaderApplies(start, startLength)) return LINK_CHUNK_COMPLETE;
    if (linkFileHeaderCutShort(start, startLength)) return LINK_CHUNK_HOLD;
  }
  if (linkFileHeaderApplies(chunk, length)) return LINK_CHUNK_APPLY;
  // A header cut short can only be held at the stream's start, and only for a stream.
  if (held != nullptr && offset == 0 && linkFileHeaderCutShort(chunk, length))
    return LINK_CHUNK_HOLD;
  return LINK_CHUNK_CONSUME;
}

void holdLinkFileChunk(HeldLinkFileHeader& held, const unsigned char* chunk, size_t length,
                       uint32_t offset) {
  if (offset == 0) held.length = 0;
  // planLinkFileChunk said HOLD: the bytes are a header cut short, so they fit.
  std::memcpy(held.bytes + held.length, chunk, length);
  held.length += static_cast<uint32_t>(length);
}

size_t linkFileStartLength(LinkFileChunkAction action, const HeldLinkFileHeader* held,
                           size_t length) {
  return action == LINK_CHUNK_COMPLETE ? held->length + length : length;
}

void copyLinkFileStart(unsigned char* out, LinkFileChunkAction action,
                       const HeldLinkFileHeader* held, const unsigned char* chunk, size_t length) {
  if (action == LINK_CHUNK_COMPLETE) {
    std::memcpy(out, held->bytes, held->length);
    out += held->length;
  }
  std::memcpy(out, chunk, length);
}
