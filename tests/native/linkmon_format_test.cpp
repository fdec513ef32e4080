// linkmon's portable parts: option parsing, the reply policy, and what it prints and logs.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "link/link_records.h"
#include "tools/linkmon/linkmon_decode.h"
#include "tools/linkmon/linkmon_json.h"
#include "tools/linkmon/linkmon_options.h"
#include "tools/linkmon/linkmon_reply.h"

namespace {

typedef std::map<std::string, std::string> Env;

bool parse(const std::vector<std::string>& args, const Env& env, LinkmonOptions* o,
           std::string* error) {
  return parseLinkmonOptions(
      args,
      [&env](const char* name, std::string* value) {
        auto it = env.find(name);
        if (it == env.end()) return false;
        *value = it->second;
        return true;
      },
      o, error);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

}  // namespace

TEST(LinkmonOptions, CommandLineOverridesEnvironment) {
  LinkmonOptions o;
  std::string error;
  Env env = {{"LINKMON_LOG", "env.log"},       {"LINKMON_REPLY", "refuse"},
             {"LINKMON_FIRST_ID", "9"},        {"LINKMON_WINDOW_DELAY", "300"},
             {"LINKMON_NO_WINDOW", "1"},       {"LINKMON_LIFETIME", "5000"},
             {"LINKMON_QUIET", "1"}};
  ASSERT_TRUE(parse({}, env, &o, &error)) << error;
  EXPECT_EQ("env.log", o.logPath);
  EXPECT_EQ(ReplyMode::Refuse, o.reply);
  EXPECT_EQ(9, o.firstId);
  EXPECT_EQ(300u, o.windowDelayMs);
  EXPECT_TRUE(o.noWindow);
  EXPECT_EQ(5000u, o.lifetimeMs);
  EXPECT_TRUE(o.quiet);

  ASSERT_TRUE(parse({"--log", "cmd.log", "--reply=noid", "--first-id", "65535", "/$l",
                     "--window-delay", "0", "--lifetime", "1", "--lifetime", "2"},
                    env, &o, &error))
      << error;
  EXPECT_EQ("cmd.log", o.logPath);
  EXPECT_EQ(ReplyMode::NoId, o.reply);
  EXPECT_EQ(65535, o.firstId);
  EXPECT_EQ(0u, o.windowDelayMs);
  EXPECT_EQ(2u, o.lifetimeMs);  // the later option wins

  ASSERT_TRUE(parse({"/$l"}, {{"LINKMON_NO_WINDOW", "0"}, {"LINKMON_LOG", ""}}, &o, &error));
  EXPECT_FALSE(o.noWindow);
  EXPECT_EQ("", o.logPath);
  EXPECT_EQ(ReplyMode::Accept, o.reply);
  EXPECT_EQ(1, o.firstId);
}

TEST(LinkmonOptions, HangExitAndStartCpu) {
  LinkmonOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--hang-on", "1060:250", "--exit-on=1010", "--start-cpu", "900"}, {}, &o,
                    &error))
      << error;
  EXPECT_EQ(1060u, o.hangCode);
  EXPECT_EQ(250u, o.hangMs);
  EXPECT_EQ(1010u, o.exitCode);
  EXPECT_EQ(900u, o.startCpuMs);
  ASSERT_TRUE(parse({}, {{"LINKMON_HANG_ON", "1000"}}, &o, &error)) << error;
  EXPECT_EQ(1000u, o.hangCode);
  EXPECT_EQ(30000u, o.hangMs);  // the default hang
  EXPECT_EQ(0u, o.exitCode);
  EXPECT_FALSE(o.launched);
  ASSERT_TRUE(parse({"--defer-on", "1020", "--multiple", "/$l"}, {}, &o, &error)) << error;
  EXPECT_EQ(1020u, o.deferCode);
  EXPECT_EQ(6000u, o.deferMs);  // the default posted work
  EXPECT_TRUE(o.multiple && o.launched);
}

