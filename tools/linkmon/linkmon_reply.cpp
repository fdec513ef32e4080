#include "tools/linkmon/linkmon_reply.h"

#include "link/link_records.h"

ReplyPolicy makeReplyPolicy(const LinkmonOptions& options) {
  return ReplyPolicy{options.reply, options.firstId};
}

uint32_t replyTo(ReplyPolicy* policy, uint64_t code) {
  if (code != LINKMSG_NEW) return 0;
  switch (policy->mode) {
    case ReplyMode::Refuse: return 1;
    case ReplyMode::NoId: return 2;
    case ReplyMode::Reuse: return LINK_REPLY_ACCEPT(policy->nextId);  // never advances
    case ReplyMode::Accept: break;
  }
  uint32_t reply = static_cast<uint32_t>(policy->nextId) << 16;
  policy->nextId = static_cast<uint16_t>(policy->nextId + 1);
  return reply;
}
