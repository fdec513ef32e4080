#include "tools/pagerunner/plugin_discovery.h"
#include "tools/pagerunner/page_source.h"
#include "tools/pagerunner/run_report.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const PLUGINS_KEY = "Software\\MozillaPlugins";
const DWORD MAX_VALUE_BYTES = 32767;
const size_t MAX_MODULE_BYTES = 64u << 20;

// A REG_SZ or REG_EXPAND_SZ value (expanded); false when absent, of another type, empty or
// implausibly long. `regSz` tells which of the two it was.
bool readText(HKEY key, const char* name, std::string* out, bool* regSz) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > MAX_VALUE_BYTES)
    return false;
  std::vector<char> data(size + 1, '\0');  // the stored text need not end with a NUL
  DWORD got = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
          ERROR_SUCCESS ||
      got > size)
    return false;
  std::string text(data.data());
  *regSz = type == REG_SZ;
  if (type == REG_EXPAND_SZ) {
    std::vector<char> expanded(MAX_VALUE_BYTES + 1);
    DWORD n = ExpandEnvironmentStringsA(text.c_str(), expanded.data(),
                                        static_cast<DWORD>(expanded.size()));
    if (n == 0 || n > expanded.size()) return false;
    text = expanded.data();
  }
  if (text.empty()) return false;
  *out = text;
  return true;
}

// The strings of the version resource's block that the family reads.
void readVersionStrings(const std::string& path, const BrowserFamilyRules& rules,
                        CandidateFacts* facts, std::string* extents) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return;
  char block[64] = "\\StringFileInfo\\040904E4\\";
  void* p = nullptr;
  UINT length = 0;
  if (rules.versionBlock == VersionBlock::FirstTranslation) {
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &p, &length) || length < 4) return;
    WORD translation[2];
    memcpy(translation, p, sizeof translation);
    snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  }
  std::string blockName(block, strlen(block) - 1);
  facts->versionBlockFound = VerQueryValueA(info.data(), blockName.c_str(), &p, &length) != 0;
  std::string productName, description;
  struct {
    const char* name;
    std::string* out;
    bool* present;
  } wanted[] = {{"MIMEType", &facts->mimeTypes, &facts->hasMimeType},
                {"FileExtents", extents, nullptr},
                {"ProductName", &productName, &facts->hasProductName},
                {"FileDescription", &description, &facts->hasFileDescription}};
  for (const auto& w : wanted) {
    std::string query = std::string(block) + w.name;
    if (VerQueryValueA(info.data(), query.c_str(), &p, &length) && p) {
      if (w.present) *w.present = true;
      w.out->assign(static_cast<const char*>(p), strnlen(static_cast<const char*>(p), length));
    }
  }
}

bool typeKeyExists(HKEY plugin, const std::string& type) {
  HKEY typeKey;
  if (!plugin || type.find('\\') != std::string::npos ||
      RegOpenKeyExA(plugin, ("MimeTypes\\" + type).c_str(), 0, KEY_READ, &typeKey) != ERROR_SUCCESS)
    return false;
  RegCloseKey(typeKey);
  return true;
}

// One file as the family judges it; `facts` comes with what the key or folder gave.
PluginCandidate examine(CandidateFacts facts, const std::string& keyText, const std::string& path,
                        const std::string& type, const BrowserFamilyRules& rules) {
  PluginCandidate c;
  c.key = keyText;
  c.path = path;
  if (facts.hasPath) {
    DWORD attributes = GetFileAttributesA(c.path.c_str());
    facts.fileFound = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  if (facts.fileFound && facts.nameSkip.empty()) {
    std::vector<char> data;
    facts.readable = readFile(c.path, &data, MAX_MODULE_BYTES);
    if (facts.readable) facts.isImage = readPeImage(data, &facts.image, &facts.imageError);
  }
  bool resourceListsType = false;
  if (facts.isImage) {
    std::string extents;
    readVersionStrings(c.path, rules, &facts, &extents);
    resourceListsType = typeListHas(facts.mimeTypes, type);
    c.extensions = extensionsForType(facts.mimeTypes, extents, type);
  }
  c.typeSources = resourceListsType ? "the version resource" : "";
  c.skipReason = skipReason(facts, rules, ownMachine(), type);
  return c;
}

// The *.dll files of `folder`, in the order the file system lists them.
std::vector<std::string> dllFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*.dll").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

bool samePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

struct Gathered {
  PluginDiscovery found;
  std::vector<std::string> folders;  // scanned already
  void add(const PluginCandidate& c) {
    for (const PluginCandidate& d : found.candidates)
      if (!c.path.empty() && samePath(c.path, d.path)) return;  // one candidate per file
    found.candidates.push_back(c);
  }
  // A folder's files, each judged by its name (`nameRule`) first.
  void scan(const std::string& folder, const std::string& keyText, bool keyListsType,
            const std::string& type, const BrowserFamilyRules& rules, bool pluginsFolder) {
    for (const std::string& f : folders)
      if (samePath(f, folder)) return;
    folders.push_back(folder);
    for (const std::string& name : dllFiles(folder)) {
      CandidateFacts facts;
      facts.hasPath = true;
      facts.keyListsType = keyListsType;
      facts.nameSkip = pluginsFolder ? pluginsFolderNameSkip(rules, name) : geckoFileNameSkip(name);
      add(examine(facts, keyText, folder + "\\" + name, type, rules));
    }
  }
};

std::vector<RegisteredPath> registeredPaths(HKEY root, const char* rootName) {
  std::vector<RegisteredPath> paths;
  HKEY plugins;
  if (RegOpenKeyExA(root, PLUGINS_KEY, 0, KEY_READ, &plugins) != ERROR_SUCCESS) return paths;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    LONG status = RegEnumKeyExA(plugins, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // longer than a key name can be
    if (status != ERROR_SUCCESS) break;
    HKEY plugin;
    if (RegOpenKeyExA(plugins, name, 0, KEY_READ, &plugin) != ERROR_SUCCESS) continue;
    RegisteredPath p;
    p.key = std::string(rootName) + "\\" + PLUGINS_KEY + "\\" + name;
    if (!readText(plugin, "Path", &p.path, &p.regSz)) p.path.clear();
    RegCloseKey(plugin);
    paths.push_back(p);
  }
  RegCloseKey(plugins);
  return paths;
}

// The MimeTypes subkey of the key named `keyText` ("HKLM\Software\...").
bool keyListsType(const std::string& keyText, const std::string& type) {
  HKEY root = keyText.compare(0, 4, "HKCU") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY plugin;
  if (RegOpenKeyExA(root, keyText.substr(5).c_str(), 0, KEY_READ, &plugin) != ERROR_SUCCESS) return false;
  bool listed = typeKeyExists(plugin, type);
  RegCloseKey(plugin);
  return listed;
}

}  // namespace

