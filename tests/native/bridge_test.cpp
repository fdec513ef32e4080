// The host's message layer: framing under every split, hostile messages as one table, the
// session's link messages for each request against a recording system, and through that
// system the link core's guards against re-entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "bridge/browser_window.h"
#include "bridge/bridge_session.h"
#include "bridge/host_arguments.h"
#include "bridge/input_queue.h"
#include "bridge/window_placement.h"

namespace {

TEST(NativeFraming, EverySplitGivesTheSameFramesAndOverlongOnesAreSkipped) {
  std::string tooLong = nativeFrame("x");
  tooLong[2] = 0x20;  // announces 2 MiB; its bytes follow, to be skipped
  tooLong += std::string((2u << 20) + 1 - 1, 'z');
  std::string input = nativeFrame("{\"a\":1}") + nativeFrame("") + tooLong + nativeFrame("end");
  for (size_t split : {size_t(0), size_t(1), size_t(3), size_t(4), size_t(9), size_t(13),
                       input.size() - 2}) {
    NativeFrameReader reader = {};
    std::vector<NativeFrame> frames;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(input.data());
    readNativeFrames(reader, bytes, split, frames);
    readNativeFrames(reader, bytes + split, input.size() - split, frames);
    ASSERT_EQ(4u, frames.size()) << split;
    EXPECT_EQ("{\"a\":1}", frames[0].body);
    EXPECT_EQ("", frames[1].body);
    EXPECT_TRUE(frames[2].tooLong && frames[2].body.empty());
    EXPECT_EQ("end", frames[3].body);
    EXPECT_TRUE(nativeInputEndedCleanly(reader));
  }
}

// The reader waits while more than 8 MiB of frames wait, the one being handled included, and
// reads again once handling brings them under; an overlong frame keeps only its length word.
TEST(InputQueue, TheReaderWaitsWhileMoreThanTheLimitWaitsUnhandled) {
  InputQueue q = {};
  std::vector<NativeFrame> read(8, NativeFrame{false, std::string((1u << 20) - 4, 'x')});
  read.push_back({true, ""});
  queueFrames(q, read);
  NativeFrame frame;
  std::vector<bool> full = {inputQueueFull(q), takeFrame(q, &frame) && inputQueueFull(q)};
  frameHandled(q, frame);
  full.push_back(inputQueueFull(q));
  EXPECT_EQ((std::vector<bool>{true, true, false}), full);
  while (takeFrame(q, &frame)) frameHandled(q, frame);
  EXPECT_TRUE(frame.tooLong && q.waiting == 0 && read.empty());
}

struct Hostile {
  const char* text;
  const char* reason;  // null: accepted
  uint32_t id;         // the id the error names
};
const Hostile HOSTILE[] = {
    {"{\"type\":\"new\",\"id\":1,\"attributes\":[[\"Server\",\"m\"]]}", nullptr, 1},
    {"not json", "not JSON", 0},
    {"[1,2]", "not an object", 0},
    {"{\"type\":\"new\",\"id\":1,\"attributes\":[[\"Server\",\"\xff\"]]}", "not JSON", 0},
    {"{\"id\":3}", "type missing", 3},
    {"{\"type\":5,\"id\":3}", "type missing", 3},
    {"{\"type\":\"launch\",\"id\":3}", "unknown type", 3},
    {"{\"type\":\"destroy\",\"id\":0}", "id rejected", 0},
    {"{\"type\":\"destroy\",\"id\":-4}", "id rejected", 0},
    {"{\"type\":\"destroy\",\"id\":2147483648}", "id rejected", 0},
    {"{\"type\":\"destroy\",\"id\":1e3}", "id rejected", 0},
    {"{\"type\":\"destroy\",\"id\":\"7\"}", "id rejected", 0},
    {"{\"type\":\"new\",\"id\":2}", "attributes missing", 2},
    {"{\"type\":\"new\",\"id\":2,\"attributes\":{\"Server\":\"m\"}}", "attributes missing", 2},
    {"{\"type\":\"new\",\"id\":2,\"attributes\":[[\"Server\"]]}", "attribute not a pair", 2},
    {"{\"type\":\"new\",\"id\":2,\"attributes\":[[\"Port\",1600]]}", "attribute text rejected", 2},
    {"{\"type\":\"new\",\"id\":2,\"attributes\":[[\"Server\",\"a\\u0000b\"]]}", "attribute text rejected", 2},
    {"{\"type\":\"window\",\"id\":2,\"box\":[0,0,10],\"clip\":[0,0,1,1],\"visible\":true}", "box rejected", 2},
    {"{\"type\":\"window\",\"id\":2,\"box\":[0,0,-1,5],\"clip\":[0,0,1,1],\"visible\":true}", "box rejected", 2},
    {"{\"type\":\"window\",\"id\":2,\"box\":[0,9999999999,1,5],\"clip\":[0,0,1,1],\"visible\":true}", "box rejected", 2},
    {"{\"type\":\"window\",\"id\":2,\"box\":[0,0,1,5],\"clip\":[0,0,1,1],\"visible\":1}", "visible rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":[75,256],\"end\":true}", "byte rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":-1,\"bytes\":[],\"end\":true}", "offset rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":{},\"end\":true}", "bytes missing", 2},
    // Link files as base64: strict, within the chunk's limit.
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S0s=\",\"end\":true}", nullptr, 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S0s\",\"end\":true}", "bytes rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S0t=\",\"end\":true}", "bytes rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S=s=\",\"end\":true}", "bytes rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S0 s\",\"end\":true}", "bytes rejected", 2},
    {"{\"type\":\"stream\",\"id\":2,\"offset\":0,\"bytes\":\"S0-_\",\"end\":true}", "bytes rejected", 2},
    // A lease names no one object: the requests' parser does not know it.
    {"{\"type\":\"lease\",\"ids\":[1]}", "unknown type", 0},
};

