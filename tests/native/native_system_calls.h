// The system-call table natively (link/system_calls.h): an empty machine. Every question
// finds nothing (no key, file, window or process; the clock moves by the waits alone) and
// every action (a start, a box, a dialog, a send, a write) fails the running test. Each case replaces the entries it
// needs with answers from its own table row; SystemCallsTest puts the table back and forgets
// what the launch path learnt, so that each test starts as a freshly loaded module does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "link/system_calls.h"

extern const SystemCalls EMPTY_MACHINE;

class SystemCallsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// A handle numbered `n` (never null), for windows, processes and keys a case makes up.
template <typename Handle>
Handle numbered(uintptr_t n) {
  return reinterpret_cast<Handle>(n);
}
