// The Windows Installer packages of dist/ under Wine's msiexec: files and browser
// registration in each registry view, the launch command of CLIENTCOMMAND, the upgrade of an
// older version, removal; the per-user package, which writes nothing machine-wide; and
// pagerunner finding, explaining and playing through the installed module as browsers do.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "wine_test_support.h"

namespace {

const char* const UPGRADE_CODES[] = {"{486C6355-2CCB-4A5E-B572-3B9EC0E617B6}",   // x64
                                     "{1506DCF3-014F-40A9-B566-5793C3C7A1ED}",   // x86
                                     "{C51A3B84-6F0E-4C7B-9E5D-2A8F13D7B640}"};  // user
// The browser families pagerunner plays (--browser=...): each must find an installed module.
const char* const FAMILIES[] = {"gecko", "chromium", "webkit", "opera", "netscape"};
const char* const PLUGINS = "Software\\MozillaPlugins";
const char* const PLUGIN_KEY = "Software\\MozillaPlugins\\@kelvora.com/ZUROV";
const char* const TYPE_KEY = "Software\\MozillaPlugins\\@kelvora.com/ZUROV\\MimeTypes\\application/x-kvla";
const char* const UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const REGSAM VIEW64 = KEY_WOW64_64KEY;
const REGSAM VIEW32 = KEY_WOW64_32KEY;
const char* const ABSENT = "<absent>";

// The Windows name of a Unix path taken from the environment (Wine maps / to drive Z:).
std::string pathFromEnvironment(const char* name) {
  const char* value = getenv(name);
  if (!value || !*value) return "";
  std::string path = std::string("Z:") + value;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string environment(const char* name) {
  char value[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;  // stdout and stderr together
};

// Runs `commandLine`, its output captured in a file, for at most two minutes.
RunResult run(const std::string& commandLine) {
  RunResult r;
  char dir[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, dir);
  std::string outPath = std::string(dir, n < MAX_PATH ? n : 0) + "install-test-output-" +
                        std::to_string(GetCurrentProcessId()) + ".txt";
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return r;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  std::string command = commandLine;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &si, &pi);
  CloseHandle(out);
  if (!started) return r;
  if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, WAIT_TIMEOUT);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  GetExitCodeProcess(pi.hProcess, &r.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  r.output = readFile(outPath);
  DeleteFileA(outPath.c_str());
  return r;
}

DWORD msiexec(const std::string& arguments) { return run("msiexec.exe " + arguments).exitCode; }

// A property value on msiexec's command line. (Windows' msiexec also takes doubled quotes
// inside the value for a quote; Wine's drops them, so the commands here have none.)
std::string msiValue(const std::string& text) { return "\"" + text + "\""; }

RunResult pagerunner(const std::string& arguments) {
  return run("\"" + programBesideTest("pagerunner.exe") + "\" " + arguments);
}

// A text value in one registry view; ABSENT when the key or value is missing.
std::string registryText(HKEY root, const std::string& key, const char* name, REGSAM view) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return ABSENT;
  char value[1024] = "";
  DWORD size = sizeof value - 1, type = 0;
  LONG status = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(k);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string(ABSENT);
}

bool keyExists(HKEY root, const std::string& key, REGSAM view) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// The DisplayVersion of each Add/Remove Programs entry of ours in one registry view.
std::vector<std::string> programEntries(REGSAM view) {
  std::vector<std::string> versions;
  HKEY uninstall;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS)
    return versions;
  char name[256];
  for (DWORD i = 0; RegEnumKeyA(uninstall, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    std::string key = std::string(UNINSTALL_KEY) + "\\" + name;
    if (registryText(HKEY_LOCAL_MACHINE, key, "DisplayName", view).find("Kelvora Browser Plug-in") == 0)
      versions.push_back(registryText(HKEY_LOCAL_MACHINE, key, "DisplayVersion", view));
  }
  RegCloseKey(uninstall);
  return versions;
}

// Removes every installed product of both packages, whichever build installed it.
void uninstallEverything() {
  for (const char* code : UPGRADE_CODES) {
    char product[39];
    for (int round = 0; round < 8 && MsiEnumRelatedProductsA(code, 0, 0, product) == ERROR_SUCCESS; ++round)
      msiexec(std::string("/x ") + product + " /qn");
  }
}

// A plug-in key of this test under HKCU: Path, and MimeTypes\application/x-kvla if `listsType`.
void registerTestPlugin(const std::string& name, const std::string& path, bool listsType) {
  HKEY k;
  std::string key = std::string(PLUGINS) + "\\@test/" + name;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &k));
  RegSetValueExA(k, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
  RegCloseKey(k);
  if (listsType) {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, (key + "\\MimeTypes\\application/x-kvla").c_str(), &k));
    RegCloseKey(k);
  }
}