TEST(BridgeMessages, HostileMessagesAreRejectedWhole) {
  for (const Hostile& h : HOSTILE) {
    BridgeRequest request;
    uint32_t id = 99;
    const char* reason = parseBridgeRequest(h.text, &request, &id);
    EXPECT_STREQ(h.reason, reason) << h.text;
    EXPECT_EQ(h.id, id) << h.text;
  }
  // Texts over the limit, and more attributes than the limit, are rejected, not cut.
  std::string longValue = "{\"type\":\"new\",\"id\":1,\"attributes\":[[\"Name\",\"" +
                          std::string(BRIDGE_MAX_TEXT + 1, 'n') + "\"]]}";
  std::string manyPairs = "{\"type\":\"new\",\"id\":1,\"attributes\":[";
  for (size_t i = 0; i <= BRIDGE_MAX_ATTRIBUTES; ++i) manyPairs += i ? ",[\"a\",\"b\"]" : "[\"a\",\"b\"]";
  manyPairs += "]}";
  BridgeRequest request;
  uint32_t id;
  EXPECT_STREQ("attribute text rejected", parseBridgeRequest(longValue, &request, &id));
  EXPECT_STREQ("too many attributes", parseBridgeRequest(manyPairs, &request, &id));
  // Base64 gives the bytes the array gives; 65536 bytes pass, one more does not.
  auto stream = [](const std::string& bytes) {
    return "{\"type\":\"stream\",\"id\":1,\"offset\":0,\"bytes\":" + bytes + ",\"end\":false}";
  };
  ASSERT_EQ(nullptr, parseBridgeRequest(stream("\"/wBL\""), &request, &id));
  EXPECT_EQ((std::vector<unsigned char>{255, 0, 75}), request.bytes);
  std::string full((BRIDGE_MAX_CHUNK + 2) / 3 * 4 - 2, 'A');
  EXPECT_EQ(nullptr, parseBridgeRequest(stream("\"" + full + "==\""), &request, &id));
  EXPECT_EQ(BRIDGE_MAX_CHUNK, request.bytes.size());
  EXPECT_STREQ("chunk too long", parseBridgeRequest(stream("\"" + full + "A=\""), &request, &id));
}

