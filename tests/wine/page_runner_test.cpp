// pagerunner.exe plays pages through the built module while linkmon.exe stands in for the
// client application: what arrives at the client's end, byte for byte, and what the runner
// reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "link/link_records.h"
#include "wine_test_support.h"

namespace {

const DWORD RUN_TIMEOUT_MS = 30000;

std::string testFolder() {
  char dir[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir, n < MAX_PATH ? n : 0) + "pagerunner-test-" +
                     std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;  // WAIT_TIMEOUT when it had to be stopped
  std::string output;           // stdout and stderr together
};

// Runs pagerunner.exe from beside the test with `args`.
RunResult runPageRunner(const std::string& args) {
  RunResult r;
  r.exitCode = runProgram("\"" + programBesideTest("pagerunner.exe") + "\" " + args, RUN_TIMEOUT_MS, &r.output);
  return r;
}

// The window handle that pagerunner gave object `number` in NPP_SetWindow.
uint32_t windowOfObject(const std::string& output, int number) {
  std::string key = "[" + std::to_string(number) + "] NPP_SetWindow(npp" +
                    std::to_string(number) + ", {window=0x";
  size_t at = output.find(key);
  if (at == std::string::npos) return 0;
  return static_cast<uint32_t>(strtoull(output.c_str() + at + key.size(), nullptr, 16));
}

std::vector<LinkmonLogEntry> withName(const std::vector<LinkmonLogEntry>& all, const char* name) {
  std::vector<LinkmonLogEntry> out;
  for (const LinkmonLogEntry& m : all)
    if (m.name == name) out.push_back(m);
  return out;
}

// Index in `all` of the first message `name` with identifier `linkId`; -1 when none.
int indexOf(const std::vector<LinkmonLogEntry>& all, const char* name, uint64_t linkId) {
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].name == name && all[i].linkId == linkId) return static_cast<int>(i);
  return -1;
}

size_t countOf(const std::vector<LinkmonLogEntry>& all, const char* name, uint64_t linkId) {
  size_t n = 0;
  for (const LinkmonLogEntry& m : all)
    if (m.name == name && m.linkId == linkId) ++n;
  return n;
}

class PageRunnerTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = testFolder();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(programBesideTest("ZUROV.DLL").c_str()))
        << "the module is built beside the test as ZUROV.DLL";
  }

  // Writes `page` as page.html, starts linkmon with `linkmonArgs`, runs pagerunner with
  // `runnerArgs` on the module and the page, stops linkmon and reads its messages.
  void play(const std::string& page, const std::string& runnerArgs,
            const std::string& linkmonArgs = "", const char* pageName = "page.html") {
    std::string pagePath = folder_ + pageName;
    writeFile(pagePath, page);
    std::string log = newLinkmonLogPath("pagerunner");
    LinkmonProcess client = startLinkmon("--quiet --log \"" + log + "\" " + linkmonArgs);
    ASSERT_TRUE(client.process != nullptr);
    ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
    run_ = runPageRunner(runnerArgs + " \"" + programBesideTest("ZUROV.DLL") + "\" \"" + pagePath + "\"");
    stopLinkmon(&client);
    messages_ = linkmonMessages(readLinkmonLog(log));
    DeleteFileA(log.c_str());
  }

  std::string folder_;
  RunResult run_;
  std::vector<LinkmonLogEntry> messages_;
};