uint16_t ownMachine() { return sizeof(void*) == 8 ? PE_MACHINE_AMD64 : PE_MACHINE_I386; }

std::string pluginsFolder() {
  char exe[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
  if (n == 0 || n >= sizeof exe) return "";
  return folderOf(std::string(exe, n)) + "\\plugins";
}

PluginDiscovery discoverPlugins(const std::string& type, const BrowserFamilyRules& rules) {
  Gathered g;
  std::string own = pluginsFolder();
  if (!own.empty()) g.scan(own, "plugins folder", false, type, rules, true);
  for (const RegisteredPath& p : inReadingOrder(rules, registeredPaths(HKEY_CURRENT_USER, "HKCU"),
                                                registeredPaths(HKEY_LOCAL_MACHINE, "HKLM"))) {
    bool listed = keyListsType(p.key, type);
    CandidateFacts facts;
    facts.hasPath = !p.path.empty();
    facts.pathRegSz = p.regSz;
    facts.keyListsType = listed;
    if (rules.pathUse == PathUse::FolderScanned && facts.hasPath) {
      std::string folder = folderOf(p.path);
      DWORD attributes = GetFileAttributesA(folder.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        PluginCandidate c;
        c.key = p.key;
        c.path = p.path;
        c.skipReason = "missing folder " + folder;
        g.add(c);
      } else {
        g.scan(folder, p.key + " (its folder)", listed, type, rules, false);
      }
      continue;
    }
    g.add(examine(facts, p.key, p.path, type, rules));
  }
  for (size_t i = 0; i < g.found.candidates.size(); ++i) {
    if (g.found.candidates[i].skipReason.empty()) {
      g.found.picked = static_cast<int>(i);
      break;
    }
  }
  return g.found;
}

void reportDiscovery(const PluginDiscovery& found, const std::string& type,
                     const BrowserFamilyRules& rules) {
  say("plug-ins for %s (%s discovery, %s browser), plugins folder, then %s:", type.c_str(),
      rules.name, peMachineName(ownMachine()).c_str(), registryOrderText(rules.order));
  for (size_t i = 0; i < found.candidates.size(); ++i) {
    const PluginCandidate& c = found.candidates[i];
    std::string path = c.path.empty() ? "(no Path)" : c.path;
    if (static_cast<int>(i) == found.picked) {
      say("  picked    %s: %s (%s from %s%s%s)", c.key.c_str(), path.c_str(), type.c_str(),
          c.typeSources.c_str(), c.extensions.empty() ? "" : ", suffixes ", c.extensions.c_str());
    } else if (c.skipReason.empty()) {
      say("  not used  %s: %s (the picked one comes first)", c.key.c_str(), path.c_str());
    } else {
      say("  skipped   %s: %s: %s", c.key.c_str(), path.c_str(), c.skipReason.c_str());
    }
  }
  if (found.picked >= 0)
    say("%s: %s", type.c_str(), found.candidates[found.picked].path.c_str());
  else
    say("%s: no plug-in handles this type (%u candidate(s) passed over)", type.c_str(),
        static_cast<unsigned>(found.candidates.size()));
}
