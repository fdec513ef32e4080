// linkcheck's judgements: which breach each observation is, and the report's rows.
#include <gtest/gtest.h>

#include "tools/linkcheck/linkcheck_rules.h"

TEST(LinkcheckRules, SendsAndPingsAreJudgedByTheirTimeAndOutcome) {
  struct Row {
    SendOutcome send;
    bool breach;
    Breach kind;
    Verdict verdict;
  };
  const Row rows[] = {
      {{true, 500, true}, false, Breach::SlowAnswer, Verdict::Warn},
      {{true, 501, true}, true, Breach::SlowAnswer, Verdict::Warn},
      {{false, 5500, true}, true, Breach::SlowAnswer, Verdict::Fail},   // the plug-in's timeout
      {{false, 3, true}, true, Breach::Unresponsive, Verdict::Fail},    // hung: failed at once
      {{false, 3, false}, true, Breach::WindowGone, Verdict::Fail},
  };
  for (const Row& r : rows) {
    Breach kind = Breach::SlowStart;
    Verdict verdict = Verdict::Warn;
    EXPECT_EQ(r.breach, judgeSend(r.send, &kind, &verdict)) << r.send.ms;
    if (r.breach) EXPECT_TRUE(kind == r.kind && verdict == r.verdict) << r.send.ms;
  }
  Verdict verdict = Verdict::Fail;
  EXPECT_FALSE(judgePing({true, 500, true}, &verdict));
  EXPECT_TRUE(judgePing({true, 6000, true}, &verdict) && verdict == Verdict::Warn);
  EXPECT_TRUE(judgePing({false, 5500, true}, &verdict) && verdict == Verdict::Fail);
}

TEST(LinkcheckRules, NewRepliesAreReadAsThePluginReadsThem) {
  struct Row {
    uint32_t reply;
    bool created;
    LinkIdentifier id;
    bool breach;
    Breach kind;
  };
  const Row rows[] = {
      {0x00070000u, true, 7, false, Breach::IdentifierNone},
      {0x00030000u, true, 3, true, Breach::IdentifierInUse},  // 3 lives
      {0xFFFF0000u, false, 0xFFFF, true, Breach::IdentifierNone},
      {0x00000001u, false, 0xFFFF, false, Breach::IdentifierNone},  // a refusal is allowed
      {0x00000002u, true, 0xFFFF, true, Breach::IdentifierNone},
      {0x00050003u, true, 0xFFFF, true, Breach::IdentifierNone},
  };
  for (const Row& r : rows) {
    NewReplyJudgement j = judgeNewReply(r.reply, {3});
    EXPECT_EQ(r.created, j.created) << std::hex << r.reply;
    EXPECT_EQ(r.id, j.id) << std::hex << r.reply;
    EXPECT_EQ(r.breach, j.breach) << std::hex << r.reply;
    if (r.breach) EXPECT_TRUE(j.kind == r.kind && j.verdict == Verdict::Fail) << std::hex << r.reply;
  }
}

TEST(LinkcheckRules, ReportHasOneRowPerBreachFailsFirst) {
  EXPECT_EQ("no breach\n", formatFindings({}));
  EXPECT_EQ(0, findingsStatus({}));
  std::vector<Finding> findings = {{Breach::SlowAnswer, Verdict::Warn, "PAINT: 600 ms"},
                                   {Breach::IdentifierInUse, Verdict::Fail, "reply a|b"},
                                   {Breach::SlowAnswer, Verdict::Warn, "PAINT: 700 ms"}};
  EXPECT_EQ(0, findingsStatus({findings[0]}));
  EXPECT_EQ(1, findingsStatus(findings));
  std::string report = formatFindings(findings);
  size_t fail = report.find("| fail | identifier in use | reply a/b | ");
  size_t warn = report.find("| warn | slow answer | PAINT: 600 ms (and 1 more) | ");
  EXPECT_NE(std::string::npos, fail) << report;
  EXPECT_NE(std::string::npos, warn) << report;
  EXPECT_LT(fail, warn);
  EXPECT_NE(std::string::npos, report.find("1 failing, 1 warning\n")) << report;
}
