// The 16-byte private block hung off each instance's pdata: the instance's one object, which
// names its slot in the instance table and holds the headers its streams have cut short.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/instance_table.h"
#include "link/link_file_chunks.h"
#include "plugin/npapi.h"

// A stream's link-file header cut short, hung off stream->pdata and listed in the instance's
// block until the chunks behind it complete it. Only a state found in that list is touched.
struct HeldStreamHeader {
  HeldStreamHeader* next;  // the instance's next stream with a header held
  NPStream* stream;
  HeldLinkFileHeader header;
};
static_assert(sizeof(HeldStreamHeader) <= 8 * sizeof(void*) + LINK_FILE_HEADER_MAX_SIZE,
              "a held header costs its stream little more than its bytes");

struct InstancePrivateBlock {
  HeldStreamHeader* heldHeaders;  // freed with the block
  uint16_t slot;                  // the instance's index in instanceTable
  uint8_t unused[16 - sizeof(void*) - sizeof(uint16_t)];
};
static_assert(sizeof(InstancePrivateBlock) == 16, "the private block is 16 bytes");
static_assert(offsetof(InstancePrivateBlock, heldHeaders) == 0,
              "the owned buffer's pointer comes first");

// Heap-allocates a zeroed block naming slot `slot`; null when the heap is exhausted.
InstancePrivateBlock* allocatePrivateBlock(uint16_t slot);

// Frees the held stream headers (if any) and the block; null does nothing. Runs in every
// teardown of an instance, so a stream the browser never destroyed leaks nothing.
void freePrivateBlock(InstancePrivateBlock* block);

// The slot of `instance`, reached through its block: null unless the table holds that very
// block for that instance (a null pdata, a destroyed instance, another's block).
InstanceSlot* instanceSlot(NPP instance);

inline InstancePrivateBlock* blockOf(const InstanceSlot& slot) {
  return static_cast<InstancePrivateBlock*>(slot.block);
}

// The link in the block's list that points at the held header of `stream`; at its end
// (holding null) when the stream holds nothing.
HeldStreamHeader** heldHeaderOf(InstancePrivateBlock* block, NPStream* stream);

// Lists a new, empty held header for `stream` at `*end` (the list's end); null without memory.
HeldStreamHeader* holdStreamHeader(HeldStreamHeader** end, NPStream* stream);

// Unlinks and frees the held header at `*link`, and clears its stream's pdata.
void dropHeldHeader(HeldStreamHeader** link);
