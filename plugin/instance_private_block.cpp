#include "plugin/instance_private_block.h"

#include <windows.h>

InstancePrivateBlock* allocatePrivateBlock(uint16_t slot) {
  auto block = static_cast<InstancePrivateBlock*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(InstancePrivateBlock)));
  if (block != nullptr) block->slot = slot;
  return block;
}

void freePrivateBlock(InstancePrivateBlock* block) {
  if (block == nullptr) return;
  // The streams themselves may be gone already: only the states are freed.
  for (HeldStreamHeader* held = block->heldHeaders; held != nullptr;) {
    HeldStreamHeader* next = held->next;
    HeapFree(GetProcessHeap(), 0, held);
    held = next;
  }
  HeapFree(GetProcessHeap(), 0, block);
}

InstanceSlot* instanceSlot(NPP instance) {
  auto block = static_cast<const InstancePrivateBlock*>(instance->pdata);
  return block != nullptr ? checkedSlot(instanceTable, instance, block, block->slot) : nullptr;
}

HeldStreamHeader** heldHeaderOf(InstancePrivateBlock* block, NPStream* stream) {
  HeldStreamHeader** link = &block->heldHeaders;
  while (*link != nullptr && !((*link)->stream == stream && stream->pdata == *link))
    link = &(*link)->next;
  return link;
}

HeldStreamHeader* holdStreamHeader(HeldStreamHeader** end, NPStream* stream) {
  auto state = static_cast<HeldStreamHeader*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HeldStreamHeader)));
  if (state == nullptr) return nullptr;
  state->stream = stream;
  stream->pdata = state;
  *end = state;
  return state;
}

void dropHeldHeader(HeldStreamHeader** link) {
  HeldStreamHeader* state = *link;
  *link = state->next;
  state->stream->pdata = nullptr;
  HeapFree(GetProcessHeap(), 0, state);
}
