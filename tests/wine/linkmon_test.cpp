// linkmon.exe as a program: exit codes, configuration by environment, and the ways it ends.
#include <gtest/gtest.h>

#include "wine_test_support.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Env;

std::vector<std::string> events(const std::string& log) {
  std::vector<std::string> out;
  for (const LinkmonLogEntry& e : readLinkmonLog(log)) out.push_back(e.event);
  return out;
}

TEST(Linkmon, ExitCodesOfHelpAndBadConfiguration) {
  struct Case {
    const char* args;
    Env env;
    DWORD exitCode;
  };
  const Case cases[] = {
      {"--help", {}, 0},
      {"--no-such-option", {}, 2},
      {"--reply maybe", {}, 2},
      {"stray /$l", {}, 2},
      {"", {{"LINKMON_WINDOW_DELAY", "soon"}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string log = newLinkmonLogPath("exitcodes");
    Env env = c.env;
    env.emplace_back("LINKMON_LOG", log);
    LinkmonProcess p = startLinkmon(c.args, env);
    ASSERT_TRUE(p.process != nullptr);
    EXPECT_EQ(c.exitCode, waitForLinkmonExit(p, 10000));
    stopLinkmon(&p);
    // It ends before it opens the log or creates any window.
    EXPECT_TRUE(events(log).empty());
    DeleteFileA(log.c_str());
  }
}

TEST(Linkmon, ConfiguredByEnvironmentAndClosedThroughItsControlWindow) {
  std::string log = newLinkmonLogPath("env");
  LinkmonProcess p = startLinkmon("", {{"LINKMON_LOG", log}, {"LINKMON_NO_WINDOW", "1"},
                                       {"LINKMON_QUIET", "1"}});
  ASSERT_TRUE(pumpUntil([&] { return findProcessWindow(p.pid, "KelvoraLinkMonitor"); }, 10000));
  EXPECT_EQ(nullptr, findProcessWindow(p.pid, "KelvoraLink"));
  EXPECT_EQ(0u, stopLinkmon(&p));
  EXPECT_EQ((std::vector<std::string>{"start", "exit"}), events(log));
  DeleteFileA(log.c_str());
}

TEST(Linkmon, ClosingTheLinkWindowEndsIt) {
  std::string log = newLinkmonLogPath("closelink");
  LinkmonProcess p = startLinkmon("--quiet --log \"" + log + "\"");
  HWND w = waitForLinkmonWindow(p, 10000);
  ASSERT_TRUE(w != nullptr);
  PostMessageA(w, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, waitForLinkmonExit(p, 10000));
  stopLinkmon(&p);
  EXPECT_EQ((std::vector<std::string>{"start", "window", "exit"}), events(log));
  DeleteFileA(log.c_str());
}

TEST(Linkmon, LifetimeEndsItAndRunsAppendToTheLog) {
  std::string log = newLinkmonLogPath("lifetime");
  for (int run = 0; run < 2; ++run) {
    DWORD started = GetTickCount();
    LinkmonProcess p = startLinkmon("--quiet --lifetime 300", {{"LINKMON_LOG", log}});
    EXPECT_EQ(0u, waitForLinkmonExit(p, 10000));
    EXPECT_GE(GetTickCount() - started, 250u);
    stopLinkmon(&p);
  }
  EXPECT_EQ((std::vector<std::string>{"start", "window", "exit", "start", "window", "exit"}),
            events(log));
  DeleteFileA(log.c_str());
}

}  // namespace
