// What NPP_Write does with each chunk of a stream: a link file's header is applied when a
// chunk completes it, a header cut short at the stream's start is held until the chunks
// behind it complete it, and anything else is consumed. Nothing is ever asked for again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link_file_header.h"

// The bytes a stream has brought so far while its header is cut short: from offset 0, in
// order, never a whole header.
struct HeldLinkFileHeader {
  uint32_t length;
  unsigned char bytes[LINK_FILE_HEADER_MAX_SIZE];
};

enum LinkFileChunkAction {
  LINK_CHUNK_CONSUME,   // nothing to apply or hold: the held bytes, if any, are dropped
  LINK_CHUNK_HOLD,      // the chunk joins the held bytes (holdLinkFileChunk)
  LINK_CHUNK_APPLY,     // the chunk alone starts with a header: it is the file forwarded
  LINK_CHUNK_COMPLETE,  // the held bytes and the chunk complete the header: both are forwarded
};

// `held`: what this stream holds (length 0 when nothing); null when there is no stream to
// hold bytes for, so that each chunk stands alone. A chunk at the offset where the held bytes
// end continues them; a chunk at any other offset drops them and stands alone. A chunk
// standing alone is applied when it starts with a header, wherever it lies in the stream; it
// is held only at offset 0 and only when it is a header cut short. Never reads past `length`.
LinkFileChunkAction planLinkFileChunk(const HeldLinkFileHeader* held, const unsigned char* chunk,
                                      size_t length, uint32_t offset);

// After LINK_CHUNK_HOLD: the chunk at `offset` becomes (offset 0) or extends the held bytes.
void holdLinkFileChunk(HeldLinkFileHeader& held, const unsigned char* chunk, size_t length,
                       uint32_t offset);

// After LINK_CHUNK_APPLY or LINK_CHUNK_COMPLETE: the file's bytes from its start through the
// chunk's end, as `out` must receive them (of linkFileStartLength bytes), then given to
// applyLinkFileHeader.
size_t linkFileStartLength(LinkFileChunkAction action, const HeldLinkFileHeader* held,
                           size_t length);
void copyLinkFileStart(unsigned char* out, LinkFileChunkAction action,
                       const HeldLinkFileHeader* held, const unsigned char* chunk, size_t length);
