#include "tools/pagerunner/plugin_discovery.h"
#include "tools/pagerunner/page_source.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const PLUGINS_KEY = "Software\\MozillaPlugins";
const DWORD MAX_VALUE_BYTES = 32767;
const size_t MAX_MODULE_BYTES = 64u << 20;

// A REG_SZ or REG_EXPAND_SZ value (expanded); false when absent, of another type, empty or
// implausibly long.
bool readText(HKEY key, const char* name, std::string* out) {
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

// MIMEType and FileExtents of the module's version resource, from the block of its first
// translation (browsers read the same), else the customary "040904e4".
void versionResourceTypes(const std::string& path, std::string* mimeTypes, std::string* extents) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return;
  char block[64] = "\\StringFileInfo\\040904e4\\";
  void* p = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &p, &length) && length >= 4) {
    WORD translation[2];
    memcpy(translation, p, sizeof translation);
    snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  }
  struct {
    const char* name;
    std::string* out;
  } wanted[] = {{"MIMEType", mimeTypes}, {"FileExtents", extents}};
  for (const auto& w : wanted) {
    std::string query = std::string(block) + w.name;
    if (VerQueryValueA(info.data(), query.c_str(), &p, &length) && p && length > 0)
      w.out->assign(static_cast<const char*>(p), strnlen(static_cast<const char*>(p), length));
  }
}

PluginCandidate examine(HKEY plugin, const std::string& keyText, const std::string& type,
                        BrowserFamily family) {
  PluginCandidate c;
  c.key = keyText;
  CandidateFacts facts;
  facts.hasPath = readText(plugin, "Path", &c.path);
  if (facts.hasPath) {
    DWORD attributes = GetFileAttributesA(c.path.c_str());
    facts.fileFound = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  if (facts.fileFound) {
    std::vector<char> data;
    facts.readable = readFile(c.path, &data, MAX_MODULE_BYTES);
    if (facts.readable) facts.isImage = readPeImage(data, &facts.image, &facts.imageError);
  }
  HKEY typeKey;
  if (type.find('\\') == std::string::npos &&
      RegOpenKeyExA(plugin, ("MimeTypes\\" + type).c_str(), 0, KEY_READ, &typeKey) == ERROR_SUCCESS) {
    facts.keyListsType = true;
    RegCloseKey(typeKey);
  }
  if (facts.isImage) {
    std::string mimeTypes, extents;
    versionResourceTypes(c.path, &mimeTypes, &extents);
    facts.resourceListsType = typeListHas(mimeTypes, type);
    c.extensions = extensionsForType(mimeTypes, extents, type);
  }
  if (facts.keyListsType && facts.resourceListsType)
    c.typeSources = "the key's MimeTypes and the version resource";
  else if (facts.keyListsType)
    c.typeSources = "the key's MimeTypes";
  else if (facts.resourceListsType)
    c.typeSources = "the version resource";
  c.skipReason = skipReason(facts, family, ownMachine(), type);
  return c;
}

}  // namespace

uint16_t ownMachine() { return sizeof(void*) == 8 ? PE_MACHINE_AMD64 : PE_MACHINE_I386; }

PluginDiscovery discoverPlugins(const std::string& type, BrowserFamily family) {
  PluginDiscovery found;
  const struct {
    HKEY root;
    const char* name;
  } roots[] = {{HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"}};
  for (const auto& root : roots) {
    HKEY plugins;
    if (RegOpenKeyExA(root.root, PLUGINS_KEY, 0, KEY_READ, &plugins) != ERROR_SUCCESS) continue;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameLength = sizeof name;
      LONG status = RegEnumKeyExA(plugins, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA) continue;  // longer than a key name can be
      if (status != ERROR_SUCCESS) break;
      HKEY plugin;
      if (RegOpenKeyExA(plugins, name, 0, KEY_READ, &plugin) != ERROR_SUCCESS) continue;
      found.candidates.push_back(examine(
          plugin, std::string(root.name) + "\\" + PLUGINS_KEY + "\\" + name, type, family));
      RegCloseKey(plugin);
    }
    RegCloseKey(plugins);
  }
  for (size_t i = 0; i < found.candidates.size(); ++i) {
    if (found.candidates[i].skipReason.empty()) {
      found.picked = static_cast<int>(i);
      break;
    }
  }
  return found;
}
