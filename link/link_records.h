// The records and codes that travel to the client application in WM_COPYDATA messages: the
// client authors' C header (include/kelvora_link.h), which the module builds on, so the two
// cannot drift apart, plus the module's C++ view of the reply. Plain data only: this header
// compiles natively as well as for both Windows targets, and the header's layout checks pin
// the wire layout on each of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/kelvora_link.h"

// The module's fields are the fixed-width types the header spells without <stdint.h>.
static_assert(sizeof(LinkU32) == sizeof(uint32_t) && static_cast<LinkU32>(-1) > 0, "LinkU32");
static_assert(sizeof(LinkI32) == sizeof(int32_t) && static_cast<LinkI32>(-1) < 0, "LinkI32");

inline NewLinkReplyKind newLinkReplyKind(uint32_t reply) {
  return static_cast<NewLinkReplyKind>(LINK_REPLY_KIND(reply));
}

inline LinkIdentifier newLinkReplyIdentifier(uint32_t reply) {
  return LINK_REPLY_IDENTIFIER(reply);
}