void removeTestPlugins() {
  for (const char* name : {"missing", "i386", "keyonly", "oldnames"})
    run(std::string("reg.exe delete \"HKCU\\") + PLUGINS + "\\@test/" + name + "\" /f");
}

// A path as pagerunner prints it: quoted, each '\\' doubled.
std::string quotedPath(const std::string& path) {
  std::string out = "\"";
  for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out + "\"";
}

bool hasLine(const std::string& output, const std::string& line) {
  return output.find(line + "\r\n") != std::string::npos || output.find(line + "\n") != std::string::npos;
}

class InstallTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string dist = pathFromEnvironment("ZUROV_DIST_DIR");
    old_ = pathFromEnvironment("ZUROV_OLD_PACKAGES");
    demoPage_ = pathFromEnvironment("ZUROV_EXAMPLES_DIR") + "\\demo.html";
    x64_ = dist + "\\ZUROV-x64.msi";
    x86_ = dist + "\\ZUROV-x86.msi";
    user_ = dist + "\\ZUROV-user.msi";
    built64_ = readFile(dist + "\\win64\\ZUROV.DLL");
    built32_ = readFile(dist + "\\win32\\ZUROV.DLL");
    ASSERT_TRUE(exists(x64_) && exists(x86_) && !built64_.empty() && !built32_.empty())
        << "the packages and modules in " << dist << " (make dist)";
    installed64_ = environment("ProgramW6432") + "\\Kelvora\\ZUROV.DLL";
    installed32_ = environment("ProgramFiles(x86)") + "\\Kelvora\\ZUROV.DLL";
    gecko64_ = environment("ProgramW6432") + "\\Kelvora\\npzurov.dll";
    gecko32_ = environment("ProgramFiles(x86)") + "\\Kelvora\\npzurov.dll";
    savedCommand_ = registryCommand();
    savedUserCommand_ = userRegistryCommand();
    deleteRegistryCommand();
    deleteUserRegistryCommand();
    uninstallEverything();
  }

  void TearDown() override {
    uninstallEverything();
    removeTestPlugins();
    if (savedCommand_ == ABSENT)
      deleteRegistryCommand();
    else
      setRegistryCommand(savedCommand_);
    if (savedUserCommand_ == ABSENT)
      deleteUserRegistryCommand();
    else
      setUserRegistryCommand(savedUserCommand_);
  }

  // The module's file and browser registration in one view, as the package installs them.
  void expectRegistered(const std::string& installed, const std::string& built, REGSAM view) {
    SCOPED_TRACE(installed);
    EXPECT_TRUE(readFile(installed) == built) << "installed file differs from the built module";
    std::string geckoName = installed.substr(0, installed.rfind('\\')) + "\\npzurov.dll";
    EXPECT_TRUE(readFile(geckoName) == built) << "the np-named copy beside it differs from the built module";
    EXPECT_EQ(installed, registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Path", view));
    EXPECT_EQ("Kelvora PlugIn DLL", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Description", view));
    EXPECT_EQ("ZUROV Dynamic Link Library", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "ProductName", view));
    EXPECT_EQ("Kelvora", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Vendor", view));
    EXPECT_EQ("1.0.0.1", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Version", view));
    EXPECT_EQ("Kelvora Plugin", registryText(HKEY_LOCAL_MACHINE, TYPE_KEY, "Description", view));
    EXPECT_EQ("kvl", registryText(HKEY_LOCAL_MACHINE, TYPE_KEY, "Suffixes", view));
  }

  // What `--which --browser=X` names for each family: Gecko the np-named copy, the others
  // the file that Path names.
  void expectEachFamilyPicks(const std::string& gecko, const std::string& others) {
    for (const char* family : FAMILIES) {
      SCOPED_TRACE(family);
      RunResult which = pagerunner(std::string("--which application/x-kvla --browser=") + family);
      EXPECT_EQ(0u, which.exitCode) << which.output;
      EXPECT_TRUE(hasLine(which.output, "application/x-kvla: " + (family == std::string("gecko") ? gecko : others)))
          << which.output;
    }
  }

  std::string old_, demoPage_, x64_, x86_, user_, built64_, built32_, installed64_, installed32_;
  std::string gecko64_, gecko32_;
  std::string savedCommand_, savedUserCommand_;
};

TEST_F(InstallTest, X64PackageReplacesAnOlderOneRegistersBothViewsAndPlaysThroughDiscovery) {
  ASSERT_EQ(0u, msiexec("/i \"" + old_ + "\\ZUROV-x64.msi\" /qn"));
  EXPECT_EQ("0.9.0", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Version", VIEW64));
  EXPECT_EQ(ABSENT, registryCommand());  // no CLIENTCOMMAND, nothing written

  std::string log = newLinkmonLogPath("install");
  std::string command = programBesideTest("linkmon.exe") + " --quiet --log " + log;
  ASSERT_LT(command.size(), 160u) << "the module reads at most 159 characters";
  ASSERT_EQ(0u, msiexec("/i \"" + x64_ + "\" /qn CLIENTCOMMAND=" + msiValue(command)));
  EXPECT_EQ(command, registryCommand());
  EXPECT_EQ(std::vector<std::string>{"1.0.0.1"}, programEntries(VIEW64));  // the older one is gone
  expectRegistered(installed64_, built64_, VIEW64);
  expectRegistered(installed32_, built32_, VIEW32);

  expectEachFamilyPicks(gecko64_, installed64_);

  // No client runs: loading the module starts linkmon with the installed command.
  RunResult play = pagerunner("--discover --browser=gecko --close-window KelvoraLinkMonitor \"" +
                              demoPage_ + "\"");
  EXPECT_EQ(0u, play.exitCode) << play.output;
  EXPECT_NE(std::string::npos, play.output.find("NP_Initialize({")) << play.output;
  std::vector<LinkmonLogEntry> entries = readLinkmonLog(log);
  ASSERT_FALSE(entries.empty()) << play.output;
  EXPECT_EQ(command + " /$l", entries[0].commandLine);
  size_t created = 0, destroyed = 0;
  for (const LinkmonLogEntry& m : linkmonMessages(entries)) {
    created += m.name == "LINKMSG_NEW";
    destroyed += m.name == "LINKMSG_DESTROY";
  }
  EXPECT_EQ(8u, created);  // the demo page's eight objects
  EXPECT_EQ(8u, destroyed);
  EXPECT_NE(std::string::npos, play.output.find("LoadLibraryA(" + quotedPath(gecko64_))) << play.output;
  DeleteFileA(log.c_str());

  // The other families load ZUROV.DLL itself and play the demo in their own habits.
  for (const char* family : {"chromium", "webkit", "opera", "netscape"}) {
    SCOPED_TRACE(family);
    RunResult other = pagerunner(std::string("--discover --browser=") + family +
                                 " --close-window KelvoraLinkMonitor \"" + demoPage_ + "\"");
    EXPECT_EQ(0u, other.exitCode) << other.output;
    EXPECT_NE(std::string::npos, other.output.find("LoadLibraryA(" + quotedPath(installed64_))) << other.output;
    EXPECT_NE(std::string::npos, other.output.find("[8] NPP_Destroy(npp8")) << other.output;
  }
  DeleteFileA(log.c_str());
}

TEST_F(InstallTest, WhichNamesWhyEachOtherCandidateIsPassedOver) {
  ASSERT_EQ(0u, msiexec("/i \"" + x64_ + "\" /qn"));
  // A module whose type stands only in its key's MimeTypes: a copy of a system library
  // under a name Gecko would take, in a folder of its own.
  char system[MAX_PATH], temp[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  std::string keyOnlyFolder = std::string(temp) + "install-test-keyonly";
  std::string keyOnly = keyOnlyFolder + "\\npkeyonly.dll";
  CreateDirectoryA(keyOnlyFolder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\version.dll").c_str(), keyOnly.c_str(), FALSE));
  std::string oldNames = programBesideTest("npoldnames.dll");
  registerTestPlugin("missing", "Z:\\nonexistent\\npmissing.dll", true);
  registerTestPlugin("i386", installed32_, true);
  registerTestPlugin("keyonly", keyOnly, true);
  registerTestPlugin("oldnames", oldNames, true);
  std::string hkcu = std::string("HKCU\\") + PLUGINS + "\\@test/";
  std::string ours = std::string("HKLM\\") + PLUGIN_KEY;
  const char* const keyOnlyReason = ": MIME type absent: application/x-kvla only in the key's MimeTypes";

  // Gecko scans the folders of the Paths and takes np*.dll files only.
  RunResult gecko = pagerunner("--which application/x-kvla");
  EXPECT_EQ(0u, gecko.exitCode);
  const std::string skipped[] = {
      hkcu + "missing: Z:\\nonexistent\\npmissing.dll: missing folder Z:\\nonexistent",
      hkcu + "i386 (its folder): " + installed32_ + ": not named np*.dll",
      hkcu + "i386 (its folder): " + gecko32_ + ": wrong bitness: i386 module, x86-64 browser",
      hkcu + "keyonly (its folder): " + keyOnly + keyOnlyReason,
      hkcu + "oldnames (its folder): " + oldNames + ": no entry point NP_Initialize",
      ours + " (its folder): " + installed64_ + ": not named np*.dll"};
  for (const std::string& line : skipped)
    EXPECT_NE(std::string::npos, gecko.output.find("  skipped   " + line)) << line << "\n" << gecko.output;
  EXPECT_NE(std::string::npos, gecko.output.find("  picked    " + ours + " (its folder): " + gecko64_));

  // The others take the Path's file; none reads the MimeTypes key.
  for (const char* family : {"chromium", "webkit", "opera"}) {
    SCOPED_TRACE(family);
    RunResult r = pagerunner(std::string("--which application/x-kvla --browser=") + family);
    EXPECT_NE(std::string::npos, r.output.find("  skipped   " + hkcu + "keyonly: " + keyOnly + keyOnlyReason)) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("  picked    " + ours + ": " + installed64_)) << r.output;
  }
  // Netscape took either name: the old module, read first from HKCU, wins.
  RunResult netscape = pagerunner("--browser=netscape --which application/x-kvla");
  EXPECT_EQ(0u, netscape.exitCode);
  EXPECT_NE(std::string::npos, netscape.output.find("  picked    " + hkcu + "oldnames: " + oldNames)) << netscape.output;
  EXPECT_NE(std::string::npos, netscape.output.find("  not used  " + ours + ": " + installed64_));
  DeleteFileA(keyOnly.c_str());
  RemoveDirectoryA(keyOnlyFolder.c_str());
}

TEST_F(InstallTest, BothPackagesShareTheI686ModuleAndRemovalLeavesOnlyTheLaunchCommand) {
  const char* const command = "C:\\Program Files\\Kelvora\\ORBIPLAY.EXE";
  ASSERT_EQ(0u, msiexec("/i \"" + x64_ + "\" /qn CLIENTCOMMAND=" + msiValue(command)));
  ASSERT_EQ(0u, msiexec("/i \"" + x86_ + "\" /qn"));
  EXPECT_EQ(std::vector<std::string>{"1.0.0.1"}, programEntries(VIEW32));  // the x86 package's
  expectEachFamilyPicks(gecko64_, installed64_);  // 64-bit browsers see the x64 package's

  // Without the x64 package, the x86 package's part stays: the i686 module in the 32-bit view.
  ASSERT_EQ(0u, msiexec("/x \"" + x64_ + "\" /qn"));
  expectRegistered(installed32_, built32_, VIEW32);
  EXPECT_FALSE(exists(installed64_));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PLUGIN_KEY, VIEW64));

  ASSERT_EQ(0u, msiexec("/x \"" + x86_ + "\" /qn"));
  for (const std::string& file : {installed64_, installed32_}) {
    EXPECT_FALSE(exists(file)) << file;
    EXPECT_FALSE(exists(file.substr(0, file.rfind('\\')))) << "folder of " << file;
  }
  for (REGSAM view : {VIEW64, VIEW32}) {
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PLUGIN_KEY, view));
    EXPECT_TRUE(programEntries(view).empty());
  }
  EXPECT_EQ(command, registryCommand());  // the user's setting stays

  RunResult which = pagerunner("--which application/x-kvla");
  EXPECT_EQ(3u, which.exitCode) << which.output;
  EXPECT_NE(std::string::npos, which.output.find("application/x-kvla: no plug-in handles this type"))
      << which.output;
  RunResult play = pagerunner("--discover \"" + demoPage_ + "\"");
  EXPECT_EQ(3u, play.exitCode) << play.output;
  EXPECT_TRUE(hasLine(play.output, "[7] no plug-in for application/x-kvla: the object is shown as missing"))
      << play.output;
  EXPECT_EQ(std::string::npos, play.output.find("LoadLibraryA"));
}