TEST_F(PageRunnerTest, EveryObjectIsCreatedShownPaintedAndDestroyedUnderItsIdentifier) {
  struct Row {
    const char* embed;
    const char* server;
    uint16_t port;
    const char* streamName;
    int32_t selection;
    uint32_t flags;
  };
  const Row rows[] = {
      {"Server=mediahost NAME=\"news &amp; more\"", "mediahost", 1558, "news & more", 0, 0},
      {"Stream='kvla://10.0.0.5:2000/12'", "10.0.0.5", 2000, "", 12, 0},
      {"stream=kvla://mediahost:1600/__live__ PlayNow=yes", "mediahost", 1600, "", 0, 0x3},
      {"Function=Volume", "", 1558, "", 0, 0x00050000},
      {"", "", 1558, "", 0, 0x009F0000},
  };
  std::string page = "<html><body><!-- <embed type=application/x-kvla Server=no> -->\n";
  for (const Row& r : rows) page += "<embed type=\"application/x-kvla\" " + std::string(r.embed) + ">\n";
  play(page, "");

  EXPECT_EQ(0u, run_.exitCode) << run_.output;
  std::vector<LinkmonLogEntry> created = withName(messages_, "LINKMSG_NEW");
  ASSERT_EQ(5u, created.size()) << run_.output;
  for (size_t i = 0; i < created.size(); ++i) {
    const Row& row = rows[i];
    uint64_t id = i + 1;  // linkmon hands out 1, 2, ...
    SCOPED_TRACE(row.embed);
    EXPECT_EQ(0u, created[i].linkId);
    EXPECT_EQ(238u, created[i].cbData);
    EXPECT_EQ(id << 16, created[i].reply);
    LinkRecord rec = recordIn<LinkRecord>(created[i].data);
    EXPECT_STREQ(row.server, rec.server);
    EXPECT_EQ(row.port, rec.port);
    EXPECT_STREQ(row.streamName, rec.streamName);
    EXPECT_EQ(row.selection, rec.selection);
    EXPECT_EQ(row.flags, rec.flags);
    EXPECT_EQ(-1, rec.tag);

    // The window, then its paints, all after its creation and under its identifier.
    int newAt = static_cast<int>(created[i].seq) - 1;  // seq counts every message from 1
    int windowAt = indexOf(messages_, "LINKMSG_SET_WINDOW", id);
    int paintAt = indexOf(messages_, "LINKMSG_PAINT", id);
    ASSERT_GE(windowAt, 0);
    EXPECT_LT(newAt, windowAt);
    EXPECT_LT(windowAt, paintAt);
    EXPECT_EQ(20u, messages_[windowAt].cbData);
    WindowRecord w = recordIn<WindowRecord>(messages_[windowAt].data);
    EXPECT_EQ(windowOfObject(run_.output, static_cast<int>(id)), w.window);
    EXPECT_NE(0u, w.window);
    EXPECT_EQ(0u, w.x | w.y | w.width | w.height);
    EXPECT_TRUE(messages_[paintAt].nullData);
    EXPECT_NE(std::string::npos,
              run_.output.find("[" + std::to_string(id) + "] WM_PAINT reached the page's window procedure"));
    EXPECT_EQ(1u, countOf(messages_, "LINKMSG_DESTROY", id));
  }
  // Teardown comes after every object was played, in page order.
  std::vector<LinkmonLogEntry> destroyed = withName(messages_, "LINKMSG_DESTROY");
  ASSERT_EQ(5u, destroyed.size());
  for (size_t i = 0; i < destroyed.size(); ++i) {
    EXPECT_EQ(i + 1, destroyed[i].linkId);
    EXPECT_TRUE(destroyed[i].nullData);
    EXPECT_GT(destroyed[i].seq, created.back().seq);
  }
  EXPECT_TRUE(withName(messages_, "LINKMSG_STREAM_INFO").empty());
}

// A link file header: magic, address, port, selection, option word, name at 34.
std::string linkFile(const unsigned char address[4], uint16_t port, uint16_t selection,
                     uint16_t option, const char* name) {
  std::string f(34, '\0');
  f[0] = 'K';
  f[1] = 1;
  for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<char>(address[i]);
  f[8] = static_cast<char>(port >> 8);
  f[9] = static_cast<char>(port & 0xFF);
  f[12] = static_cast<char>(selection >> 8);
  f[13] = static_cast<char>(selection & 0xFF);
  f[14] = static_cast<char>(option >> 8);
  f[15] = static_cast<char>(option & 0xFF);
  f[20] = 0x5A;  // bytes the module does not read travel on unchanged
  f += name;
  f.push_back('\0');
  return f;
}

