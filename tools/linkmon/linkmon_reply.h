// How linkmon answers the link messages.
#pragma once

#include <cstdint>

#include "tools/linkmon/linkmon_options.h"

struct ReplyPolicy {
  ReplyMode mode;
  uint16_t nextId;  // the identifier the next accepted LINKMSG_NEW gets
};

ReplyPolicy makeReplyPolicy(const LinkmonOptions& options);

// The 32-bit reply to a message with wParam `code`. LINKMSG_NEW: accept gives
// (identifier << 16) and advances the identifier (wrapping after 0xFFFF), refuse gives 1,
// noid gives 2, reuse gives the first identifier every time. Every other message gets 0.
uint32_t replyTo(ReplyPolicy* policy, uint64_t code);
