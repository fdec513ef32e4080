// The stack cookies of the module and the host, without a C runtime's: -fstack-protector-strong
// checks a copy of __stack_chk_guard kept beside each protected frame, and calls
// __stack_chk_fail on a mismatch.
#pragma once

// Gives the guard its value for this process. Called once, at process attach (the module) or
// first thing in main (the host), before any protected function has a frame; it must not be
// protected itself.
void seedStackGuard();