TEST(LinkmonOptions, RejectsWhatDoesNotParse) {
  struct Case {
    std::vector<std::string> args;
    Env env;
  };
  const Case cases[] = {
      {{"--frobnicate"}, {}},
      {{"extra"}, {}},
      {{"--log"}, {}},
      {{"--log="}, {}},
      {{"--reply", "maybe"}, {}},
      {{"--first-id", "65536"}, {}},
      {{"--first-id", "-1"}, {}},
      {{"--window-delay", "10ms"}, {}},
      {{"--lifetime", "99999999999"}, {}},
      {{"--quiet=1"}, {}},
      {{"--hang-on", "0"}, {}},
      {{"--hang-on", "1000:"}, {}},
      {{"--hang-on", "1000:5s"}, {}},
      {{"--exit-on", "0"}, {}},
      {{"--defer-on", "1000:x"}, {}},
      {{"--multiple=1"}, {}},
      {{}, {{"LINKMON_FIRST_ID", "x"}}},
      {{}, {{"LINKMON_QUIET", "yes"}}},
  };
  for (const Case& c : cases) {
    LinkmonOptions o;
    o.logPath = "untouched";
    std::string error;
    EXPECT_FALSE(parse(c.args, c.env, &o, &error)) << (c.args.empty() ? "env" : c.args[0]);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ("untouched", o.logPath);
  }
}

TEST(LinkmonReply, ModesAndIdentifiers) {
  LinkmonOptions o;
  o.firstId = 0xFFFE;
  ReplyPolicy p = makeReplyPolicy(o);
  EXPECT_EQ(0xFFFE0000u, replyTo(&p, LINKMSG_NEW));
  EXPECT_EQ(0u, replyTo(&p, LINKMSG_PAINT));  // other messages do not use up an identifier
  EXPECT_EQ(0xFFFF0000u, replyTo(&p, LINKMSG_NEW));
  EXPECT_EQ(0x00000000u, replyTo(&p, LINKMSG_NEW));  // wraps
  EXPECT_EQ(0x00010000u, replyTo(&p, LINKMSG_NEW));

  o.reply = ReplyMode::Refuse;
  p = makeReplyPolicy(o);
  EXPECT_EQ(1u, replyTo(&p, LINKMSG_NEW));
  EXPECT_EQ(0u, replyTo(&p, LINKMSG_SET_WINDOW));
  o.reply = ReplyMode::NoId;
  p = makeReplyPolicy(o);
  EXPECT_EQ(2u, replyTo(&p, LINKMSG_NEW));
  o.reply = ReplyMode::Reuse;
  p = makeReplyPolicy(o);
  EXPECT_EQ(0xFFFE0000u, replyTo(&p, LINKMSG_NEW));
  EXPECT_EQ(0xFFFE0000u, replyTo(&p, LINKMSG_NEW));
}

TEST(LinkmonDecode, FlagNames) {
  EXPECT_EQ("none", flagNames(0));
  EXPECT_EQ("LF_PLAY_NOW | LF_LIVE", flagNames(LF_PLAY_NOW | LF_LIVE));
  EXPECT_EQ("LF_EMBED_CONTROL | LF_CTL_VIEWER | LF_CTL_VOLUME | LF_CTL_SLIDER | LF_CTL_PLAYSTOP",
            flagNames(LF_DEFAULT_CONTROLS));
  // Half of the slider pair, and a bit with no name, show as hex.
  EXPECT_EQ("LF_NO_CONTROL | 0x00080020", flagNames(LF_NO_CONTROL | 0x00080000 | 0x20));
}

TEST(LinkmonDecode, LinkRecordFieldByField) {
  LinkRecord r;
  std::memset(&r, 0, sizeof r);
  std::strcpy(r.streamName, "clip \"one\"");
  r.flags = LF_PLAY_NOW | LF_NO_AUDIO;
  std::strcpy(r.server, "10.0.0.7");
  r.port = 1558;
  r.selection = -3;
  r.threadHandle = 0xFFFFFFFE;
  r.tag = -1;
  r.spare[15] = 0xAB;
  LinkMessageView m = {4, LINKMSG_STREAM_INFO, 7, sizeof r,
                       reinterpret_cast<const uint8_t*>(&r), 0};
  std::string text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("#4 LINKMSG_STREAM_INFO  wParam 1100  LinkIdentifier 7  cbData 238\n"));
  EXPECT_NE(std::string::npos, text.find("streamName   \"clip \\\"one\\\"\"\n"));
  EXPECT_NE(std::string::npos, text.find("flags        0x00000009  LF_PLAY_NOW | LF_NO_AUDIO\n"));
  EXPECT_NE(std::string::npos, text.find("server       \"10.0.0.7\"\n"));
  EXPECT_NE(std::string::npos, text.find("port         1558\n"));
  EXPECT_NE(std::string::npos, text.find("selection    -3\n"));
  EXPECT_NE(std::string::npos, text.find("threadHandle 0xfffffffe\n"));
  EXPECT_NE(std::string::npos, text.find("tag          -1\n"));
  EXPECT_NE(std::string::npos, text.find("00 00 00 00 00 ab\n"));
  EXPECT_EQ(std::string::npos, text.find("note:")) << text;

  // A stream name without its NUL is shown whole, flagged, and not read beyond its field.
  std::memset(r.streamName, 'x', sizeof r.streamName);
  m.code = LINKMSG_NEW;
  m.dwData = 0;
  m.reply = 0x00050000;
  text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("\"" + std::string(80, 'x') + "\"\n"));
  EXPECT_NE(std::string::npos, text.find("note: streamName fills all 80 bytes"));
  EXPECT_NE(std::string::npos, text.find("reply        0x00050000  accepted, LinkIdentifier 5"));
}

