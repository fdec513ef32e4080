// The sample client's log read as the picture check reads it: which windows are lent now.
#include <gtest/gtest.h>

#include "tools/picturecheck/client_log.h"

namespace {

std::string lend(const char* id, const char* stream) {
  return std::string("new id=") + id + " server=host stream=" + stream + "\nwindow id=" + id +
         " lent=1006c child=2001 parent=1006c visible=1 size=320x40 lent-size=320x40 lent-visible=1\n";
}
const char* const LEAVE = "leave id=1 lent=1006c child-left=1\n";

TEST(ClientLog, AWindowLeftIsSkippedUntilItIsLentAgain) {
  // The browser may give the same handle to the next object: that box is checked again.
  const struct { std::string log; bool left; const char* name; } cases[] = {
      {lend("1", "one") + LEAVE, true, "one"},
      {lend("1", "one") + LEAVE + lend("2", "two") + "drew id=2 lent=1006c size=320x40\n", false, "two"},
  };
  for (const auto& c : cases) {
    std::map<unsigned long, LentWindow> lent = lentWindows(c.log);
    ASSERT_EQ(1u, lent.count(0x1006c)) << c.log;
    EXPECT_EQ(c.left, lent[0x1006c].left) << c.log;
    EXPECT_EQ(!c.left, lent[0x1006c].drew) << c.log;
    EXPECT_EQ(c.name, lent[0x1006c].name) << c.log;
  }
}

}  // namespace
