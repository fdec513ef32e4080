// Turns an embedded object's HTML attributes into its LinkRecord.
#pragma once

#include <cstdint>

#include "link/link_records.h"

// Resets `link` (port 1558, selection 0, streamName and server emptied by their first byte
// only, flags 0, reserved 0, tag -1; spare and the bytes behind the terminators untouched),
// applies the attributes argn[i]/argv[i] for 0 <= i < argc in order, sets threadHandle, and adds
// the default control set when nothing named a link. Returns linkSpecified (0 or 1).
// Null arrays or null entries are skipped; overlong texts are rejected, never cut.
int32_t buildLinkRecord(LinkRecord& link, int16_t argc, const char* const* argn,
                        const char* const* argv, uint32_t threadHandle);
