#include "tools/pagerunner/plugin_candidate.h"

#include <algorithm>

namespace {

const EntryPointLookup GECKO_LOOKUPS[ENTRY_POINT_COUNT] = {
    {"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}};
// "We'll accept either name": the names of the day first.
const EntryPointLookup NETSCAPE_LOOKUPS[ENTRY_POINT_COUNT] = {
    {"NP_GetEntryPoints", nullptr},
    {"NP_PluginInit", "NP_Initialize"},
    {"NP_PluginShutdown", "NP_Shutdown"}};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameTextIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

std::vector<std::string> splitBars(const std::string& list) {
  std::vector<std::string> parts(1);
  for (char c : list) {
    if (c == '|')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// Position of `type` in a '|' list, or -1.
int typeIndex(const std::string& list, const std::string& type) {
  std::vector<std::string> types = splitBars(list);
  for (size_t i = 0; i < types.size(); ++i)
    if (!type.empty() && sameTextIgnoringCase(types[i], type)) return static_cast<int>(i);
  return -1;
}

bool exports(const PeImageFacts& image, const char* name) {
  return name && std::find(image.exportNames.begin(), image.exportNames.end(), name) !=
                     image.exportNames.end();
}

}  // namespace

bool parseBrowserFamily(const std::string& text, BrowserFamily* out) {
  if (text == "gecko") {
    *out = BrowserFamily::Gecko;
    return true;
  }
  if (text == "netscape") {
    *out = BrowserFamily::Netscape;
    return true;
  }
  return false;
}

const char* browserFamilyName(BrowserFamily family) {
  return family == BrowserFamily::Gecko ? "gecko" : "netscape";
}

const EntryPointLookup* entryPointLookups(BrowserFamily family) {
  return family == BrowserFamily::Gecko ? GECKO_LOOKUPS : NETSCAPE_LOOKUPS;
}

std::string lookupText(const EntryPointLookup& lookup) {
  return lookup.second ? std::string(lookup.first) + " or " + lookup.second : lookup.first;
}

bool typeListHas(const std::string& list, const std::string& type) {
  return typeIndex(list, type) >= 0;
}

std::string extensionsForType(const std::string& mimeTypes, const std::string& fileExtents,
                              const std::string& type) {
  int at = typeIndex(mimeTypes, type);
  std::vector<std::string> extents = splitBars(fileExtents);
  return at >= 0 && static_cast<size_t>(at) < extents.size() ? extents[at] : std::string();
}

std::string skipReason(const CandidateFacts& facts, BrowserFamily family, uint16_t ownMachine,
                       const std::string& type) {
  if (!facts.hasPath) return "no Path value";
  if (!facts.fileFound) return "missing file";
  if (!facts.readable) return "file cannot be read";
  if (!facts.isImage) return facts.imageError;
  if (facts.image.machine != ownMachine)
    return "wrong bitness: " + peMachineName(facts.image.machine) + " module, " +
           peMachineName(ownMachine) + " browser";
  if (!facts.keyListsType && !facts.resourceListsType)
    return "MIME type absent: " + type + " is in neither the key's MimeTypes nor the module's version resource";
  const EntryPointLookup* lookups = entryPointLookups(family);
  for (int i = 0; i < ENTRY_POINT_COUNT; ++i) {
    if (!exports(facts.image, lookups[i].first) && !exports(facts.image, lookups[i].second))
      return "no entry point " + lookupText(lookups[i]);
  }
  return "";
}
