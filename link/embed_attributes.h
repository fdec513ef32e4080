// Turns an embedded object's HTML attributes into its LinkRecord.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link_records.h"

// Resets `link` (zero throughout but port 1558 and tag -1), applies the attributes
// argn[i]/argv[i] for 0 <= i < argc in order, sets threadHandle, and adds the default control
// set when nothing named a link. Returns linkSpecified (0 or 1).
// Null arrays or null entries are skipped; overlong texts and ports outside 0 to 65535 are
// rejected, never cut.
// A value that is UTF-8 beyond ASCII is first given to `toAnsi`, which writes its text in the
// client application's 8-bit code page to out[capacity] and returns true, or returns false
// when that code page cannot hold it exactly (or it needs capacity or more bytes); such an
// attribute is skipped, as an overlong one is. ASCII and other bytes go in unchanged, and so
// does every value when `toAnsi` is null.
typedef bool (*AnsiConverter)(char* out, size_t capacity, const char* utf8);
const size_t CONVERTED_VALUE_CAPACITY = 256;  // above the longest value any field takes
int32_t buildLinkRecord(LinkRecord& link, int16_t argc, const char* const* argn,
                        const char* const* argv, uint32_t threadHandle,
                        AnsiConverter toAnsi = nullptr);