TEST_F(PageRunnerTest, LinkFilesUpdateTheRecordAndArriveByteForByte) {
  const unsigned char first[4] = {192, 168, 1, 2};
  const unsigned char second[4] = {10, 0, 0, 255};
  const std::string files[] = {linkFile(first, 1558, 7, 0x0080, "ignored"),
                               linkFile(second, 1600, 0, 0x0000, "news")};
  CreateDirectoryA((folder_ + "links").c_str(), nullptr);
  writeFile(folder_ + "links\\first.kvl", files[0]);
  writeFile(folder_ + "second file.KVL", files[1]);
  play("<embed src=\"links/first.kvl\" type=\"application/x-kvla\" Function=Play>\n"
       "<embed SRC=second%20file.KVL?cache=no>\n",
       "");

  EXPECT_EQ(0u, run_.exitCode) << run_.output;
  struct Expected {
    const char* server;
    uint16_t port;
    int32_t selection;
    const char* streamName;
    uint32_t flags;
  };
  const Expected expected[] = {
      {"192.168.1.2", 1558, 7, "", LF_CTL_PLAY | LF_NO_CONTROL},  // control bits replaced
      {"10.0.0.255", 1600, 0, "news", LF_DEFAULT_CONTROLS},       // option bit clear: kept
  };
  std::vector<LinkmonLogEntry> infos = withName(messages_, "LINKMSG_STREAM_INFO");
  std::vector<LinkmonLogEntry> data = withName(messages_, "LINKMSG_STREAM_DATA");
  ASSERT_EQ(2u, infos.size()) << run_.output;
  ASSERT_EQ(2u, data.size());
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    uint64_t id = static_cast<uint64_t>(i) + 1;
    EXPECT_EQ(id, infos[i].linkId);
    EXPECT_EQ(238u, infos[i].cbData);
    LinkRecord rec = recordIn<LinkRecord>(infos[i].data);
    EXPECT_STREQ(expected[i].server, rec.server);
    EXPECT_EQ(expected[i].port, rec.port);
    EXPECT_EQ(expected[i].selection, rec.selection);
    EXPECT_STREQ(expected[i].streamName, rec.streamName);
    EXPECT_EQ(expected[i].flags, rec.flags);
    // The file as delivered, its option word swapped in place.
    std::string forwarded = files[i];
    std::swap(forwarded[14], forwarded[15]);
    EXPECT_EQ(id, data[i].linkId);
    EXPECT_EQ(files[i].size(), data[i].cbData);
    EXPECT_EQ(forwarded, std::string(data[i].data.begin(), data[i].data.end()));
    // Stream information follows the object's window and precedes its teardown.
    EXPECT_LT(indexOf(messages_, "LINKMSG_SET_WINDOW", id), indexOf(messages_, "LINKMSG_STREAM_INFO", id));
    EXPECT_EQ(indexOf(messages_, "LINKMSG_STREAM_INFO", id) + 1, indexOf(messages_, "LINKMSG_STREAM_DATA", id));
    EXPECT_LT(indexOf(messages_, "LINKMSG_STREAM_DATA", id), indexOf(messages_, "LINKMSG_DESTROY", id));
  }
  EXPECT_NE(std::string::npos, run_.output.find("NPP_DestroyStream(npp2, NPRES_DONE) = 0"));
}

TEST_F(PageRunnerTest, DataWithoutTheMagicIsConsumedAndNotForwarded) {
  writeFile(folder_ + "foreign.kvl", "X not a link file");
  play("<embed src=foreign.kvl>", "");
  EXPECT_EQ(0u, run_.exitCode) << run_.output;
  // Consumed whole: a browser would otherwise deliver it again for as long as the page is open.
  EXPECT_NE(std::string::npos, run_.output.find("NPP_Write(npp1, offset=0, len=17) = 17"));
  EXPECT_TRUE(withName(messages_, "LINKMSG_STREAM_INFO").empty());
  EXPECT_TRUE(withName(messages_, "LINKMSG_STREAM_DATA").empty());
  EXPECT_EQ(1u, countOf(messages_, "LINKMSG_DESTROY", 1));  // the object itself lived
}

