// What the browser tells the host on its command line. Chrome and Edge on Windows name their
// top-level window as --parent-window=<decimal handle>; Firefox names the host's manifest and
// the extension's id, and no window.
#pragma once

#include <cstdint>

// The window named by --parent-window=<decimal>, or 0 when none is named or the number is
// not a whole decimal number that fits 32 bits (handles are 32 bits wide in every process).
uint32_t parentWindowArgument(int argc, const char* const* argv);