TEST(BridgeMessages, LeasesNameOneToTwentyValidIds) {
  const std::pair<const char*, const char*> leases[] = {
      {"{\"type\":\"lease\",\"ids\":[3,1,3]}", nullptr},
      {"{\"type\":\"window\",\"ids\":[3]}", "not a lease"},
      {"[\"lease\"]", "not a lease"},
      {"{\"type\":\"lease\"}", "ids missing"},
      {"{\"type\":\"lease\",\"ids\":[]}", "ids missing"},
      {"{\"type\":\"lease\",\"ids\":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21]}", "too many ids"},
      {"{\"type\":\"lease\",\"ids\":[1,0]}", "id rejected"},
      {"{\"type\":\"lease\",\"ids\":[\"1\"]}", "id rejected"},
  };
  for (const auto& lease : leases) {
    std::vector<uint32_t> ids = {99};
    EXPECT_STREQ(lease.second, parseBridgeLease(lease.first, &ids)) << lease.first;
    EXPECT_EQ((lease.second ? std::vector<uint32_t>{} : std::vector<uint32_t>{3, 1, 3}), ids) << lease.first;
  }
}

// A recording system: each call as one line; the client answers NEW with `answer`.
struct Recorder {
  std::vector<std::string> calls;
  std::vector<std::string> replies;
  uint32_t answer = 0x00070000;
  bool reachable = true, alive = true;
  uintptr_t nextWindow = 0x100;
  uint32_t clock = 0;  // now(), in milliseconds
  std::vector<LinkRecord> records;
  std::function<void(int)> inside;  // what runs inside the client check (0) or a send (its code)
};
Recorder* rec;

BridgeSession makeSession(Recorder& r) {
  rec = &r;
  BridgeSession s = {};
  s.system.link.reachClient = []() -> void* {
    if (rec->inside) rec->inside(0);
    return rec->reachable ? reinterpret_cast<void*>(0xC1) : nullptr;
  };
  s.system.link.send = [](void*, LinkMessageCode code, const void* payload, uint32_t length,
                          LinkIdentifier id, uint32_t* reply) {
    std::string line = std::to_string(code) + " id=" + std::to_string(id) + " len=" + std::to_string(length);
    if (code == LINKMSG_SET_WINDOW) line += " window=" + std::to_string(*static_cast<const uint32_t*>(payload));
    if (length == sizeof(LinkRecord) && code != LINKMSG_STREAM_DATA) {
      LinkRecord r;
      std::memcpy(&r, payload, sizeof r);
      rec->records.push_back(r);
    }
    if (code == LINKMSG_STREAM_DATA) line += " b14=" + std::to_string(static_cast<const unsigned char*>(payload)[14]);
    rec->calls.push_back(line);
    if (reply != nullptr) *reply = code == LINKMSG_NEW ? rec->answer : 0;
    if (rec->inside) rec->inside(code);
    return true;
  };
  s.system.link.memory = bridgeMemory;
  s.system.destroyWindow = [](void* w) { rec->calls.push_back("destroy-window " + std::to_string(reinterpret_cast<uintptr_t>(w))); };
  s.system.clientAlive = [](void*) { return rec->alive; };
  s.system.createWindow = [](uint32_t) -> void* { return reinterpret_cast<void*>(rec->nextWindow++); };
  s.system.placeWindow = [](void*, const ScreenBox& box, const ScreenBox&, bool visible) {
    rec->calls.push_back(std::string(visible ? "show " : "hide ") + std::to_string(box.x));
  };
  s.system.now = []() { return rec->clock; };
  s.system.write = [](const std::string& m) { rec->replies.push_back(m); };
  s.system.threadHandle = 0xFFFFFFFE;
  s.system.client.status = [](BridgeClientStatus* st) { rec->calls.push_back("status"), *st = {"C:\\K.EXE", "", false}; };
  s.system.client.reach = []() -> const char* { return rec->calls.push_back("reach"), "not-started"; };
  return s;
}

void feed(BridgeSession& s, const std::string& text) { handleBridgeFrame(s, {false, text}); }
std::string newObject(int id) {
  return "{\"type\":\"new\",\"id\":" + std::to_string(id) + ",\"attributes\":[[\"type\",\"application/x-kvla\"],[\"server\",\"mediahost\"]]}";
}

