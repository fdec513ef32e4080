// Gecko's hang clock, as its plug-in host runs it over each synchronous call into an
// out-of-process plug-in (dom.ipc.plugins.hangUITimeoutSecs, .timeoutSecs). Pure.
#pragma once

#include <cstdint>
#include <string>

#include "tools/pagerunner/browser_habits.h"

const uint32_t HANG_HALF_MS = 5500;                  // the clock runs in two halves
const uint32_t HANG_DIALOG_MS = 2 * HANG_HALF_MS;    // then the hang dialog shows
const uint32_t PALE_MOON_KILL_AFTER_MS = 20000;      // after the dialog's point
const uint32_t FIREFOX_KILL_AFTER_MS = 45000;        // Firefox 52, Basilisk

class GeckoHangClock final : public CallWatch {
 public:
  // `inProcess`: K-Meleon's mode, no clock; only how long each call held the browser's thread.
  GeckoHangClock(bool inProcess, bool firefox);

  bool wantsMessageFilterHook() const override { return !inProcess_; }
  void callStarted(const std::string& call, uint32_t ms) override;
  void browserCalled(uint32_t ms) override;
  void messageFilterCalled(uint32_t ms) override;
  std::string callEnded(const std::string& name, uint32_t ms, bool* fails) override;
  std::string summary() const override;

 private:
  void endRun(uint32_t ms);  // the clock's current run ends at `ms`

  bool inProcess_;
  bool firefox_;
  bool inCall_ = false;
  uint32_t start_ = 0;    // the call's start
  uint32_t restart_ = 0;  // the clock's last (re)start
  bool stopped_ = false;  // by WH_MSGFILTER, for the rest of the call
  uint32_t stoppedAt_ = 0;
  uint32_t dialogAt_ = 0;  // ms into the call; 0: none
  uint32_t longestRun_ = 0;  // of this call
  // Over the page.
  std::string longestName_;
  uint32_t longestCall_ = 0;
  uint32_t longestClock_ = 0;
  int stoppedCalls_ = 0;
  int dialogs_ = 0;
};
