// The choice among the "KelvoraLink" windows, in z-order.
#include <gtest/gtest.h>

#include <initializer_list>

#include "link/link_window_choice.h"

namespace {

// The index of the chosen window in z-order, -1 for none, and how many were looked at.
struct Outcome { int chosen; int looked; };
Outcome choose(std::initializer_list<LinkWindowTraits> windows, bool planned) {
  LinkWindowChoice choice = {NO_LINK_WINDOW};
  Outcome o = {-1, 0};
  for (auto w = windows.begin(); w != windows.end() && !linkWindowChoiceFinal(choice, planned); ++w, ++o.looked)
    if (considerLinkWindow(&choice, *w)) o.chosen = o.looked;
  return o;
}

}  // namespace

TEST(LinkWindowChoice, ConfiguredProgramFirstThenTheTopmostNeverALowerIntegrityOne) {
  const LinkWindowTraits other{false, false}, mine{true, false}, low{false, true}, lowMine{true, true};
  struct Case { std::initializer_list<LinkWindowTraits> windows; bool planned; int chosen; int looked; };
  const Case cases[] = {
      {{other, other}, true, 0, 2},               // FindWindowA's, when no image matches
      {{other, mine}, true, 1, 2},                // a look-alike above the client
      {{mine, other}, true, 0, 1},                // the client on top: one look
      {{low, other}, true, 1, 2},
      {{lowMine, other, mine, mine}, true, 2, 3},
      {{low, lowMine}, true, -1, 2},
      {{other, other}, false, 0, 1},              // nothing planned: FindWindowA's, one look
      {{low, other, other}, false, 1, 2},
  };
  for (const Case& c : cases) {
    Outcome o = choose(c.windows, c.planned);
    EXPECT_EQ(c.chosen, o.chosen);
    EXPECT_EQ(c.looked, o.looked);
  }
}
