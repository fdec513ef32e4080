// examples/demo.html in a real browser (cefhost, the embedded Chromium engine) with the module
// installed from dist/ZUROV-x64.msi and linkmon as the client it launches: once with the
// engine's defaults, once with --disable-direct-npapi-requests. Each object must go through
// its whole life in linkmon's log, no plug-in may crash, the module must come from where the
// package put it, and pagerunner's chromium family must produce the same messages. Then the
// sample client in linkmon's place.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "link/link_records.h"
#include "wine_test_support.h"

namespace {

std::string windowsPath(const char* variable) {  // Wine maps / to drive Z:
  const char* value = getenv(variable);
  std::string path = std::string("Z:") + (value ? value : "");
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string readFile(const std::string& path) {
  std::string bytes;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    fclose(f);
  }
  return bytes;
}

// Runs `commandLine` for at most `timeoutMs`; returns its exit code, its output in `output`.
DWORD run(const std::string& commandLine, DWORD timeoutMs, std::string* output = nullptr) {
  std::string outPath = newLinkmonLogPath("real-browser-output");
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  std::string command = commandLine;
  PROCESS_INFORMATION pi = {};
  DWORD code = 0xFFFFFFFF;
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, WAIT_TIMEOUT);
    WaitForSingleObject(pi.hProcess, 5000);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(out);
  if (output) *output = readFile(outPath);
  DeleteFileA(outPath.c_str());
  return code;
}

void setText(HKEY root, const char* key, const char* name, const char* value) {
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
  RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(k);
}

std::string hex(const std::vector<unsigned char>& bytes) {
  std::string s;
  char b[3];
  for (unsigned char c : bytes) snprintf(b, sizeof b, "%02x", c), s += b;
  return s;
}

// Each object's messages in the order they came, one line each: the name, then the payload
// in hex (for LINKMSG_SET_WINDOW only whether the window is null: handles differ per run).
// LINKMSG_PAINT is left out: it comes when a window is painted, which a page runner never
// does. The objects sorted, since browsers create them in different orders.
typedef std::vector<std::string> Trace;
std::vector<Trace> traces(const std::vector<LinkmonLogEntry>& messages) {
  std::map<uint64_t, Trace> objects;
  for (const LinkmonLogEntry& m : messages) {
    if (m.code == LINKMSG_PAINT) continue;
    uint64_t id = m.code == LINKMSG_NEW ? m.reply >> 16 : m.linkId;
    bool nullWindow = m.data.size() >= 4 && !m.data[0] && !m.data[1] && !m.data[2] && !m.data[3];
    objects[id].push_back(m.name + " " +
                          (m.code == LINKMSG_SET_WINDOW ? (nullWindow ? "null" : "window") : hex(m.data)));
  }
  std::vector<Trace> out;
  for (auto& o : objects) out.push_back(o.second);
  std::sort(out.begin(), out.end());
  return out;
}

class RealBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    // Blink's renderer dies on every page without these three fonts. A crashed process must
    // end at once, for the engine to report it: Wine asks whether to debug it when Auto is
    // 0, and its debugger shows a dialog of its own unless told not to.
    const char* fonts = "Software\\Wine\\Fonts\\Replacements";
    setText(HKEY_CURRENT_USER, fonts, "Times New Roman", "Liberation Serif");
    setText(HKEY_CURRENT_USER, fonts, "Arial", "Liberation Sans");
    setText(HKEY_CURRENT_USER, fonts, "Courier New", "Liberation Mono");
    const char* aeDebug = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
    setText(HKEY_LOCAL_MACHINE, aeDebug, "Auto", "1");
    setText(HKEY_LOCAL_MACHINE, aeDebug, "Debugger", "");
    HKEY k;
    DWORD no = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", &k));
    RegSetValueExA(k, "ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&no), sizeof no);
    RegCloseKey(k);
    SetEnvironmentVariableA("ZUROV_CEF_DIR", windowsPath("ZUROV_CEF_DIR").c_str());

    page_ = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
    installed_ = getenv("ProgramW6432") + std::string("\\Kelvora\\ZUROV.DLL");
    log_ = newLinkmonLogPath("real-browser");
    std::string client = programBesideTest("linkmon.exe") + " --quiet --log " + log_;
    ASSERT_EQ(0u, run("msiexec.exe /i \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x64.msi\" /qn CLIENTCOMMAND=\"" +
                      client + "\"", 120000));
  }
  void TearDown() override {
    run("msiexec.exe /x \"" + windowsPath("ZUROV_DIST_DIR") + "\\ZUROV-x64.msi\" /qn", 120000);
  }

  // Plays the page with `command`; returns the messages of the linkmon it launched, closed.
  std::vector<LinkmonLogEntry> play(const std::string& command, std::string* output) {
    size_t before = readLinkmonLog(log_).size();
    EXPECT_EQ(0u, run(command, 90000, output)) << command << "\n" << *output;
    std::vector<LinkmonLogEntry> log = readLinkmonLog(log_);
    log.erase(log.begin(), log.begin() + std::min(before, log.size()));
    for (const LinkmonLogEntry& start : linkmonStarts(log)) closeLinkmon(start.pid);
    return linkmonMessages(log);
  }

  LaunchCommandsKept commands_;  // the package writes the machine's; a user's own comes first
  std::string page_, installed_, log_;
};