TEST_F(InstallTest, UserPackageReplacesAnOlderOneInstallsForTheCurrentUserOnlyAndRemovesCleanly) {
  std::string folder = environment("LOCALAPPDATA") + "\\Kelvora";
  std::string module = folder + "\\ZUROV.DLL", gecko = folder + "\\npzurov.dll";
  const char* const command = "C:\\Users\\Me\\Kelvora\\ORBIPLAY.EXE";
  ASSERT_EQ(0u, msiexec("/i \"" + old_ + "\\ZUROV-user.msi\" /qn"));
  EXPECT_EQ("0.9.0", registryText(HKEY_CURRENT_USER, PLUGIN_KEY, "Version", VIEW64));
  ASSERT_EQ(0u, msiexec("/i \"" + user_ + "\" /qn CLIENTCOMMAND=" + msiValue(command)));
  EXPECT_EQ("1.0.0.1", registryText(HKEY_CURRENT_USER, PLUGIN_KEY, "Version", VIEW64));
  char product[39];
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiEnumRelatedProductsA(UPGRADE_CODES[2], 0, 0, product));
  EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS), MsiEnumRelatedProductsA(UPGRADE_CODES[2], 0, 1, product))
      << "the older per-user package is still installed";

  // The i686 module twice (the name the key names, the name Gecko scans for), registered in
  // the current user's key, which both registry views share.
  for (const std::string& file : {module, gecko})
    EXPECT_TRUE(readFile(file) == built32_) << file << " is not the built i686 module";
  for (REGSAM view : {VIEW64, VIEW32}) {
    EXPECT_EQ(module, registryText(HKEY_CURRENT_USER, PLUGIN_KEY, "Path", view));
    EXPECT_EQ("Kelvora Plugin", registryText(HKEY_CURRENT_USER, TYPE_KEY, "Description", view));
    EXPECT_EQ("kvl", registryText(HKEY_CURRENT_USER, TYPE_KEY, "Suffixes", view));
    // (The Add/Remove Programs entry is Windows Installer's own record: Wine's keeps it
    // under HKLM for per-user products too.)
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PLUGIN_KEY, view)) << "written machine-wide";
  }
  EXPECT_EQ(command, userRegistryCommand());
  EXPECT_EQ(ABSENT, registryCommand()) << "the default user's key is not the user's to write";

  // Every family finds it (Gecko the np-named copy in the Path's folder, the others the
  // Path's file); a browser of the other bitness passes it over.
  std::string hkcu = std::string("HKCU\\") + PLUGIN_KEY;
  for (const char* family : FAMILIES) {
    bool gecko_ = family == std::string("gecko");
    const std::string& file = gecko_ ? gecko : module;
    RunResult which = pagerunner(std::string("--browser=") + family + " --which application/x-kvla");
    if (sizeof(void*) == 4) {
      EXPECT_EQ(0u, which.exitCode) << family << ": " << which.output;
      EXPECT_TRUE(hasLine(which.output, "application/x-kvla: " + file)) << which.output;
    } else {
      EXPECT_EQ(3u, which.exitCode) << family << ": " << which.output;
      std::string candidate = hkcu + (gecko_ ? " (its folder): " : ": ") + file;
      EXPECT_NE(std::string::npos,
                which.output.find("  skipped   " + candidate + ": wrong bitness: i386 module, x86-64 browser"))
          << family << ": " << which.output;
    }
  }

  ASSERT_EQ(0u, msiexec("/x \"" + user_ + "\" /qn"));
  for (const std::string& path : {module, gecko, folder}) EXPECT_FALSE(exists(path)) << path;
  for (REGSAM view : {VIEW64, VIEW32}) EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, PLUGIN_KEY, view));
  EXPECT_EQ(command, userRegistryCommand());  // the user's setting stays
}

}  // namespace