TEST(BridgeSession, ObjectLifeGoesToTheClientAsTheModuleSendsIt) {
  Recorder r;
  BridgeSession s = makeSession(r);
  feed(s, newObject(5));
  feed(s, "{\"type\":\"window\",\"id\":5,\"box\":[10,20,320,40],\"clip\":[0,0,800,600],\"visible\":true}");
  // A link file whose header comes in two chunks: applied once, complete, option word swapped.
  unsigned char file[39] = {'K', 1, 0, 0, 192, 168, 1, 2, 6, 0x40, 0, 0, 0, 0, 0, 0x80};
  std::memcpy(file + 34, "news", 5);
  auto chunk = [&](size_t from, size_t to, bool end) {
    std::string bytes;
    for (size_t i = from; i < to; ++i) bytes += (i > from ? "," : "") + std::to_string(file[i]);
    return "{\"type\":\"stream\",\"id\":5,\"offset\":" + std::to_string(from) + ",\"bytes\":[" + bytes +
           "],\"end\":" + (end ? "true" : "false") + "}";
  };
  feed(s, chunk(0, 20, false));
  feed(s, chunk(20, 39, true));
  feed(s, "{\"type\":\"destroy\",\"id\":5}");
  std::vector<std::string> expected = {"1000 id=0 len=238",     "1020 id=7 len=20 window=256",
                                       "show 10",               "1100 id=7 len=238",
                                       "1110 id=7 len=39 b14=128", "1020 id=7 len=20 window=0",
                                       "destroy-window 256",    "1010 id=7 len=0"};
  EXPECT_EQ(expected, r.calls);
  ASSERT_EQ(2u, r.records.size());
  EXPECT_STREQ("mediahost", r.records[0].server);
  EXPECT_EQ(0xFFFFFFFEu, +r.records[0].threadHandle);
  EXPECT_STREQ("192.168.1.2", r.records[1].server);
  EXPECT_STREQ("news", r.records[1].streamName);
  EXPECT_EQ(std::vector<std::string>{"{\"id\":5,\"linkId\":7,\"result\":\"accepted\",\"type\":\"new\"}"}, r.replies);
  EXPECT_EQ(0u, bridgeObjectCount(s));
}

TEST(BridgeSession, RefusalsLimitsAndStrangersLeaveNothingBehind) {
  Recorder r;
  BridgeSession s = makeSession(r);
  r.answer = 1;  // refused
  feed(s, newObject(1));
  r.reachable = false;
  feed(s, newObject(2));
  EXPECT_EQ(0u, bridgeObjectCount(s));
  r.reachable = true;
  r.answer = 0x00010000;
  for (int id = 1; id <= 21; ++id) feed(s, newObject(id));
  feed(s, newObject(3));                       // an id in use
  feed(s, "{\"type\":\"destroy\",\"id\":99}");  // an id never created
  EXPECT_EQ(20u, bridgeObjectCount(s));
  std::vector<std::string> tail(r.replies.end() - 4, r.replies.end());
  EXPECT_EQ(std::string("{\"id\":20,\"linkId\":1,\"result\":\"accepted\",\"type\":\"new\"}"), tail[0]);
  EXPECT_EQ(std::string("{\"id\":21,\"result\":\"full\",\"type\":\"new\"}"), tail[1]);
  EXPECT_EQ(std::string("{\"id\":3,\"reason\":\"object exists\",\"type\":\"error\"}"), tail[2]);
  EXPECT_EQ(std::string("{\"id\":99,\"reason\":\"no such object\",\"type\":\"error\"}"), tail[3]);
  EXPECT_EQ(std::string("{\"id\":1,\"result\":\"refused\",\"type\":\"new\"}"), r.replies[0]);
  EXPECT_EQ(std::string("{\"id\":2,\"result\":\"no-client\",\"type\":\"new\"}"), r.replies[1]);
  size_t sent = r.calls.size();
  // The client gone: one notice; the input's end destroys every object.
  r.alive = false;
  checkBridgeClient(s);
  checkBridgeClient(s);
  EXPECT_EQ(std::string("{\"notice\":\"client-gone\",\"type\":\"notice\"}"), r.replies.back());
  EXPECT_EQ(std::string("{\"id\":99,\"reason\":\"no such object\",\"type\":\"error\"}"), r.replies[r.replies.size() - 2]);
  endBridgeSession(s);
  EXPECT_EQ(sent + 20 * 3, r.calls.size());
  EXPECT_EQ(0u, bridgeObjectCount(s));
}

