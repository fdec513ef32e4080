// The Windows Installer packages of dist/ under Wine's msiexec: files and browser
// registration in each registry view, the launch command of CLIENTCOMMAND, the upgrade of an
// older version, removal; the per-user package, which writes nothing machine-wide; and
// pagerunner finding, explaining and playing through the installed module as browsers do.
// Built for x86_64 it installs ZUROV-x64.msi on a 64-bit Windows; built for i686 (make
// test32), ZUROV-x86.msi on a 32-bit one, where the per-user package's module is played too.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <cstdio>
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
const bool WIDE = sizeof(void*) == 8;  // this build, its pagerunner and its msiexec
const REGSAM OWN_VIEW = WIDE ? VIEW64 : VIEW32;
const char* const OWN_MACHINE = WIDE ? "x86-64" : "i386";
const char* const OTHER_MACHINE = WIDE ? "i386" : "x86-64";
const char* const ABSENT = "<absent>";

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

// Runs `commandLine` for at most two minutes.
RunResult run(const std::string& commandLine) {
  RunResult r;
  r.exitCode = runProgram(commandLine, 120000, &r.output);
  return r;
}

DWORD msiexec(const std::string& arguments) { return run("msiexec.exe " + arguments).exitCode; }

// A property value on msiexec's command line. (Windows' msiexec also takes doubled quotes
// inside the value for a quote; Wine's drops them, so the commands here have none.)
std::string msiValue(const std::string& text) { return "\"" + text + "\""; }

// Installs through Windows Installer's own parser, which keeps doubled quotes, as Windows' msiexec does.
UINT installWith(const std::string& package, const std::string& properties) {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  return MsiInstallProductA(package.c_str(), properties.c_str());
}

RunResult pagerunner(const std::string& arguments) {
  return run("\"" + programBesideTest("pagerunner.exe") + "\" " + arguments);
}

// A text value in one registry view (of a multi-string, the first); ABSENT when the key or value is missing.
std::string registryText(HKEY root, const std::string& key, const char* name, REGSAM view, DWORD wanted = REG_SZ) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return ABSENT;
  char value[1024] = "";
  DWORD size = sizeof value - 1, type = 0;
  LONG status = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(k);
  return status == ERROR_SUCCESS && type == wanted ? std::string(value) : std::string(ABSENT);
}