TEST_F(PageRunnerTest, UnicodeAndAnsiPluginWindowsPassPaintsOnToThePage) {
  const struct {
    const char* option;
    const char* kind;
  } modes[] = {{"", "(Unicode)"}, {"--ansi-windows", "(ANSI)"}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.kind);
    play("<embed type=application/x-kvla Server=mediahost><embed type=application/x-kvla>",
         mode.option);
    EXPECT_EQ(0u, run_.exitCode) << run_.output;
    for (int id = 1; id <= 2; ++id) {
      int windowAt = indexOf(messages_, "LINKMSG_SET_WINDOW", static_cast<uint64_t>(id));
      ASSERT_GE(windowAt, 0) << run_.output;
      EXPECT_EQ(windowOfObject(run_.output, id), recordIn<WindowRecord>(messages_[windowAt].data).window);
      EXPECT_GE(countOf(messages_, "LINKMSG_PAINT", static_cast<uint64_t>(id)), 1u);
      EXPECT_NE(std::string::npos,
                run_.output.find("[" + std::to_string(id) + "] WM_PAINT reached the page's window procedure"));
      EXPECT_EQ(1u, countOf(messages_, "LINKMSG_DESTROY", static_cast<uint64_t>(id)));
    }
    EXPECT_NE(std::string::npos, run_.output.find(mode.kind));
    EXPECT_NE(std::string::npos, run_.output.find("NP_Shutdown() = 0"));
  }
}

TEST_F(PageRunnerTest, RefusedObjectsSendNothingMoreWithOrWithoutDestroy) {
  const struct {
    const char* option;
    bool destroyCalled;
  } habits[] = {{"--browser=opera", false},
                {"--browser=opera --destroy-after-failed-new", true},
                {"--browser=gecko", true},  // Gecko and Chromium always destroy
                {"--browser=chromium", true}};
  for (const auto& habit : habits) {
    SCOPED_TRACE(habit.option);
    play("<embed type=application/x-kvla Server=a><embed type=application/x-kvla Server=b>",
         habit.option, "--reply refuse");
    EXPECT_EQ(1u, run_.exitCode) << run_.output;
    EXPECT_NE(std::string::npos, run_.output.find("= 5 (NPERR_OUT_OF_MEMORY_ERROR)"));
    EXPECT_EQ(habit.destroyCalled, run_.output.find("[1] NPP_Destroy(npp1") != std::string::npos);
    EXPECT_EQ(habit.destroyCalled, run_.output.find("[2] NPP_Destroy(npp2") != std::string::npos);
    EXPECT_NE(std::string::npos, run_.output.find("NP_Shutdown() = 0"));  // ran to the end
    ASSERT_EQ(2u, messages_.size()) << run_.output;
    for (const LinkmonLogEntry& m : messages_) {
      EXPECT_EQ("LINKMSG_NEW", m.name);
      EXPECT_EQ(1u, m.reply);
    }
  }
}

TEST_F(PageRunnerTest, ReportsUsageAndLoadErrorsWithExitCodeTwo) {
  writeFile(folder_ + "page.html", "<embed type=application/x-kvla>");
  RunResult usage = runPageRunner("--keep-open");
  EXPECT_EQ(2u, usage.exitCode);
  EXPECT_NE(std::string::npos, usage.output.find("usage error"));
  RunResult missing = runPageRunner("\"" + folder_ + "NOSUCH.DLL\" \"" + folder_ + "page.html\"");
  EXPECT_EQ(2u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("load error: the module did not load"));
  RunResult noPage = runPageRunner("\"" + programBesideTest("ZUROV.DLL") + "\" \"" + folder_ + "nosuch.html\"");
  EXPECT_EQ(2u, noPage.exitCode);
  EXPECT_NE(std::string::npos, noPage.output.find("load error: cannot read page"));
}