// Each window is held on a lease: silent for more than 500 ms, it hides until its page reports
// again, then shows where its last `window` put it; the clock may wrap meanwhile. Each step:
// the clock, then what the page sends ('S' a shown window, 'H' a hidden one, 'L' a lease
// naming it and a stranger, '-' nothing), then the placement the lease check ends with.
TEST(BridgeSession, AWindowWithoutAFreshReportHidesUntilOneComes) {
  const std::map<char, std::string> SENT = {
      {'S', "{\"type\":\"window\",\"id\":5,\"box\":[10,0,9,9],\"clip\":[0,0,99,99],\"visible\":true}"},
      {'H', "{\"type\":\"window\",\"id\":5,\"box\":[30,0,9,9],\"clip\":[0,0,99,99],\"visible\":false}"},
      {'L', "{\"type\":\"lease\",\"ids\":[8,5]}"}};
  const std::vector<std::vector<std::tuple<uint32_t, char, const char*>>> cases = {
      {{0, 'S', "show 10"}, {500, '-', ""}, {501, '-', "hide 10"}, {900, '-', ""}, {950, 'L', "show 10"}},
      {{0, 'S', "show 10"}, {400, 'L', ""}, {800, '-', ""}, {901, '-', "hide 10"}, {1000, 'S', "show 10"}},
      {{0, 'H', "hide 30"}, {600, '-', ""}, {700, 'L', ""}},  // hidden by its page: nothing to do
      {{600, '-', ""}, {700, 'L', ""}},                       // no `window` yet: nothing to show
  };
  for (uint32_t start : {0u, 0xFFFFFF00u})
    for (const auto& steps : cases) {
      Recorder r;
      BridgeSession s = makeSession(r);
      r.clock = start;
      feed(s, newObject(5));
      for (const auto& [at, sent, call] : steps) {
        r.calls.clear();
        r.clock = start + at;
        if (sent != '-') feed(s, SENT.at(sent));
        expireBridgeLeases(s);
        EXPECT_EQ(*call ? std::vector<std::string>{call} : std::vector<std::string>{}, r.calls) << start + at;
      }
      EXPECT_EQ(1u, r.replies.size());  // a lease naming an unknown id is no error
    }
  Recorder r;
  BridgeSession s = makeSession(r);
  feed(s, "{\"type\":\"lease\",\"ids\":[]}");
  EXPECT_EQ(std::vector<std::string>{"{\"reason\":\"ids missing\",\"type\":\"error\"}"}, r.replies);
}

// The version rule's host side: the queries answered; a message of a type newer than the host
// (with fields it does not know) is refused politely, its type named and the host's protocol
// given, and the objects it holds play on.
TEST(BridgeSession, QueriesAreAnsweredAndNewerMessagesRefusedPolitely) {
  const std::string version = ZUROV_PRODUCT_VERSION;
  const std::pair<std::string, std::string> table[] = {
      {"{\"type\":\"hello\",\"protocol\":7,\"newer\":[1]}",
       "{\"protocol\":2,\"type\":\"hello\",\"version\":\"" + version + "\"}"},
      {"{\"type\":\"client-status\"}",
       "{\"command\":\"C:\\\\K.EXE\",\"program\":\"\",\"running\":false,\"type\":\"client-status\"}"},
      {"{\"type\":\"find-client\"}",
       "{\"command\":\"C:\\\\K.EXE\",\"program\":\"\",\"result\":\"not-started\",\"running\":false,\"type\":\"find-client\"}"},
      {"{\"type\":\"rewind\",\"id\":5,\"to\":0}",
       "{\"id\":5,\"protocol\":2,\"reason\":\"unknown type\",\"type\":\"error\",\"unknown\":\"rewind\"}"},
      {"{\"type\":\"" + std::string(65, 't') + "\"}", "{\"protocol\":2,\"reason\":\"unknown type\",\"type\":\"error\"}"},
  };
  ASSERT_TRUE(version.find_first_not_of("0123456789.") == std::string::npos && std::count(version.begin(), version.end(), '.') == 3) << version;
  Recorder r;
  BridgeSession s = makeSession(r);
  feed(s, newObject(5));
  for (const auto& row : table) {
    r.replies.clear();
    feed(s, row.first);
    EXPECT_EQ(std::vector<std::string>{row.second}, r.replies) << row.first;
  }
  // Only find-client reaches the client; the status is read after it.
  EXPECT_EQ((std::vector<std::string>{"1000 id=0 len=238", "1020 id=7 len=20 window=256", "status", "reach", "status"}), r.calls);
  r.replies.clear();
  feed(s, "{\"type\":\"destroy\",\"id\":5}");
  EXPECT_TRUE(r.replies.empty());
  EXPECT_EQ(0u, bridgeObjectCount(s));
}

