// The 16-byte private block hung off each instance's pdata.
#pragma once

#include <cstdint>

struct InstancePrivateBlock {
  void* ownedBuffer;  // optional buffer owned by the instance; freed with the block
  uint8_t unused[16 - sizeof(void*)];
};
static_assert(sizeof(InstancePrivateBlock) == 16, "the private block is 16 bytes");

// Heap-allocates a zeroed block; null when the heap is exhausted.
InstancePrivateBlock* allocatePrivateBlock();

// Frees the owned buffer (if any) and the block; null does nothing.
void freePrivateBlock(InstancePrivateBlock* block);