TEST(LinkmonDecode, OddPayloadsAreDumpedNotDecoded) {
  uint8_t bytes[300];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(i);

  // A LINKMSG_NEW that is too short is not read as a record.
  LinkMessageView m = {1, LINKMSG_NEW, 0, 20, bytes, 1};
  std::string text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("note: LINKMSG_NEW should carry 238 bytes"));
  EXPECT_EQ(std::string::npos, text.find("streamName"));
  EXPECT_NE(std::string::npos, text.find("  0010  10 11 12 13\n"));
  EXPECT_NE(std::string::npos, text.find("refused"));

  // STREAM_DATA: the first 64 bytes and the rest counted.
  m = {2, LINKMSG_STREAM_DATA, 3, 100, bytes, 0};
  text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("  0030  30 31"));
  EXPECT_EQ(std::string::npos, text.find("  0040"));
  EXPECT_NE(std::string::npos, text.find("... 36 more bytes"));

  // A length with no data pointer is reported, never read.
  m = {3, LINKMSG_SET_WINDOW, 3, 20, nullptr, 0};
  text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("(no data)"));
  EXPECT_NE(std::string::npos, text.find("note: cbData is not 0 but there is no data"));
  EXPECT_EQ(std::string::npos, text.find("window "));

  // PAINT with the identifier of an instance that has none.
  m = {4, LINKMSG_PAINT, 0xFFFF, 0, nullptr, 0};
  text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("note: dwData is 0xFFFF"));
}

TEST(LinkmonDecode, WindowRecord) {
  WindowRecord w = {0x00120034, 0, 0, 0, 5};
  LinkMessageView m = {1, LINKMSG_SET_WINDOW, 2, sizeof w, reinterpret_cast<const uint8_t*>(&w), 0};
  std::string text = joined(describeLinkMessage(m));
  EXPECT_NE(std::string::npos, text.find("window       0x00120034\n"));
  EXPECT_NE(std::string::npos, text.find("height       0x00000005\n"));
  EXPECT_NE(std::string::npos, text.find("note: height is not 0"));
}

TEST(LinkmonJson, Lines) {
  const uint8_t bytes[] = {0x00, 0x7f, 0xff};
  LinkMessageView m = {12, LINKMSG_STREAM_DATA, 65535, 3, bytes, 0};
  EXPECT_EQ("{\"event\":\"message\",\"seq\":12,\"code\":1110,\"name\":\"LINKMSG_STREAM_DATA\","
            "\"linkId\":65535,\"cbData\":3,\"nullData\":false,\"data\":\"007fff\",\"reply\":0}",
            messageJson(m));
  m = {1, 4242, 0, 5, nullptr, 0};
  EXPECT_EQ("{\"event\":\"message\",\"seq\":1,\"code\":4242,\"name\":\"unknown\",\"linkId\":0,"
            "\"cbData\":5,\"nullData\":true,\"data\":\"\",\"reply\":0}",
            messageJson(m));
  EXPECT_EQ("{\"event\":\"start\",\"pid\":42,\"commandLine\":"
            "\"C:\\\\a b\\\\linkmon.exe \\\"x\\\"\\u0009\\u00e9 /$l\"}",
            startJson(42, "C:\\a b\\linkmon.exe \"x\"\t\xe9 /$l"));
  EXPECT_EQ("{\"event\":\"window\",\"hwnd\":65572}", windowJson(65572));
  EXPECT_EQ("{\"event\":\"exit\"}", exitJson());
}
