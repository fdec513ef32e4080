// The instance table: claim order, reuse, lookups that must not reset state, and the
// window lookup that ignores inUse.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/instance_table.h"

namespace {

class InstanceTableTest : public ::testing::Test {
 protected:
  InstanceTable table{};
  NPP_t instances[INSTANCE_SLOT_COUNT + 1]{};
  NPP npp(int i) { return &instances[i]; }
};

TEST_F(InstanceTableTest, TwentyInstancesFillTheTableAndTheNextGetsNoSlot) {
  for (int i = 0; i < INSTANCE_SLOT_COUNT; ++i) EXPECT_EQ(i, slotForInstance(table, npp(i)));
  EXPECT_EQ(NO_SLOT, slotForInstance(table, npp(INSTANCE_SLOT_COUNT)));
  EXPECT_EQ(NO_SLOT, findSlotForInstance(table, npp(INSTANCE_SLOT_COUNT)));
  // Known instances are still found in a full table.
  EXPECT_EQ(19, slotForInstance(table, npp(19)));
}

TEST_F(InstanceTableTest, LowestFreeSlotIsReusedFirst) {
  for (int i = 0; i < 5; ++i) slotForInstance(table, npp(i));
  releaseSlot(table, npp(3));
  releaseSlot(table, npp(1));
  EXPECT_EQ(NO_SLOT, findSlotForInstance(table, npp(1)));
  EXPECT_EQ(1, slotForInstance(table, npp(10)));
  EXPECT_EQ(3, slotForInstance(table, npp(11)));
  EXPECT_EQ(5, slotForInstance(table, npp(12)));
}

TEST_F(InstanceTableTest, LookingUpTwiceKeepsIndexAndLinkId) {
  uint16_t index = slotForInstance(table, npp(0));
  table.slots[index].linkId = 7;
  EXPECT_EQ(index, slotForInstance(table, npp(0)));
  EXPECT_EQ(index, findSlotForInstance(table, npp(0)));
  EXPECT_EQ(7, table.slots[index].linkId);
}

TEST_F(InstanceTableTest, FindDoesNotClaim) {
  EXPECT_EQ(NO_SLOT, findSlotForInstance(table, npp(0)));
  EXPECT_EQ(0, table.slots[0].inUse);
}

TEST_F(InstanceTableTest, ClaimSetsOnlyInUseInstanceAndLinkId) {
  InstanceSlot& slot = table.slots[0];
  std::memset(&slot, 0xAB, sizeof slot);
  slot.inUse = 0;
  InstanceSlot before = slot;
  ASSERT_EQ(0, slotForInstance(table, npp(0)));
  EXPECT_EQ(1, slot.inUse);
  EXPECT_EQ(npp(0), slot.instance);
  EXPECT_EQ(LINK_ID_NONE, slot.linkId);
  EXPECT_EQ(before.oldWndProc, slot.oldWndProc);
  EXPECT_EQ(before.hwnd, slot.hwnd);
  EXPECT_EQ(before.linkSpecified, slot.linkSpecified);
  EXPECT_EQ(0, std::memcmp(&before.link, &slot.link, sizeof slot.link));
}

TEST_F(InstanceTableTest, ReleaseClearsOwnershipOnlyAndIgnoresUnknownInstances) {
  uint16_t index = slotForInstance(table, npp(0));
  InstanceSlot& slot = table.slots[index];
  slot.linkId = 3;
  slot.linkSpecified = 1;
  slot.oldWndProc = 0x1234;
  releaseSlot(table, npp(5));  // no slot: nothing happens
  EXPECT_EQ(1, slot.inUse);
  releaseSlot(table, npp(0));
  EXPECT_EQ(0, slot.inUse);
  EXPECT_EQ(nullptr, slot.instance);
  EXPECT_EQ(LINK_ID_NONE, slot.linkId);
  EXPECT_EQ(1, slot.linkSpecified);
  EXPECT_EQ(0x1234, slot.oldWndProc);
}

TEST_F(InstanceTableTest, WindowIsFoundAfterReleaseUntilHwndIsCleared) {
  int windowA = 0, windowB = 0;
  slotForInstance(table, npp(0));
  uint16_t index = slotForInstance(table, npp(1));
  table.slots[0].hwnd = &windowA;
  table.slots[index].hwnd = &windowB;
  EXPECT_EQ(index, slotForWindow(table, &windowB));
  releaseSlot(table, npp(1));
  EXPECT_EQ(index, slotForWindow(table, &windowB));
  table.slots[index].hwnd = nullptr;
  EXPECT_EQ(NO_WINDOW_SLOT, slotForWindow(table, &windowB));
  EXPECT_EQ(0, slotForWindow(table, &windowA));
}

// Not another's NPP, a block the table does not hold, one naming another slot or none, or a
// released slot's.
TEST_F(InstanceTableTest, ABlockLeadsToItsSlotOnlyWhileTheTableHoldsItForThatInstance) {
  int block = 0, other = 0;
  uint16_t i = slotForInstance(table, npp(1));
  table.slots[i].block = &block;
  EXPECT_EQ(&table.slots[i], checkedSlot(table, npp(1), &block, i));
  for (const void* b : {&block, &other})
    for (NPP n : {npp(0), npp(1)})
      for (uint16_t at : {uint16_t(i + 1), INSTANCE_SLOT_COUNT, i})
        if (b != &block || n != npp(1) || at != i) EXPECT_EQ(nullptr, checkedSlot(table, n, b, at));
  releaseSlot(table, npp(1));
  EXPECT_EQ(nullptr, checkedSlot(table, npp(1), &block, i));
}

TEST(InstanceTableGlobal, StartsAllZero) {
  for (const InstanceSlot& slot : instanceTable.slots) {
    EXPECT_EQ(0, slot.inUse);
    EXPECT_EQ(nullptr, slot.instance);
    EXPECT_EQ(nullptr, slot.hwnd);
  }
}

}  // namespace