TEST_F(RealBrowserTest, DemoPagePlaysInBothModesAsPagerunnerPlaysIt) {
  std::string output;
  std::vector<Trace> expected = traces(
      play("\"" + programBesideTest("pagerunner.exe") + "\" --discover --browser=chromium \"" + page_ + "\"", &output));
  ASSERT_EQ(8u, expected.size()) << output;

  for (const char* mode : {" --disable-direct-npapi-requests", ""}) {
    SCOPED_TRACE(*mode ? mode : " (defaults)");
    std::vector<Trace> seen = traces(play("\"" + programBesideTest("cefhost.exe") +
                                          "\" --seconds=10 --disable-gpu" + mode + " \"" + page_ + "\"", &output));
    // The engine's crash events.
    EXPECT_EQ(std::string::npos, output.find("crashed")) << output;
    EXPECT_EQ(std::string::npos, output.find("renderer-terminated")) << output;
    EXPECT_NE(std::string::npos, output.find("plugin-load: " + installed_)) << output;
    int streams = 0;
    for (const Trace& t : seen) {
      if (t.size() < 4) {
        ADD_FAILURE() << "an object's life cut short: " << t.front();
        continue;
      }
      EXPECT_EQ(0u, t.front().find("LINKMSG_NEW "));
      EXPECT_EQ("LINKMSG_SET_WINDOW window", t[1]);
      EXPECT_EQ("LINKMSG_SET_WINDOW null", t[t.size() - 2]);
      EXPECT_EQ(0u, t.back().find("LINKMSG_DESTROY"));
      for (size_t i = 2; i + 2 < t.size(); ++i)
        if (t[i].find("LINKMSG_STREAM_INFO ") == 0 && t[i + 1].find("LINKMSG_STREAM_DATA ") == 0) ++streams;
    }
    EXPECT_EQ(1, streams) << seen.size() << " objects";
    // The page's script writes one more object, which pagerunner (no script) never sees.
    auto scripted = std::find_if(seen.begin(), seen.end(), [](const Trace& t) {
      return t.front().find(hex({'s', 'c', 'r', 'i', 'p', 't', 'e', 'd', 0})) != std::string::npos;
    });
    ASSERT_NE(seen.end(), scripted) << output;
    seen.erase(scripted);
    EXPECT_EQ(expected, seen) << output;
  }
}

// The sample client, launched by the module in the browser's plug-in process: its child
// window inside each window the browser lends (handed out hidden on the desktop, then moved
// into the page), visible, at the window's size, and gone at window 0. Wine shows nothing
// drawn across processes, so its own log says where its windows sat.
TEST_F(RealBrowserTest, SampleClientsWindowSitsInEachWindowTheBrowserLends) {
  std::string log = newLinkmonLogPath("real-browser-sample"), output;
  SetEnvironmentVariableA("KELVORA_SAMPLE_LOG", log.c_str());
  setRegistryCommand(programBesideTest("kelvora_client.exe"));
  // Longer than the other plays: the windows must also have been shown and painted.
  EXPECT_EQ(0u, run("\"" + programBesideTest("cefhost.exe") + "\" --seconds=20 --disable-gpu \"" + page_ + "\"",
                    90000, &output))
      << output;
  SCOPED_TRACE(output);
  closeSampleClient();
  SetEnvironmentVariableA("KELVORA_SAMPLE_LOG", nullptr);
  // The script's object too; the browser shows those in view (the first ones on the page).
  EXPECT_LE(1u, expectSampleClientChildWindows(log, 9));
}

}  // namespace