// The demo page (seven embeds and an <object> with <param>s) in each family's habits: what
// reaches the client is what that family's call order makes of it, and pagerunner finds
// the heap valid and every plug-in window back on its own procedure at the end.
TEST_F(PageRunnerTest, EachFamilyPlaysTheDemoPageInItsOwnHabits) {
  std::string demo = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
  const struct {
    const char* family;
    bool nullWindowLast;  // SET_WINDOW with window 0 right before DESTROY
    bool subclasses;      // the browser's procedure goes over the module's
    const char* newArgs;  // how object 8's params arrive
    const char* destroy;
  } families[] = {
      {"gecko", false, true, "PARAM=NULL, Server=\"mediahost\"", "[8] NPP_Destroy(npp8, NULL)"},
      {"chromium", true, false, "{Server=\"mediahost\", Port=\"1600\"", "[8] NPP_Destroy(npp8, &save)"},
      {"webkit", true, true, "height=\"40\", Server=\"mediahost\"", "[8] NPP_Destroy(npp8, &save)"},
      {"opera", false, false, "PARAM=NULL, Server=\"mediahost\"", "[8] NPP_Destroy(npp8, &save)"},
      {"netscape", false, false, "height=\"40\", Server=\"mediahost\"", "[8] NPP_Destroy(npp8, &save)"},
  };
  for (const auto& f : families) {
    SCOPED_TRACE(f.family);
    std::string log = newLinkmonLogPath("families");
    LinkmonProcess client = startLinkmon("--quiet --log \"" + log + "\"");
    ASSERT_TRUE(client.process != nullptr);
    ASSERT_TRUE(waitForLinkmonWindow(client, 10000) != nullptr);
    RunResult run = runPageRunner(std::string("--browser=") + f.family + " \"" +
                                               programBesideTest("ZUROV.DLL") + "\" \"" + demo + "\"");
    stopLinkmon(&client);
    std::vector<LinkmonLogEntry> messages = linkmonMessages(readLinkmonLog(log));
    DeleteFileA(log.c_str());

    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("process heap valid")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("not the page's own"));
    EXPECT_NE(std::string::npos, run.output.find(f.newArgs)) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(f.destroy));
    EXPECT_EQ(f.subclasses, run.output.find("browser procedure installed over") != std::string::npos);
    EXPECT_EQ(8u, withName(messages, "LINKMSG_NEW").size());
    for (uint64_t id = 1; id <= 8; ++id) {
      SCOPED_TRACE(id);
      EXPECT_EQ(1u, countOf(messages, "LINKMSG_DESTROY", id));
      int destroyAt = indexOf(messages, "LINKMSG_DESTROY", id);
      int lastWindow = -1;
      for (int i = 0; i < destroyAt; ++i)
        if (messages[i].name == "LINKMSG_SET_WINDOW" && messages[i].linkId == id) lastWindow = i;
      ASSERT_GE(lastWindow, 0);
      EXPECT_EQ(f.nullWindowLast, recordIn<WindowRecord>(messages[lastWindow].data).window == 0);
    }
    std::vector<LinkmonLogEntry> infos = withName(messages, "LINKMSG_STREAM_INFO");
    ASSERT_EQ(1u, infos.size());  // news.kvl, delivered once whatever the family
    EXPECT_STREQ("news", recordIn<LinkRecord>(infos[0].data).streamName);
  }
}

