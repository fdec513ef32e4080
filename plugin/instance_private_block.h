// The 16-byte private block hung off each instance's pdata.
#pragma once

#include <cstdint>

struct HeldStreamHeader;

struct InstancePrivateBlock {
  HeldStreamHeader* heldHeaders;  // streams whose link-file header is cut short; freed with the block
  uint8_t unused[16 - sizeof(void*)];
};
static_assert(sizeof(InstancePrivateBlock) == 16, "the private block is 16 bytes");

// Heap-allocates a zeroed block; null when the heap is exhausted.
InstancePrivateBlock* allocatePrivateBlock();

// Frees the held stream headers (if any) and the block; null does nothing. Runs in every
// teardown of an instance, so a stream the browser never destroyed leaks nothing.
void freePrivateBlock(InstancePrivateBlock* block);
