// The sample client's log read as the picture check reads it: which windows are lent now.
#include <gtest/gtest.h>

#include "tools/picturecheck/client_log.h"

namespace {

std::string placed(const char* event, const char* id, const char* window) {
  return std::string(event) + " id=" + id + " lent=" + window + " child=2001 parent=" + window +
         " visible=1 size=320x40 lent-size=320x40 lent-visible=1\n";
}

TEST(ClientLog, AWindowLeftAndLentAgainIsLentAndItsDrawingCounts) {
  struct Case {
    std::string log;
    bool left, drew;
    const char* name;
  } cases[] = {
      {"new id=1 server=host stream=one\n" + placed("window", "1", "1006c") + "drew id=1 lent=1006c size=320x40\n",
       false, true, "one"},
      {"new id=1 server=host stream=one\n" + placed("window", "1", "1006c") + "leave id=1 lent=1006c child-left=1\n",
       true, false, "one"},
      // The same handle lent to the next object (the browser reuses it): checked again.
      {"new id=1 server=host stream=one\n" + placed("window", "1", "1006c") + "leave id=1 lent=1006c child-left=1\n" +
           "new id=2 server=other stream=\n" + placed("window", "2", "1006c") + "drew id=2 lent=1006c size=320x40\n",
       false, true, "other"},
  };
  for (const Case& c : cases) {
    std::map<unsigned long, LentWindow> lent = lentWindows(c.log);
    ASSERT_EQ(1u, lent.size()) << c.log;
    const LentWindow& w = lent.begin()->second;
    EXPECT_EQ(0x1006cUL, lent.begin()->first) << c.log;
    EXPECT_EQ(c.left, w.left) << c.log;
    EXPECT_EQ(c.drew, w.drew) << c.log;
    EXPECT_EQ(c.name, w.name) << c.log;
  }
}

}  // namespace
