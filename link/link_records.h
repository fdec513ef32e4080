// The records and codes that travel to the client application in WM_COPYDATA messages: the
// client authors' C header (include/kelvora_link.h), which the module builds on, so the two
// cannot drift apart, plus the module's C++ view of the reply. Plain data only: this header
// compiles natively as well as for both Windows targets, and the static_asserts pin the wire
// layout on each of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/kelvora_link.h"

static_assert(sizeof(LinkRecord) == 238, "LinkRecord is 238 bytes");
static_assert(offsetof(LinkRecord, streamName) == 0, "LinkRecord::streamName");
static_assert(offsetof(LinkRecord, flags) == 80, "LinkRecord::flags");
static_assert(offsetof(LinkRecord, reserved) == 84, "LinkRecord::reserved");
static_assert(offsetof(LinkRecord, server) == 88, "LinkRecord::server");
static_assert(offsetof(LinkRecord, port) == 208, "LinkRecord::port");
static_assert(offsetof(LinkRecord, selection) == 210, "LinkRecord::selection");
static_assert(offsetof(LinkRecord, threadHandle) == 214, "LinkRecord::threadHandle");
static_assert(offsetof(LinkRecord, tag) == 218, "LinkRecord::tag");
static_assert(offsetof(LinkRecord, spare) == 222, "LinkRecord::spare");

static_assert(sizeof(WindowRecord) == 20, "WindowRecord is 20 bytes");
static_assert(offsetof(WindowRecord, window) == 0, "WindowRecord::window");
static_assert(offsetof(WindowRecord, x) == 4, "WindowRecord::x");
static_assert(offsetof(WindowRecord, y) == 8, "WindowRecord::y");
static_assert(offsetof(WindowRecord, width) == 12, "WindowRecord::width");
static_assert(offsetof(WindowRecord, height) == 16, "WindowRecord::height");

// The module's fields are the fixed-width types the header spells without <stdint.h>.
static_assert(sizeof(LinkU32) == sizeof(uint32_t) && static_cast<LinkU32>(-1) > 0, "LinkU32");
static_assert(sizeof(LinkI32) == sizeof(int32_t) && static_cast<LinkI32>(-1) < 0, "LinkI32");

inline NewLinkReplyKind newLinkReplyKind(uint32_t reply) {
  return static_cast<NewLinkReplyKind>(LINK_REPLY_KIND(reply));
}

inline LinkIdentifier newLinkReplyIdentifier(uint32_t reply) {
  return LINK_REPLY_IDENTIFIER(reply);
}
