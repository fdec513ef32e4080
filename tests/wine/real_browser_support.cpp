#include "real_browser_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "link/link_records.h"

void setRegistryText(HKEY root, const char* key, const char* name, const char* value) {
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
  RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(k);
}

void endCrashedProcessesAtOnce() {
  // Wine asks whether to debug a crashed process when Auto is 0, and its debugger shows a
  // dialog of its own unless told not to.
  const char* aeDebug = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
  setRegistryText(HKEY_LOCAL_MACHINE, aeDebug, "Auto", "1");
  setRegistryText(HKEY_LOCAL_MACHINE, aeDebug, "Debugger", "");
  HKEY k;
  DWORD no = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", &k));
  RegSetValueExA(k, "ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&no), sizeof no);
  RegCloseKey(k);
}

std::string hexBytes(const std::vector<unsigned char>& bytes) {
  std::string s;
  char b[3];
  for (unsigned char c : bytes) snprintf(b, sizeof b, "%02x", c), s += b;
  return s;
}

std::vector<Trace> objectTraces(const std::vector<LinkmonLogEntry>& messages) {
  std::map<uint64_t, Trace> objects;
  for (const LinkmonLogEntry& m : messages) {
    if (m.code == LINKMSG_PAINT) continue;
    uint64_t id = m.code == LINKMSG_NEW ? m.reply >> 16 : m.linkId;
    bool nullWindow = m.data.size() >= 4 && !m.data[0] && !m.data[1] && !m.data[2] && !m.data[3];
    objects[id].push_back(m.name + " " +
                          (m.code == LINKMSG_SET_WINDOW ? (nullWindow ? "null" : "window") : hexBytes(m.data)));
  }
  std::vector<Trace> out;
  for (auto& o : objects) out.push_back(o.second);
  std::sort(out.begin(), out.end());
  return out;
}

void printTraces(const char* who, const std::vector<Trace>& traces,
                 const std::vector<LinkmonLogEntry>& messages) {
  for (const Trace& t : traces) {
    std::string line = who;
    for (const std::string& m : t) line += " | " + m;
    printf("%s\n", line.c_str());
  }
  std::string order = std::string(who) + " order:";
  for (const LinkmonLogEntry& m : messages) {
    order += " " + m.name.substr(m.name.find('_') + 1) + "/" +
             std::to_string(m.code == LINKMSG_NEW ? m.reply >> 16 : m.linkId);
    if (m.code != LINKMSG_NEW) continue;
    std::string texts;  // the record's texts, to tell the objects apart
    for (size_t i = 0, start = 0; i <= m.data.size(); ++i) {
      if (i < m.data.size() && m.data[i] >= 0x20 && m.data[i] < 0x7F) continue;
      if (i - start >= 3) texts += (texts.empty() ? "" : ",") + std::string(m.data.begin() + start, m.data.begin() + i);
      start = i + 1;
    }
    order += "[" + texts + "]";
  }
  printf("%s\n", order.c_str());
  fflush(stdout);
}

std::vector<LinkmonLogEntry> messagesSince(const std::string& logPath, size_t before) {
  std::vector<LinkmonLogEntry> log = readLinkmonLog(logPath);
  log.erase(log.begin(), log.begin() + std::min(before, log.size()));
  for (const LinkmonLogEntry& start : linkmonStarts(log)) closeLinkmon(start.pid);
  return linkmonMessages(log);
}

namespace {

// Whether at least `objects` objects were created and lent their windows, every object begun
// was lent its window, and `streams` link files were forwarded. An object still being created
// keeps the page open: closing it then would cut that object's life short.
bool pagePlayed(const std::vector<LinkmonLogEntry>& log, size_t objects, int streams) {
  std::vector<Trace> traces = objectTraces(linkmonMessages(log));
  int forwarded = 0;
  size_t lent = 0;
  for (const Trace& t : traces) {
    lent += t.size() >= 2 && t[0].find("LINKMSG_NEW ") == 0 && t[1] == "LINKMSG_SET_WINDOW window";
    for (const std::string& m : t) forwarded += m.find("LINKMSG_STREAM_DATA ") == 0;
  }
  return lent >= objects && lent == traces.size() && forwarded >= streams;
}

}  // namespace

int expectWholeLives(const std::vector<Trace>& seen) {
  int streams = 0;
  for (const Trace& t : seen) {
    if (t.size() < 4) {
      std::string life;
      for (const std::string& m : t) life += "\n  " + m;
      // A life of LINKMSG_NEW alone: the module never learnt the identifier linkmon gave (its
      // send timed out: a client starved past the timeout on a loaded machine), or the
      // object's process ended before anything else was sent.
      ADD_FAILURE() << "an object's life cut short:" << life
                    << (t.size() == 1 ? "\n  (only LINKMSG_NEW: the reply came after the module's send timeout, "
                                        "or the object's process ended)"
                                      : "");
      continue;
    }
    EXPECT_EQ(0u, t.front().find("LINKMSG_NEW "));
    EXPECT_EQ("LINKMSG_SET_WINDOW window", t[1]);
    EXPECT_EQ("LINKMSG_SET_WINDOW null", t[t.size() - 2]);
    EXPECT_EQ(0u, t.back().find("LINKMSG_DESTROY"));
    for (size_t i = 2; i + 2 < t.size(); ++i)
      if (t[i].find("LINKMSG_STREAM_INFO ") == 0 && t[i + 1].find("LINKMSG_STREAM_DATA ") == 0) ++streams;
  }
  return streams;
}

bool takeScriptedObject(std::vector<Trace>* seen) {
  auto scripted = std::find_if(seen->begin(), seen->end(), [](const Trace& t) {
    return t.front().find(hexBytes({'s', 'c', 'r', 'i', 'p', 't', 'e', 'd', 0})) != std::string::npos;
  });
  if (scripted == seen->end()) return false;
  seen->erase(scripted);
  return true;
}

RealBrowserSession::RealBrowserSession(const char* package, const char* programFiles, DWORD installMs)
    : package_(windowsPath("ZUROV_DIST_DIR") + "\\" + package), installMs_(installMs) {
  const char* folder = getenv(programFiles);
  installed_ = (folder ? folder : "") + std::string("\\Kelvora\\ZUROV.DLL");
  page_ = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
}

void RealBrowserSession::SetUp() {
  endCrashedProcessesAtOnce();
  SetEnvironmentVariableA("ZUROV_CEF_DIR", windowsPath("ZUROV_CEF_DIR").c_str());
  log_ = newLinkmonLogPath("real-browser");
  // One the module launches (the started one looked hung on a loaded machine) hands out
  // identifiers of its own, so that objects of both never share one in the log.
  std::string client = programBesideTest("linkmon.exe") + " --quiet --first-id 1000 --log " + log_;
  ASSERT_EQ(0u, runProgram("msiexec.exe /i \"" + package_ + "\" /qn CLIENTCOMMAND=\"" + client + "\"", installMs_));
  client_ = startLinkmon("--quiet --log \"" + log_ + "\"");
  ASSERT_TRUE(waitForLinkmonWindow(client_, 60000) != nullptr);
}

void RealBrowserSession::TearDown() {
  if (client_.process) stopLinkmon(&client_);
  runProgram("msiexec.exe /x \"" + package_ + "\" /qn", installMs_);
}

std::vector<LinkmonLogEntry> RealBrowserSession::playInPagerunner(const std::string& options, DWORD timeoutMs,
                                                                  std::string* output) {
  size_t before = readLinkmonLog(log_).size();
  std::string command = "\"" + programBesideTest("pagerunner.exe") + "\" --discover --browser=chromium " + options +
                        " \"" + page_ + "\"";
  EXPECT_EQ(0u, runProgram(command, timeoutMs, output)) << command << "\n" << *output;
  return messagesSince(log_, before);
}

DWORD RealBrowserSession::playUntilPlayed(const std::string& command, const char* windowClass, size_t objects,
                                          int streams, DWORD timeoutMs, std::string* output,
                                          std::vector<LinkmonLogEntry>* messages) {
  size_t before = readLinkmonLog(log_).size();
  for (int attempt = 1;; ++attempt) {
    Program browser = startProgram(command);
    EXPECT_TRUE(browser.process != nullptr) << command;
    bool played = playUntil(browser, windowClass, [&] {
      std::vector<LinkmonLogEntry> log = readLinkmonLog(log_);
      log.erase(log.begin(), log.begin() + std::min(before, log.size()));
      return pagePlayed(log, objects, streams);
    }, timeoutMs);
    DWORD code = finishProgram(&browser, 120000, output);
    // Chromium 39 under Wine on a loaded machine once failed to start its renderer: no page
    // loaded and no plug-in ran, so the browser is started once more.
    if (!played && attempt == 1 && output->find("Failed to launch child process") != std::string::npos &&
        readLinkmonLog(log_).size() == before)
      continue;
    EXPECT_TRUE(played) << command;
    *messages = messagesSince(log_, before);
    return code;
  }
}

void RealBrowserSession::expectPlayedAsPagerunner(const std::vector<LinkmonLogEntry>& pagerunner,
                                                  const std::vector<LinkmonLogEntry>& browser,
                                                  const std::string& output) {
  std::vector<Trace> expected = objectTraces(pagerunner), seen = objectTraces(browser);
  printTraces("pagerunner", expected, pagerunner);
  printTraces("browser", seen, browser);
  // The engines' crash events.
  EXPECT_EQ(std::string::npos, output.find("crashed")) << output;
  EXPECT_EQ(std::string::npos, output.find("renderer-terminated")) << output;
  EXPECT_NE(std::string::npos, output.find("plugin-load: " + installed_)) << output;
  EXPECT_EQ(1, expectWholeLives(seen)) << seen.size() << " objects";
  ASSERT_TRUE(takeScriptedObject(&seen)) << output;
  EXPECT_EQ(expected, seen) << output;
}
