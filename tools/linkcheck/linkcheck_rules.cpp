#include "tools/linkcheck/linkcheck_rules.h"

#include <map>
#include <utility>

namespace {

// A send that failed this close to the plug-in's timeout ran into it.
const uint32_t TIMEOUT_SLACK_MS = 500;

struct BreachText {
  Breach breach;
  const char* name;
  const char* fix;
};

const BreachText breachTexts[] = {
    {Breach::SlowStart, "slow start",
     "create the link window first thing, before anything slow: the plug-in waits 10 s, then "
     "shows \"Unable to locate Kelvora Application!\" and the object fails"},
    {Breach::SlowAnswer, "slow answer",
     "return from the window procedure at once: copy the payload to a worker thread; the "
     "plug-in waits 5.5 s, then drops the message (for LINKMSG_NEW the object fails)"},
    {Breach::Unresponsive, "unresponsive thread",
     "never keep the link window's thread from its message loop, not with work posted to "
     "itself either: after 5 s the system counts it hung and every message fails at once"},
    {Breach::WindowGone, "link window gone",
     "keep the link window while the client runs: objects whose link window is gone hear "
     "nothing more"},
    {Breach::IdentifierNone, "identifier 0xFFFF",
     "reply LINK_REPLY_ACCEPT(id) with id 0 to 0xFFFE, or LINK_REPLY_REFUSE: 0xFFFF names no "
     "object, and any other low word leaves the object with it"},
    {Breach::IdentifierInUse, "identifier in use",
     "hand an identifier out again only after its LINKMSG_DESTROY: one client serves every "
     "browser and plug-in process"},
    {Breach::SecondLinkWindow, "second link window",
     "be single-instance: a copy started with /$l while another runs passes its arguments on "
     "and exits without a window (take a named mutex before creating the window)"},
    {Breach::SecondCopyStays, "second copy stays",
     "end the second copy once it has handed over"},
    {Breach::KeptWindow, "kept a window",
     "leave a lent window (destroy your window in it) when LINKMSG_SET_WINDOW carries window 0 "
     "and at LINKMSG_DESTROY"},
    {Breach::ChildSize, "window size not followed",
     "read the lent window's client size again at each LINKMSG_SET_WINDOW and LINKMSG_PAINT "
     "and size your window to it"},
};

const BreachText& textOf(Breach breach) {
  for (const BreachText& t : breachTexts)
    if (t.breach == breach) return t;
  return breachTexts[0];
}

// A table cell: "|" would end it.
std::string cell(std::string text) {
  for (char& c : text)
    if (c == '|') c = '/';
  return text;
}

}  // namespace

bool judgeSend(const SendOutcome& send, Breach* breach, Verdict* verdict) {
  if (send.delivered) {
    if (send.ms <= LINKCHECK_SLOW_MS) return false;
    *breach = Breach::SlowAnswer;
    *verdict = Verdict::Warn;
    return true;
  }
  *verdict = Verdict::Fail;
  if (!send.windowExists) *breach = Breach::WindowGone;
  else if (send.ms + TIMEOUT_SLACK_MS >= KELVORA_SEND_TIMEOUT_MS) *breach = Breach::SlowAnswer;
  else *breach = Breach::Unresponsive;  // failed at once: the system counts the thread hung
  return true;
}

bool judgePing(const SendOutcome& ping, Verdict* verdict) {
  if (ping.delivered && ping.ms <= LINKCHECK_SLOW_MS) return false;
  *verdict = ping.delivered ? Verdict::Warn : Verdict::Fail;
  return true;
}

NewReplyJudgement judgeNewReply(uint32_t reply, const std::set<LinkIdentifier>& live) {
  NewReplyJudgement j = {false, static_cast<LinkIdentifier>(LINK_ID_NONE), false,
                         Breach::IdentifierNone, Verdict::Fail};
  switch (newLinkReplyKind(reply)) {
    case NEW_LINK_ACCEPTED:
      j.created = true;
      j.id = newLinkReplyIdentifier(reply);
      j.breach = live.count(j.id) != 0;
      j.kind = Breach::IdentifierInUse;
      break;
    case NEW_LINK_REFUSED:
      // Low word 0 with identifier 0xFFFF: the plug-in refuses what the client accepted.
      j.breach = (reply & 0xFFFFu) == 0;
      break;
    case NEW_LINK_ACCEPTED_WITHOUT_ID:
      j.created = true;
      j.breach = true;
      break;
  }
  return j;
}

bool followsSize(int32_t childWidth, int32_t childHeight, int32_t lentWidth, int32_t lentHeight) {
  return childWidth == lentWidth && childHeight == lentHeight;
}

const char* breachName(Breach breach) { return textOf(breach).name; }
const char* breachFix(Breach breach) { return textOf(breach).fix; }

std::string formatFindings(const std::vector<Finding>& findings) {
  // One row per breach and verdict, in the order first seen; fails before warnings.
  std::vector<std::pair<Breach, Verdict>> order;
  std::map<std::pair<Breach, Verdict>, std::pair<std::string, unsigned>> rows;
  for (const Finding& f : findings) {
    auto key = std::make_pair(f.breach, f.verdict);
    auto found = rows.find(key);
    if (found == rows.end()) {
      order.push_back(key);
      rows[key] = {f.seen, 1};
    } else {
      ++found->second.second;
    }
  }
  if (order.empty()) return "no breach\n";
  std::string out = "| verdict | breach | seen | fix |\n|---|---|---|---|\n";
  unsigned fails = 0, warnings = 0;
  for (Verdict pass : {Verdict::Fail, Verdict::Warn}) {
    for (const auto& key : order) {
      if (key.second != pass) continue;
      const auto& row = rows[key];
      (pass == Verdict::Fail ? fails : warnings) += 1;
      std::string seen = cell(row.first);
      if (row.second > 1) seen += " (and " + std::to_string(row.second - 1) + " more)";
      out += std::string("| ") + (pass == Verdict::Fail ? "fail" : "warn") + " | " +
             breachName(key.first) + " | " + seen + " | " + cell(breachFix(key.first)) + " |\n";
    }
  }
  return out + std::to_string(fails) + " failing, " + std::to_string(warnings) + " warning\n";
}

int findingsStatus(const std::vector<Finding>& findings) {
  for (const Finding& f : findings)
    if (f.verdict == Verdict::Fail) return 1;
  return 0;
}
