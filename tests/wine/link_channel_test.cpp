// The link channel against a real client process: linkmon.exe owns the "KelvoraLink"
// window, logs every message it receives and answers as it is told.
#include <gtest/gtest.h>

#include <cstring>

#include "link/client_locator.h"
#include "link/link_channel.h"
#include "wine_test_support.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Env;

std::vector<unsigned char> bytesOf(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return std::vector<unsigned char>(b, b + n);
}

// The reply to a message that must be delivered.
uint32_t replyTo(LinkMessageCode code, const void* payload, uint32_t length, LinkIdentifier id) {
  uint32_t reply = 0xBADBAD;
  EXPECT_TRUE(sendLinkMessageTo(linkWindow(), code, payload, length, id, &reply)) << code;
  return reply;
}

// A linkmon process with its own log, stopped at the end of each test.
class LinkChannel : public ::testing::Test {
 protected:
  void start(const std::string& args, const Env& env = {}) {
    log_ = newLinkmonLogPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
    monitor_ = startLinkmon("--log \"" + log_ + "\" " + args, env);
    ASSERT_TRUE(monitor_.process != nullptr);
  }
  HWND startWithWindow(const std::string& args, const Env& env = {}) {
    start(args, env);
    HWND w = waitForLinkmonWindow(monitor_, 10000);
    EXPECT_TRUE(w != nullptr);
    return w;
  }
  DWORD stop() { return stopLinkmon(&monitor_); }
  std::vector<LinkmonLogEntry> log() const { return readLinkmonLog(log_); }
  void TearDown() override {
    if (monitor_.process) stop();
    DeleteFileA(log_.c_str());
  }

  std::string log_;
  LinkmonProcess monitor_;
};

TEST_F(LinkChannel, EveryMessageArrivesAsSent) {
  HWND w = startWithWindow("");
  ASSERT_EQ(w, findLinkWindow());
  EXPECT_EQ(w, linkWindow());

  // Every byte distinct and non-zero, the spare bytes included, so a shifted, cut or
  // re-aligned copy cannot pass.
  LinkRecord record;
  unsigned char* raw = reinterpret_cast<unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) raw[i] = static_cast<unsigned char>(i + 1);
  WindowRecord window = {0x00ABCDEF, 0, 0, 0, 0};
  unsigned char stream[1000];
  for (size_t i = 0; i < sizeof stream; ++i) stream[i] = static_cast<unsigned char>(i * 7);

  EXPECT_EQ(1u << 16, replyTo(LINKMSG_NEW, &record, sizeof record, 0));
  EXPECT_EQ(2u << 16, replyTo(LINKMSG_NEW, &record, sizeof record, 0));
  EXPECT_EQ(0u, replyTo(LINKMSG_SET_WINDOW, &window, sizeof window, 1));
  EXPECT_EQ(0u, replyTo(LINKMSG_PAINT, nullptr, 0, 1));
  EXPECT_EQ(0u, replyTo(LINKMSG_STREAM_INFO, &record, sizeof record, 0xFFFE));
  EXPECT_EQ(0u, replyTo(LINKMSG_STREAM_DATA, stream, sizeof stream, 2));
  // A length of 0 sends no data even when the caller passes a pointer.
  EXPECT_EQ(0u, replyTo(LINKMSG_DESTROY, stream, 0, 2));
  EXPECT_EQ(0u, stop());

  struct Expected {
    LinkMessageCode code;
    uint64_t linkId;
    std::vector<unsigned char> data;
    uint32_t reply;
  };
  const Expected expected[] = {
      {LINKMSG_NEW, 0, bytesOf(&record, sizeof record), 1u << 16},
      {LINKMSG_NEW, 0, bytesOf(&record, sizeof record), 2u << 16},
      {LINKMSG_SET_WINDOW, 1, bytesOf(&window, sizeof window), 0},
      {LINKMSG_PAINT, 1, {}, 0},
      {LINKMSG_STREAM_INFO, 0xFFFE, bytesOf(&record, sizeof record), 0},
      {LINKMSG_STREAM_DATA, 2, bytesOf(stream, sizeof stream), 0},
      {LINKMSG_DESTROY, 2, {}, 0},
  };
  std::vector<LinkmonLogEntry> all = log();
  std::vector<LinkmonLogEntry> got = linkmonMessages(all);
  ASSERT_EQ(sizeof expected / sizeof expected[0], got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(got[i].name);
    EXPECT_EQ(i + 1, got[i].seq);
    EXPECT_EQ(static_cast<uint32_t>(expected[i].code), got[i].code);
    EXPECT_EQ(expected[i].linkId, got[i].linkId);
    EXPECT_EQ(expected[i].data.size(), got[i].cbData);
    EXPECT_EQ(expected[i].data, got[i].data);
    EXPECT_EQ(expected[i].data.empty(), got[i].nullData);
    EXPECT_EQ(expected[i].reply, got[i].reply);
  }
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ("start", all.front().event);
  EXPECT_EQ(monitor_.pid, all.front().pid);
  EXPECT_EQ("window", all[1].event);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(w), all[1].hwnd);
  EXPECT_EQ("exit", all.back().event);
}

