#include "plugin/instance_private_block.h"

#include <windows.h>

#include "plugin/link_file_stream.h"

InstancePrivateBlock* allocatePrivateBlock() {
  return static_cast<InstancePrivateBlock*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(InstancePrivateBlock)));
}

void freePrivateBlock(InstancePrivateBlock* block) {
  if (block == nullptr) return;
  freeHeldStreamHeaders(block->heldHeaders);
  block->heldHeaders = nullptr;
  HeapFree(GetProcessHeap(), 0, block);
}