// Both Chromiums as they were seen: no instance under display:none, instances in frames and
// for a link file opened as the page, a missing link file only means no stream, and an
// object without a type has its stream at once, before the page's other objects; the
// embedded engine of Chromium 21 creates the <object> first.
TEST_F(PageRunnerTest, ChromiumInstancesWhatItLaysOutAndStreamsUntypedObjectsAtOnce) {
  const char* examples = getenv("ZUROV_EXAMPLES_DIR");
  ASSERT_TRUE(examples != nullptr);
  std::string news = readFile(std::string(examples) + "/news.kvl");
  ASSERT_FALSE(news.empty());
  writeFile(folder_ + "a.kvl", news);
  writeFile(folder_ + "frame.html", "<embed type=application/x-kvla Server=inframe>");
  const std::string page =
      "<embed type=application/x-kvla Server=typed src=a.kvl>"
      "<div style='display: none'><embed type=application/x-kvla Server=hidden></div>"
      "<object data=a.kvl></object>"
      "<embed type=application/x-kvla Server=missing src=missing.kvl>"
      "<iframe src=frame.html></iframe>";
  // N: LINKMSG_NEW, W: SET_WINDOW, I: STREAM_INFO, D: STREAM_DATA, X: DESTROY (paints left out).
  const struct {
    const char* options;
    const char* pageName;
    const char* messages;
  } rows[] = {
      {"--browser=chromium", "page.html", "NW" "NWID" "NW" "NW" "ID" "WXWXWXWX"},
      {"--browser=chromium --in-process", "page.html", "NWID" "NW" "NW" "NW" "ID" "WXWXWXWX"},
      {"--browser=chromium", "a.kvl", "NWIDWX"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.options) + " " + row.pageName);
    if (strcmp(row.pageName, "page.html") == 0) play(page, row.options);
    else play(news, row.options, "", row.pageName);
    EXPECT_EQ(0u, run_.exitCode) << run_.output;
    std::string seen;
    for (const LinkmonLogEntry& m : messages_) {
      const char* letter = m.code == LINKMSG_NEW ? "N" : m.code == LINKMSG_SET_WINDOW ? "W"
                         : m.code == LINKMSG_STREAM_INFO ? "I" : m.code == LINKMSG_STREAM_DATA ? "D"
                         : m.code == LINKMSG_DESTROY ? "X" : "";
      seen += letter;
    }
    EXPECT_EQ(row.messages, seen) << run_.output;
    EXPECT_EQ(strcmp(row.pageName, "a.kvl") == 0, run_.output.find("NP_FULL") != std::string::npos);
  }
}

// Object 1's NPP_Write lines: offset, length, result, and the stream's end where shown.
struct WriteLine {
  unsigned offset = 0;
  int len = 0;
  int taken = 0;
  long end = -1;
};

std::vector<WriteLine> writesOf(const std::string& output) {
  std::vector<WriteLine> writes;
  for (size_t at = output.find("[1] NPP_Write("); at != std::string::npos;
       at = output.find("[1] NPP_Write(", at + 1)) {
    WriteLine w;
    unsigned end = 0;
    const char* line = output.c_str() + at;
    if (sscanf(line, "[1] NPP_Write(npp1, offset=%u, len=%d, end=%u) = %d", &w.offset, &w.len, &end, &w.taken) == 4)
      w.end = end;
    else if (sscanf(line, "[1] NPP_Write(npp1, offset=%u, len=%d) = %d", &w.offset, &w.len, &w.taken) != 3)
      continue;
    writes.push_back(w);
  }
  return writes;
}

class StreamHabits : public PageRunnerTest {
 protected:
  void playNews(const std::string& runnerArgs) {
    const unsigned char address[4] = {10, 0, 0, 1};
    writeFile(folder_ + "news.kvl", linkFile(address, 1600, 0, 0x0040, "news"));
    play("<embed src=news.kvl type=application/x-kvla>", runnerArgs);
  }
};

// Out of process, Gecko hands each chunk over as it came and a refused one again alone,
// every 100 ms: never joined with the next, never faster.
TEST_F(StreamHabits, GeckoHandsARefusedChunkOverAloneEvery100Ms) {
  playNews("--browser=gecko --chunk 8 --keep-open 500");
  std::vector<WriteLine> writes = writesOf(run_.output);
  ASSERT_FALSE(writes.empty()) << run_.output;
  size_t refused = 0;
  for (const WriteLine& w : writes) {
    EXPECT_EQ(w.offset / 8, (w.offset + w.len - 1) / 8) << "one chunk alone: " << run_.output;
    if (w.taken == 0) ++refused;
  }
  EXPECT_LE(refused, 500u / 100 + 2) << run_.output;
}

// In process, Gecko may announce an unknown end (0), or 0 raised to what has arrived.
TEST_F(StreamHabits, GeckoInProcessPlaysAnUnknownOrRaisedEnd) {
  for (const char* mode : {"unknown", "raised"}) {
    SCOPED_TRACE(mode);
    playNews(std::string("--browser=gecko --in-process --chunk 16 --stream-end ") + mode);
    EXPECT_NE(std::string::npos, run_.output.find("end=0}, seekable=0)")) << run_.output;
    for (const WriteLine& w : writesOf(run_.output))
      EXPECT_EQ(mode[0] == 'u' ? 0 : long(w.offset) + w.len, w.end) << run_.output;
  }
}

