#include "plugin/instance_private_block.h"

#include <windows.h>

InstancePrivateBlock* allocatePrivateBlock() {
  return static_cast<InstancePrivateBlock*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(InstancePrivateBlock)));
}

void freePrivateBlock(InstancePrivateBlock* block) {
  if (block == nullptr) return;
  if (block->ownedBuffer != nullptr) {
    HeapFree(GetProcessHeap(), 0, block->ownedBuffer);
    block->ownedBuffer = nullptr;
  }
  HeapFree(GetProcessHeap(), 0, block);
}
