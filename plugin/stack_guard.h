// The module's own stack cookies: -fstack-protector-strong checks a copy of
// __stack_chk_guard kept beside each protected frame, and calls __stack_chk_fail on a mismatch.
#pragma once

// Gives the guard its value for this process. Called once, at process attach, before any
// protected function of the module has a frame; it must not be protected itself.
void seedStackGuard();