// Any family: a connection that breaks ends the stream with NPRES_NETWORK_ERR, and a link
// file cut short there reaches the client not at all.
TEST_F(StreamHabits, EveryFamilyEndsABrokenStreamWithANetworkError) {
  for (const char* family : {"gecko", "chromium", "webkit", "opera", "netscape"}) {
    SCOPED_TRACE(family);
    playNews(std::string("--network-error-after 10 --browser=") + family);
    EXPECT_EQ(0u, run_.exitCode) << run_.output;
    EXPECT_NE(std::string::npos, run_.output.find("NPP_DestroyStream(npp1, NPRES_NETWORK_ERR)"));
    EXPECT_TRUE(withName(messages_, "LINKMSG_STREAM_DATA").empty());
  }
}

// Gecko's hang clock with a client slow to start (its window after 9 s) and slow to answer
// LINKMSG_NEW (after 4 s): the module's waits are modal loops to the browser, so the clock
// stops within the first second of the launch wait and no hang dialog shows.
TEST_F(PageRunnerTest, GeckoShowsNoHangDialogWhileASlowClientStarts) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  LaunchCommandsKept commands;
  // The module waits 10 s of real time for the window: in the slower emulated PC the client
  // takes longer to start, so its delays are shorter there.
  setRegistryCommand("\"" + programBesideTest("linkmon.exe") + "\" --quiet --window-delay " +
                     std::to_string(9000 / ZUROV_WAIT_SCALE) + " --hang-on 1000:" +
                     std::to_string(4000 / ZUROV_WAIT_SCALE));
  writeFile(folder_ + "page.html", "<embed type=application/x-kvla Server=mediahost>");
  RunResult r = runPageRunner("--browser=gecko --close-window KelvoraLinkMonitor \"" +
                                           programBesideTest("ZUROV.DLL") + "\" \"" + folder_ +
                                           "page.html\"");
  // A run that failed must not leave its client to the next test.
  if (HWND monitor = FindWindowA("KelvoraLinkMonitor", nullptr)) PostMessageA(monitor, WM_CLOSE, 0, 0);
  pumpUntil([] { return FindWindowA("KelvoraLink", nullptr) == nullptr; }, 10000);
  EXPECT_EQ(0u, r.exitCode) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find("hang dialog would have shown")) << r.output;
  const std::string stopped = "NP_Initialize: the browser's hang clock stopped at ";
  size_t at = r.output.find(stopped);
  ASSERT_NE(std::string::npos, at) << r.output;
  EXPECT_LT(strtoul(r.output.c_str() + at + stopped.size(), nullptr, 10), 1000u * ZUROV_WAIT_SCALE);
}

// A browser unloads a plug-in whose initialization fails and uses none of its objects.
TEST_F(PageRunnerTest, FailedInitializationIsAFailedLoad) {
  ASSERT_TRUE(FindWindowA("KelvoraLink", nullptr) == nullptr);
  LaunchCommandsKept commands;
  setRegistryCommand("Z:\\nonexistent\\never-started.exe");
  writeFile(folder_ + "page.html", "<embed type=application/x-kvla>");
  MessageBoxSeen seen;
  std::thread watcher = startMessageBoxWatcher("ZUROV.DLL", &seen);  // the module's warning
  RunResult r = runPageRunner(
      "\"" + programBesideTest("ZUROV.DLL") + "\" \"" + folder_ + "page.html\"");
  watcher.join();
  EXPECT_TRUE(seen.found);
  EXPECT_EQ(2u, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("= 4 (NPERR_MODULE_LOAD_FAILED_ERROR)")) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("load error: NP_Initialize failed"));
  EXPECT_NE(std::string::npos, r.output.find("FreeLibrary("));
  EXPECT_EQ(std::string::npos, r.output.find("NPP_New"));
  // The warning box is a modal loop: gecko's hook sees it and the clock stops.
  EXPECT_NE(std::string::npos, r.output.find("NP_Initialize: the browser's hang clock stopped at"));
}

}  // namespace