TEST_F(LinkChannel, GoneWindowIsForgottenAndSendsFail) {
  HWND w = startWithWindow("");
  ASSERT_EQ(w, findLinkWindow());
  EXPECT_EQ(0u, stop());

  // The cache still holds the dead handle: the send reaches nobody and says so.
  EXPECT_EQ(w, linkWindow());
  LinkRecord record = {};
  uint32_t reply = 0x1234;
  EXPECT_FALSE(sendLinkMessageTo(linkWindow(), LINKMSG_NEW, &record, sizeof record, 0, &reply));
  EXPECT_EQ(0x1234u, reply);  // no reply is invented
  // A lookup overwrites the cache with null, and a send then also fails.
  EXPECT_EQ(nullptr, findLinkWindow());
  EXPECT_EQ(nullptr, linkWindow());
  EXPECT_FALSE(sendLinkMessageTo(linkWindow(), LINKMSG_PAINT, nullptr, 0, 1, &reply));
  EXPECT_TRUE(linkmonMessages(log()).empty());
}

TEST_F(LinkChannel, ClientWithoutWindowIsNotFound) {
  start("--no-window");
  // The monitor runs (its control window exists) but offers no link window.
  ASSERT_TRUE(pumpUntil([&] { return findProcessWindow(monitor_.pid, "KelvoraLinkMonitor"); }, 10000));
  EXPECT_EQ(nullptr, findLinkWindow());
  EXPECT_FALSE(sendLinkMessageTo(linkWindow(), LINKMSG_PAINT, nullptr, 0, 1));
  EXPECT_EQ(0u, stop());
  std::vector<LinkmonLogEntry> all = log();
  for (const LinkmonLogEntry& e : all) EXPECT_NE("window", e.event);
  EXPECT_TRUE(linkmonMessages(all).empty());
}

TEST_F(LinkChannel, ReplyModes) {
  struct Case {
    const char* args;
    Env env;
    uint32_t firstReply;
    uint32_t secondReply;
  };
  const Case cases[] = {
      {"", {}, 1u << 16, 2u << 16},
      {"--first-id 7", {}, 7u << 16, 8u << 16},
      {"--reply refuse", {}, 1, 1},
      {"--reply noid", {}, 2, 2},
      {"", {{"LINKMON_REPLY", "refuse"}}, 1, 1},
      {"--reply noid", {{"LINKMON_REPLY", "refuse"}}, 2, 2},  // the command line wins
      {"", {{"LINKMON_FIRST_ID", "300"}}, 300u << 16, 301u << 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    startWithWindow(c.args, c.env);
    ASSERT_TRUE(findLinkWindow() != nullptr);
    LinkRecord record = {};
    EXPECT_EQ(c.firstReply, replyTo(LINKMSG_NEW, &record, sizeof record, 0));
    EXPECT_EQ(c.secondReply, replyTo(LINKMSG_NEW, &record, sizeof record, 0));
    EXPECT_EQ(0u, replyTo(LINKMSG_DESTROY, nullptr, 0, 1));
    EXPECT_EQ(0u, stop());
    std::vector<LinkmonLogEntry> got = linkmonMessages(log());
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(c.firstReply, got[0].reply);
    DeleteFileA(log_.c_str());
  }
}

TEST_F(LinkChannel, DelayedWindowAppearsLater) {
  DWORD started = GetTickCount();
  start("--window-delay 800");
  // Well inside the delay the window is not there yet.
  ASSERT_TRUE(pumpUntil([&] { return findProcessWindow(monitor_.pid, "KelvoraLinkMonitor"); }, 10000));
  if (GetTickCount() - started < 500) {
    EXPECT_EQ(nullptr, findLinkWindow());
  }
  HWND w = waitForLinkmonWindow(monitor_, 10000);
  ASSERT_TRUE(w != nullptr);
  EXPECT_GE(GetTickCount() - started, 700u);
  EXPECT_EQ(w, findLinkWindow());
}

TEST_F(LinkChannel, CommandLineIsRecorded) {
  // As the module starts the client: its launch command, a space and "/$l".
  startWithWindow("--quiet /$l");
  EXPECT_EQ(0u, stop());
  std::vector<LinkmonLogEntry> all = log();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ("start", all[0].event);
  const std::string& line = all[0].commandLine;
  EXPECT_NE(std::string::npos, line.find("linkmon.exe\""));
  EXPECT_NE(std::string::npos, line.find(" --log \"" + log_ + "\" "));
  ASSERT_GE(line.size(), 4u);
  EXPECT_EQ(" /$l", line.substr(line.size() - 4)) << line;
}

}  // namespace