// A client that answers LINKMSG_PAINT by repainting the window (WM_PAINT sent back inside the
// notice) gets one notice per repaint.
TEST(BridgeSession, AClientRepaintingInItsAnswerGetsOneNoticePerRepaint) {
  Recorder r;
  BridgeSession s = makeSession(r);
  feed(s, newObject(5));
  int nested = 0;
  r.inside = [&](int code) {
    if (code == LINKMSG_PAINT && nested++ < 3) paintBridgeObject(s, 5);
  };
  r.calls.clear();
  for (int repaint = 0; repaint < 3; ++repaint) {
    nested = 0;
    paintBridgeObject(s, 5);
  }
  EXPECT_EQ(std::vector<std::string>(3, "1060 id=7 len=0"), r.calls);
}

// An object ended inside the client check or a send (and even created anew in its place) is
// the waiting call's no more: it gets nothing after, but the LINKMSG_DESTROY that its client's
// acceptance calls for.
TEST(LinkObject, EndedInsideAWaitGetsNothingMoreButTheDestroyItsAcceptanceCallsFor) {
  Recorder r;
  BridgeSession s = makeSession(r);
  const char* names[] = {"server"};
  const char* values[] = {"mediahost"};
  LinkObject o = {};
  auto create = [&] { return createLinkObject(o, s.system.link, 1, names, values, 0); };
  const std::string NEW = "1000 id=0 len=238";
  struct {
    int endInside;
    uint32_t answer;
    bool createdAgain;
    std::vector<std::string> calls;
  } cases[] = {{0, 0x00070000, false, {}},
               {0, 0x00070000, true, {NEW}},  // the new creation's own
               {LINKMSG_NEW, 0x00070000, false, {NEW, "1010 id=7 len=0"}},
               {LINKMSG_NEW, 1 /* refused */, false, {NEW}}};
  for (const auto& c : cases) {
    r.calls.clear();
    r.answer = c.answer;
    o = LinkObject();
    bool ended = false;
    r.inside = [&](int code) {
      if (code != c.endInside || ended) return;
      ended = true;
      endLinkObject(o);
      if (c.createdAgain) EXPECT_EQ(LINK_OBJECT_CREATED, create());
    };
    EXPECT_EQ(LINK_OBJECT_GONE, create());
    EXPECT_EQ(c.calls, r.calls);
    EXPECT_EQ(c.createdAgain, o.created == 1);
  }
  // Ended inside LINKMSG_STREAM_INFO: no data follows.
  r.inside = nullptr;
  r.answer = 0x00070000;
  ASSERT_EQ(LINK_OBJECT_CREATED, create());
  r.calls.clear();
  r.inside = [&](int code) {
    if (code == LINKMSG_STREAM_INFO) endLinkObject(o);
  };
  const unsigned char file[16] = {'K', 0, 0, 0, 10, 0, 0, 1, 0, 80, 0, 0, 0, 1, 0, 0};
  LinkFileStart start = takeLinkFileChunk(s.system.link, nullptr, file, sizeof file, 0);
  EXPECT_EQ(LINK_CHUNK_APPLY, start.action);
  forwardLinkFileStart(o, s.system.link, start);
  EXPECT_EQ(std::vector<std::string>{"1100 id=7 len=238"}, r.calls);
}

// The browser's window among the host's ancestors: each case a process table (the host is 9;
// each process's parent and visible windows, topmost first) and the owner found.
std::map<uint32_t, std::pair<uint32_t, std::vector<BrowserWindow>>> processes;

