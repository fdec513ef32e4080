// The chromium family's habits, which its engine in process (browser_chromium_in_process.cpp)
// builds on: both run WebKit's plug-in code, and differ only where the plug-in process does.
#pragma once

#include "tools/pagerunner/browser_habits.h"

class ChromiumHabits : public BrowserHabits {
 public:
  // `memory`: what NPP_Write's bytes are handed over in.
  explicit constexpr ChromiumHabits(ChunkMemory memory) : memory_(memory) {}

  std::vector<NewArgument> newArguments(const KvlaObject& object) const override;
  bool create(PageCalls& page, PageObject* o) const override;
  bool windowsStartOnDesktop() const override;
  bool streamsAfterEveryObject() const override;
  bool hiddenObjectsSkipped() const override;
  DeliveryEnd deliver(PageCalls& page, PageObject* o, size_t size) const override;
  void tearDown(PageCalls& page, PageObject* o, bool created) const override;

 private:
  ChunkMemory memory_;
};
