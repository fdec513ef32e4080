#include "plugin/instance_table.h"

InstanceTable instanceTable;

uint16_t findSlotForInstance(const InstanceTable& table, NPP instance) {
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i) {
    const InstanceSlot& slot = table.slots[i];
    if (slot.inUse != 0 && slot.instance == instance) return i;
  }
  return NO_SLOT;
}

uint16_t slotForInstance(InstanceTable& table, NPP instance) {
  uint16_t found = findSlotForInstance(table, instance);
  if (found != NO_SLOT) return found;
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i) {
    InstanceSlot& slot = table.slots[i];
    if (slot.inUse == 0) {
      slot.inUse = 1;
      slot.instance = instance;
      slot.linkId = LINK_ID_NONE;
      slot.created = 0;
      slot.linkWindow = nullptr;
      slot.block = nullptr;
      return i;
    }
  }
  return NO_SLOT;
}

void releaseSlot(InstanceTable& table, NPP instance) {
  uint16_t found = findSlotForInstance(table, instance);
  if (found == NO_SLOT) return;
  InstanceSlot& slot = table.slots[found];
  slot.instance = nullptr;
  slot.inUse = 0;
  slot.linkId = LINK_ID_NONE;
  slot.linkWindow = nullptr;
  slot.block = nullptr;
}

InstanceSlot* checkedSlot(InstanceTable& table, NPP instance, const void* block, uint16_t index) {
  if (index >= INSTANCE_SLOT_COUNT || block == nullptr) return nullptr;
  InstanceSlot& slot = table.slots[index];
  bool owned = slot.inUse != 0 && slot.instance == instance && slot.block == block;
  return owned ? &slot : nullptr;
}

uint16_t slotForWindow(const InstanceTable& table, const void* hwnd) {
  for (uint16_t i = 0; i < INSTANCE_SLOT_COUNT; ++i) {
    if (table.slots[i].hwnd == hwnd) return i;
  }
  return NO_WINDOW_SLOT;
}