// The extension's values of installer/extension.wxi, by the ids of installer/stores.env: the offer
// in each view of a machine-wide package, or the policies (one key for both views); the sites.
enum Ask { NOTHING, OFFER, FORCE };
const std::string POLICIES = "Software\\Policies\\", SITES = R"(["http://127.0.0.1/*","https://media.example/*"])";
const std::string FORCED = R"(KELVORA_FORCE_EXTENSION=1 ALLOWEDSITES="[""http://127.0.0.1/*"",""https://media.example/*""]")";

void expectExtensionAsked(HKEY root, Ask ask, bool sites) {
  std::string chrome = environment("CHROME_EXTENSION_ID"), edge = environment("EDGE_EXTENSION_ID"),
              gecko = environment("FIREFOX_EXTENSION_ID"), chromeUrl = environment("CHROME_UPDATE_URL"),
              edgeUrl = environment("EDGE_UPDATE_URL"), firefox = POLICIES + "Mozilla\\Firefox\\";
  const struct { std::string key, name; bool wanted; std::string value; DWORD type = REG_SZ; } values[] = {
      {"Software\\Google\\Chrome\\Extensions\\" + chrome, "update_url", ask == OFFER, chromeUrl},
      {"Software\\Microsoft\\Edge\\Extensions\\" + edge, "update_url", ask == OFFER, edgeUrl},
      {POLICIES + "Google\\Chrome\\ExtensionInstallForcelist", "1558", ask == FORCE, chrome + ";" + chromeUrl},
      {POLICIES + "Microsoft\\Edge\\ExtensionInstallForcelist", "1558", ask == FORCE, edge + ";" + edgeUrl},
      {firefox + "ExtensionSettings\\" + gecko, "installation_mode", ask == FORCE, "force_installed"},
      {firefox + "ExtensionSettings\\" + gecko, "install_url", ask == FORCE, environment("FIREFOX_INSTALL_URL")},
      {POLICIES + "Google\\Chrome\\3rdparty\\extensions\\" + chrome + "\\policy", "allowedSites", sites, SITES},
      {POLICIES + "Microsoft\\Edge\\3rdparty\\extensions\\" + edge + "\\policy", "allowedSites", sites, SITES},
      {firefox + "3rdparty\\Extensions\\" + gecko, "allowedSites", sites, SITES, REG_MULTI_SZ}};
  for (const auto& v : values)
    for (REGSAM view : {VIEW32, VIEW64}) {
      if (view == VIEW64 && (root != HKEY_LOCAL_MACHINE || !WIDE || v.key.find(POLICIES) == 0)) continue;
      EXPECT_EQ(v.wanted ? v.value : ABSENT, registryText(root, v.key, v.name.c_str(), view, v.type)) << v.key << " " << v.name;
    }
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
  for (const char* name : {"missing", "otherbits", "keyonly", "oldnames"})
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
    std::string dist = windowsPath("ZUROV_DIST_DIR");
    old_ = windowsPath("ZUROV_OLD_PACKAGES");
    demoPage_ = windowsPath("ZUROV_EXAMPLES_DIR") + "\\demo.html";
    x64_ = dist + "\\ZUROV-x64.msi";
    x86_ = dist + "\\ZUROV-x86.msi";
    user_ = dist + "\\ZUROV-user.msi";
    built64_ = readFile(dist + "\\win64\\ZUROV.DLL");
    built32_ = readFile(dist + "\\win32\\ZUROV.DLL");
    header_ = readFile(dist + "\\sdk\\kelvora_link.h");
    ASSERT_TRUE(exists(x64_) && exists(x86_) && !built64_.empty() && !built32_.empty() && !header_.empty())
        << "the packages and modules in " << dist << " (make dist)";
    package_ = WIDE ? x64_ : x86_;
    packageName_ = WIDE ? "ZUROV-x64.msi" : "ZUROV-x86.msi";
    built_ = WIDE ? built64_ : built32_;
    otherBuilt_ = dist + (WIDE ? "\\win32" : "\\win64") + "\\ZUROV.DLL";
    // A process's ProgramFiles is the folder of its own bitness; a 32-bit Windows has one.
    installed_ = environment("ProgramFiles") + "\\Kelvora\\ZUROV.DLL";
    gecko_ = environment("ProgramFiles") + "\\Kelvora\\npzurov.dll";
    installed32_ = environment(WIDE ? "ProgramFiles(x86)" : "ProgramFiles") + "\\Kelvora\\ZUROV.DLL";
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

  // The native-messaging host beside `module`, and its two manifests (each naming the host
  // beside it and the one extension it serves) registered for Chrome, Edge and Firefox.
  void expectHostRegistered(HKEY root, const std::string& module, REGSAM view, bool present = true) {
    std::string folder = module.substr(0, module.rfind('\\'));
    SCOPED_TRACE(folder);
    EXPECT_EQ(present, exists(folder + "\\zurov-link.exe"));
    const char* const chrome[] = {"com.kelvora.link.json", "chrome-extension://jfnmbioigbnhmkapcieohemahcjadndf/"};
    const char* const firefox[] = {"com.kelvora.link.firefox.json", "kelvora-link@kelvora.com"};
    const std::pair<const char*, const char* const*> hosts[] = {
        {"Software\\Google\\Chrome\\NativeMessagingHosts\\com.kelvora.link", chrome},
        {"Software\\Microsoft\\Edge\\NativeMessagingHosts\\com.kelvora.link", chrome},
        {"Software\\Mozilla\\NativeMessagingHosts\\com.kelvora.link", firefox}};
    for (const auto& host : hosts) {
      std::string manifest = folder + "\\" + host.second[0];
      EXPECT_EQ(present ? manifest : ABSENT, registryText(root, host.first, "", view)) << host.first;
      if (!present) continue;
      std::string text = readFile(manifest);
      EXPECT_NE(std::string::npos, text.find("\"path\": \"zurov-link.exe\"")) << text;
      EXPECT_NE(std::string::npos, text.find(std::string("[\"") + host.second[1] + "\"]")) << text;
    }
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

  // A launch command that starts linkmon, logging to `*log`.
  std::string linkmonCommand(const char* tag, std::string* log) {
    *log = newLinkmonLogPath(tag);
    std::string command = programBesideTest("linkmon.exe") + " --quiet --log " + *log;
    EXPECT_LT(command.size(), 160u) << "the module reads at most 159 characters";
    return command;
  }

  // Each family finds the module as it does and plays the demo page through it (Gecko
  // `gecko`, the others `others`). No client runs: loading the module starts `command`,
  // linkmon, which must see each of the page's eight objects created and destroyed.
  void expectEachFamilyPlays(const std::string& gecko, const std::string& others,
                             const std::string& command, const std::string& log) {
    for (const char* family : FAMILIES) {
      SCOPED_TRACE(family);
      DeleteFileA(log.c_str());
      RunResult play = pagerunner(std::string("--discover --browser=") + family +
                                  " --close-window KelvoraLinkMonitor \"" + demoPage_ + "\"");
      EXPECT_EQ(0u, play.exitCode) << play.output;
      const std::string& file = family == std::string("gecko") ? gecko : others;
      EXPECT_NE(std::string::npos, play.output.find("LoadLibraryA(" + quotedPath(file))) << play.output;
      std::vector<LinkmonLogEntry> entries = readLinkmonLog(log);
      ASSERT_FALSE(entries.empty()) << play.output;
      EXPECT_EQ(command + " /$l", entries[0].commandLine);
      size_t created = 0, destroyed = 0;
      for (const LinkmonLogEntry& m : linkmonMessages(entries)) {
        created += m.name == "LINKMSG_NEW";
        destroyed += m.name == "LINKMSG_DESTROY";
      }
      EXPECT_EQ(8u, created) << play.output;
      EXPECT_EQ(8u, destroyed) << play.output;
    }
    DeleteFileA(log.c_str());
  }

  // package_: the per-machine package of this build's bitness; built_ its module, installed_
  // and gecko_ where it goes. installed32_: the i686 module's place (the same on 32-bit).
  std::string old_, demoPage_, x64_, x86_, user_, package_, packageName_, built64_, built32_;
  std::string built_, otherBuilt_, installed_, gecko_, installed32_, header_;
  std::string savedCommand_, savedUserCommand_;
};

TEST_F(InstallTest, PackageReplacesAnOlderOneRegistersItsModulesAndPlaysThroughDiscovery) {
  ASSERT_EQ(0u, msiexec("/i \"" + old_ + "\\" + packageName_ + "\" /qn"));
  EXPECT_EQ("0.9.0", registryText(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Version", OWN_VIEW));
  EXPECT_EQ(ABSENT, registryCommand());  // no CLIENTCOMMAND, nothing written

  std::string log;
  std::string command = linkmonCommand("install", &log);
  ASSERT_EQ(0u, msiexec("/i \"" + package_ + "\" /qn CLIENTCOMMAND=" + msiValue(command)));
  EXPECT_EQ(command, registryCommand());
  EXPECT_EQ(std::vector<std::string>{"1.0.0.1"}, programEntries(OWN_VIEW));  // the older one is gone
  expectRegistered(installed_, built_, OWN_VIEW);
  if (WIDE) expectRegistered(installed32_, built32_, VIEW32);
  // The client authors' header beside the i686 module.
  EXPECT_TRUE(readFile(installed32_.substr(0, installed32_.rfind('\\')) + "\\sdk\\kelvora_link.h") == header_);
  expectHostRegistered(HKEY_LOCAL_MACHINE, installed_, OWN_VIEW);
  if (WIDE) expectHostRegistered(HKEY_LOCAL_MACHINE, installed32_, VIEW32);
  expectExtensionAsked(HKEY_LOCAL_MACHINE, OFFER, false);

  expectEachFamilyPicks(gecko_, installed_);
  expectEachFamilyPlays(gecko_, installed_, command, log);
}

TEST_F(InstallTest, WhichNamesWhyEachOtherCandidateIsPassedOver) {
  ASSERT_EQ(0u, msiexec("/i \"" + package_ + "\" /qn"));
  // A module whose type stands only in its key's MimeTypes: a copy of a system library
  // under a name Gecko would take, in a folder of its own; and the module of the other
  // bitness under both its names, in another.
  char system[MAX_PATH], temp[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  std::string keyOnlyFolder = std::string(temp) + "install-test-keyonly";
  std::string keyOnly = keyOnlyFolder + "\\npkeyonly.dll";
  CreateDirectoryA(keyOnlyFolder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\version.dll").c_str(), keyOnly.c_str(), FALSE));
  std::string otherFolder = std::string(temp) + "install-test-otherbits";
  std::string otherModule = otherFolder + "\\ZUROV.DLL", otherGecko = otherFolder + "\\npzurov.dll";
  CreateDirectoryA(otherFolder.c_str(), nullptr);
  for (const std::string& file : {otherModule, otherGecko})
    ASSERT_TRUE(CopyFileA(otherBuilt_.c_str(), file.c_str(), FALSE)) << file;
  std::string oldNames = programBesideTest("npoldnames.dll");
  registerTestPlugin("missing", "Z:\\nonexistent\\npmissing.dll", true);
  registerTestPlugin("otherbits", otherModule, true);
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
      hkcu + "otherbits (its folder): " + otherModule + ": not named np*.dll",
      hkcu + "otherbits (its folder): " + otherGecko + ": wrong bitness: " + OTHER_MACHINE + " module, " +
          OWN_MACHINE + " browser",
      hkcu + "keyonly (its folder): " + keyOnly + keyOnlyReason,
      hkcu + "oldnames (its folder): " + oldNames + ": no entry point NP_Initialize",
      ours + " (its folder): " + installed_ + ": not named np*.dll"};
  for (const std::string& line : skipped)
    EXPECT_NE(std::string::npos, gecko.output.find("  skipped   " + line)) << line << "\n" << gecko.output;
  EXPECT_NE(std::string::npos, gecko.output.find("  picked    " + ours + " (its folder): " + gecko_));

  // The others take the Path's file; none reads the MimeTypes key.
  for (const char* family : {"chromium", "webkit", "opera"}) {
    SCOPED_TRACE(family);
    RunResult r = pagerunner(std::string("--which application/x-kvla --browser=") + family);
    EXPECT_NE(std::string::npos, r.output.find("  skipped   " + hkcu + "keyonly: " + keyOnly + keyOnlyReason)) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("  picked    " + ours + ": " + installed_)) << r.output;
  }
  // Netscape took either name: the old module, read first from HKCU, wins.
  RunResult netscape = pagerunner("--browser=netscape --which application/x-kvla");
  EXPECT_EQ(0u, netscape.exitCode);
  EXPECT_NE(std::string::npos, netscape.output.find("  picked    " + hkcu + "oldnames: " + oldNames)) << netscape.output;
  EXPECT_NE(std::string::npos, netscape.output.find("  not used  " + ours + ": " + installed_));
  for (const std::string& file : {keyOnly, otherModule, otherGecko}) DeleteFileA(file.c_str());
  RemoveDirectoryA(keyOnlyFolder.c_str());
  RemoveDirectoryA(otherFolder.c_str());
}

// On a 64-bit Windows both packages, then each removed; on a 32-bit one the x86 package.
// With the administrator's properties (a value they cannot take stops the installation).
TEST_F(InstallTest, BothPackagesShareTheI686ModuleAndRemovalLeavesOnlyTheLaunchCommand) {
  const char* const command = "C:\\Program Files\\Kelvora\\ORBIPLAY.EXE";
  for (const char* wrong : {"KELVORA_FORCE_EXTENSION=yes", "ALLOWEDSITES=https://media.example/*"})
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), installWith(package_, wrong)) << wrong;
  // An administrator's entry in a list the package adds to.
  const std::string forcelist = "HKLM\\" + POLICIES + "Google\\Chrome\\ExtensionInstallForcelist";
  run("reg.exe add " + forcelist + " /v 1 /d theirs /f");
  ASSERT_EQ(0u, installWith(package_, "CLIENTCOMMAND=" + msiValue(command) + " " + FORCED));
  expectExtensionAsked(HKEY_LOCAL_MACHINE, FORCE, true);
  if (WIDE) {
    ASSERT_EQ(0u, installWith(x86_, FORCED));
    EXPECT_EQ(std::vector<std::string>{"1.0.0.1"}, programEntries(VIEW32));  // the x86 package's
    expectEachFamilyPicks(gecko_, installed_);  // 64-bit browsers see the x64 package's

    // Without the x64 package, the x86 package's part stays: the i686 module in the 32-bit view.
    ASSERT_EQ(0u, msiexec("/x \"" + x64_ + "\" /qn"));
    expectRegistered(installed32_, built32_, VIEW32);
    expectExtensionAsked(HKEY_LOCAL_MACHINE, FORCE, true);  // both packages wrote the policies
    EXPECT_FALSE(exists(installed_));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PLUGIN_KEY, VIEW64));
  }

  ASSERT_EQ(0u, msiexec("/x \"" + x86_ + "\" /qn"));
  for (const std::string& file : {installed_, installed32_}) {
    EXPECT_FALSE(exists(file)) << file;
    EXPECT_FALSE(exists(file.substr(0, file.rfind('\\')))) << "folder of " << file;
  }
  for (REGSAM view : {VIEW64, VIEW32}) {
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PLUGIN_KEY, view));
    EXPECT_TRUE(programEntries(view).empty());
  }
  EXPECT_EQ(command, registryCommand());  // the user's setting stays
  expectExtensionAsked(HKEY_LOCAL_MACHINE, NOTHING, false);
  EXPECT_EQ("theirs", registryText(HKEY_LOCAL_MACHINE, forcelist.substr(5), "1", VIEW32));
  run("reg.exe delete " + forcelist + " /f");

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
  std::string log;
  std::string command = linkmonCommand("install-user", &log);
  ASSERT_EQ(0u, msiexec("/i \"" + old_ + "\\ZUROV-user.msi\" /qn"));
  EXPECT_EQ("0.9.0", registryText(HKEY_CURRENT_USER, PLUGIN_KEY, "Version", OWN_VIEW));
  expectExtensionAsked(HKEY_CURRENT_USER, OFFER, false);
  ASSERT_EQ(0u, installWith(user_, "CLIENTCOMMAND=" + msiValue(command) + " " + FORCED));
  expectExtensionAsked(HKEY_CURRENT_USER, FORCE, true);  // the older package's offer went with it
  expectExtensionAsked(HKEY_LOCAL_MACHINE, NOTHING, false);
  EXPECT_EQ("1.0.0.1", registryText(HKEY_CURRENT_USER, PLUGIN_KEY, "Version", OWN_VIEW));
  char product[39];
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiEnumRelatedProductsA(UPGRADE_CODES[2], 0, 0, product));
  EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS), MsiEnumRelatedProductsA(UPGRADE_CODES[2], 0, 1, product))
      << "the older per-user package is still installed";

  // The i686 module twice (the name the key names, the name Gecko scans for), registered in
  // the current user's key, which both registry views share.
  for (const std::string& file : {module, gecko})
    EXPECT_TRUE(readFile(file) == built32_) << file << " is not the built i686 module";
  EXPECT_TRUE(readFile(folder + "\\sdk\\kelvora_link.h") == header_);
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
  expectHostRegistered(HKEY_CURRENT_USER, module, OWN_VIEW);

  // Every family finds it (Gecko the np-named copy in the Path's folder, the others the
  // Path's file) and plays through it; a browser of the other bitness passes it over.
  std::string hkcu = std::string("HKCU\\") + PLUGIN_KEY;
  if (!WIDE) {
    expectEachFamilyPicks(gecko, module);
    expectEachFamilyPlays(gecko, module, command, log);
  } else {
    for (const char* family : FAMILIES) {
      bool geckoFamily = family == std::string("gecko");
      RunResult which = pagerunner(std::string("--browser=") + family + " --which application/x-kvla");
      EXPECT_EQ(3u, which.exitCode) << family << ": " << which.output;
      std::string candidate = hkcu + (geckoFamily ? " (its folder): " + gecko : ": " + module);
      EXPECT_NE(std::string::npos,
                which.output.find("  skipped   " + candidate + ": wrong bitness: i386 module, x86-64 browser"))
          << family << ": " << which.output;
    }
  }

  ASSERT_EQ(0u, msiexec("/x \"" + user_ + "\" /qn"));
  for (const std::string& path : {module, gecko, folder}) EXPECT_FALSE(exists(path)) << path;
  for (REGSAM view : {VIEW64, VIEW32}) EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, PLUGIN_KEY, view));
  expectHostRegistered(HKEY_CURRENT_USER, module, OWN_VIEW, false);
  expectExtensionAsked(HKEY_CURRENT_USER, NOTHING, false);
  EXPECT_EQ(command, userRegistryCommand());  // the user's setting stays
}

}  // namespace
