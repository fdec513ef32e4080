// linkcheck's judgements: what each observation of a client means for the plug-in, which
// breach it is, and the report. Plain functions over plain data; the Win32 side
// (linkcheck_main.cpp) makes the observations.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "link/link_records.h"

// Answer times (window procedure or message loop) above this are reported as a warning.
const uint32_t LINKCHECK_SLOW_MS = 500;

enum class Verdict { Warn, Fail };

enum class Breach {
  SlowStart,         // the link window came late, or not within the plug-in's launch wait
  SlowAnswer,        // a window procedure took long, or longer than the plug-in waits
  Unresponsive,      // the link window's thread stayed away from its message loop
  WindowGone,        // the link window went away while objects lived
  IdentifierNone,    // an object ended up with identifier 0xFFFF
  IdentifierInUse,   // an identifier handed out again while its object lived
  SecondLinkWindow,  // a copy started with /$l opened a link window of its own
  SecondCopyStays,   // that copy did not exit
  KeptWindow,        // the client stayed in a window after window 0 or LINKMSG_DESTROY
  ChildSize,         // the client's window in a lent window did not follow its size
};

struct Finding {
  Breach breach;
  Verdict verdict;
  std::string seen;  // where and what, for the report
};

// What one send of the link channel (sendLinkMessageTo) gave.
struct SendOutcome {
  bool delivered;      // the window procedure returned in time
  uint32_t ms;         // how long the send took
  bool windowExists;   // the link window still existed afterwards
};

// The breach a send shows, if any: a delivered answer over LINKCHECK_SLOW_MS warns; a send
// that ran into the plug-in's timeout fails as a slow answer; one that failed sooner while
// the window existed met a thread the system counts as hung; a gone window fails as such.
bool judgeSend(const SendOutcome& send, Breach* breach, Verdict* verdict);

// The same for a WM_NULL sent right after a message: how long the thread stayed away from
// its loop. Late is a warning; no answer at all (hung, or past the timeout) fails.
bool judgePing(const SendOutcome& ping, Verdict* verdict);

// The reply to LINKMSG_NEW, read as the plug-in reads it, against the identifiers of the
// objects alive now. `*id` is what the plug-in keeps (LINK_ID_NONE when none); `*created`
// whether the object exists for the plug-in after the reply.
struct NewReplyJudgement {
  bool created;
  LinkIdentifier id;
  bool breach;
  Breach kind;
  Verdict verdict;
};
NewReplyJudgement judgeNewReply(uint32_t reply, const std::set<LinkIdentifier>& live);

// Whether the client's window inside a lent window covers its client area.
bool followsSize(int32_t childWidth, int32_t childHeight, int32_t lentWidth, int32_t lentHeight);

const char* breachName(Breach breach);
const char* breachFix(Breach breach);

// The table of findings, one row per breach and verdict (repeats counted, the first seen
// shown), fails first; "no breach" when there is none. The last line sums it up.
std::string formatFindings(const std::vector<Finding>& findings);

// Exit status: 1 when any finding fails, else 0.
int findingsStatus(const std::vector<Finding>& findings);