TEST(HostPieces, TheBrowserWindowIsTheNearestAncestorsAroundTheViewport) {
  void *const B = reinterpret_cast<void*>(0xB0), *const O = reinterpret_cast<void*>(0xB1);
  const ScreenBox ALL = {0, 0, 1920, 1080}, LEFT = {0, 0, 960, 1080}, VIEW = {100, 120, 700, 500};
  const std::pair<decltype(processes), void*> cases[] = {
      {{{9, {4, {}}}, {4, {1, {{O, {1000, 0, 900, 900}}, {B, LEFT}}}}}, B},  // a direct child
      {{{9, {7, {}}}, {7, {4, {}}}, {4, {1, {{B, ALL}}}}}, B},               // through a broker
      {{{9, {7, {}}}, {7, {4, {{O, LEFT}}}}, {4, {1, {{B, ALL}}}}}, O},      // the nearest
      {{{9, {4, {}}}, {4, {1, {{B, ALL}, {O, LEFT}}}}}, B},                  // the topmost
      {{{9, {4, {}}}, {4, {1, {{O, {0, 0, 440, 360}}}}}}, nullptr},          // not around the centre
      {{{9, {4, {}}}, {4, {1, {{O, {0, 0, 460, 380}}}}}}, O},                // around the centre
      {{{9, {8, {}}}, {8, {7, {}}}, {7, {6, {}}}, {6, {1, {{B, ALL}}}}}, B},  // three steps up
      {{{9, {8, {}}}, {8, {7, {}}}, {7, {6, {}}}, {6, {5, {}}}, {5, {1, {{B, ALL}}}}}, nullptr},
      {{{9, {0, {}}}}, nullptr},
      {{{9, {9, {{B, ALL}}}}}, nullptr},  // a parent of its own
      {{{9, {4, {}}}, {4, {9, {}}}}, nullptr},
  };
  BrowserWindowCalls calls = {
      [](uint32_t id) { return processes.count(id) ? processes[id].first : 0u; },
      [](uint32_t id, BrowserWindow* out, size_t capacity) {
        size_t n = processes.count(id) ? std::min(capacity, processes[id].second.size()) : 0;
        std::copy_n(processes[id].second.begin(), n, out);
        return n;
      }};
  for (const auto& c : cases) {
    processes = c.first;
    EXPECT_EQ(c.second, findBrowserWindow(calls, 9, VIEW)) << &c - cases;
  }
}

TEST(HostPieces, ParentWindowArgumentAndPlacement) {
  const char* chrome[] = {"host", "chrome-extension://abc/", "--parent-window=4294967295"};
  const char* firefox[] = {"host", "C:\\m.json", "kelvora-link@kelvora.com"};
  const char* bad[] = {"host", "--parent-window=4294967296", "--parent-window=12x"};
  EXPECT_EQ(0xFFFFFFFFu, parentWindowArgument(3, chrome));
  EXPECT_EQ(0u, parentWindowArgument(3, firefox));
  EXPECT_EQ(0u, parentWindowArgument(3, bad));
  WindowPlacement whole = planWindowPlacement({10, 20, 30, 40}, {0, 0, 100, 100}, true);
  EXPECT_TRUE(whole.show && whole.wholeBox);
  WindowPlacement cut = planWindowPlacement({10, 90, 30, 40}, {0, 0, 100, 100}, true);
  EXPECT_TRUE(cut.show && !cut.wholeBox);
  EXPECT_EQ(10, cut.region.height);
  EXPECT_FALSE(planWindowPlacement({10, 120, 30, 40}, {0, 0, 100, 100}, true).show);
  EXPECT_FALSE(planWindowPlacement({10, 20, 30, 40}, {0, 0, 100, 100}, false).show);
  // The host's own cut: to the monitor, and to the owner's client area where known.
  const ScreenBox MONITOR = {0, 0, 1920, 1080}, CLIENT = {50, 80, 1000, 700}, ABOVE = {0, -300, 800, 500};
  auto hostCut = [&](const ScreenBox& c, const ScreenBox* client) {
    ScreenBox b = hostClip(c, MONITOR, client);
    return std::vector<int32_t>({b.x, b.y, b.width, b.height});
  };
  EXPECT_EQ(std::vector<int32_t>({0, 0, 800, 200}), hostCut(ABOVE, nullptr));
  EXPECT_EQ(std::vector<int32_t>({50, 80, 750, 120}), hostCut(ABOVE, &CLIENT));
  EXPECT_EQ(std::vector<int32_t>({1800, 900, 120, 180}), hostCut({1800, 900, 500, 500}, nullptr));
  EXPECT_EQ(0, hostCut({1100, 100, 50, 50}, &CLIENT)[2]);
}

}  // namespace
