#include "tools/pagerunner/browser_family.h"

#include <algorithm>

namespace {

const BrowserFamilyRules* const ALL[] = {&GECKO_RULES, &CHROMIUM_RULES, &WEBKIT_RULES,
                                         &OPERA_RULES, &NETSCAPE_RULES};

bool endsWithDll(const std::string& s) {
  return s.size() >= 4 && asciiLowerCase(s.substr(s.size() - 4)) == ".dll";
}

}  // namespace

std::string asciiLowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool namedNpDll(const std::string& fileName) {
  return asciiLowerCase(fileName.substr(0, 2)) == "np" && endsWithDll(fileName);
}

const BrowserFamilyRules& browserRules(BrowserFamily family, bool inProcess) {
  for (const BrowserFamilyRules* r : ALL)
    if (r->family == family) return inProcess && r->inProcess ? *r->inProcess : *r;
  return GECKO_RULES;
}

bool parseBrowserFamily(const std::string& text, BrowserFamily* out) {
  for (const BrowserFamilyRules* r : ALL) {
    if (text == r->name) {
      *out = r->family;
      return true;
    }
  }
  return false;
}

const char* browserFamilyName(BrowserFamily family) { return browserRules(family).name; }

const char* registryOrderText(RegistryOrder order) {
  switch (order) {
    case RegistryOrder::UserThenMachine: return "HKCU then HKLM";
    case RegistryOrder::MachineThenUser: return "HKLM then HKCU";
    case RegistryOrder::SortedPaths: return "HKCU and HKLM as one sorted set of paths";
  }
  return "";
}

bool entryPointRequired(const BrowserFamilyRules& rules, int index) {
  return index != 2 || !rules.shutdownOptional;
}

std::string lookupText(const EntryPointLookup& lookup) {
  return lookup.second ? std::string(lookup.first) + " or " + lookup.second : lookup.first;
}

std::string pluginsFolderNameSkip(const BrowserFamilyRules& rules, const std::string& name) {
  if (rules.foldersTakeAnyDll) return endsWithDll(name) ? "" : "not named *.dll";
  return namedNpDll(name) ? "" : "not named np*.dll";
}

std::vector<RegisteredPath> inReadingOrder(const BrowserFamilyRules& rules,
                                           const std::vector<RegisteredPath>& user,
                                           const std::vector<RegisteredPath>& machine) {
  std::vector<RegisteredPath> out;
  const std::vector<RegisteredPath>& first = rules.order == RegistryOrder::MachineThenUser ? machine : user;
  const std::vector<RegisteredPath>& second = &first == &user ? machine : user;
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), second.begin(), second.end());
  if (rules.order != RegistryOrder::SortedPaths) return out;
  std::vector<RegisteredPath> sorted;
  for (const RegisteredPath& p : out) {
    if (p.path.empty()) continue;
    bool seen = false;
    for (const RegisteredPath& q : sorted) seen = seen || q.path == p.path;
    if (!seen) sorted.push_back(p);
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RegisteredPath& a, const RegisteredPath& b) { return a.path < b.path; });
  return sorted;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

namespace {
// Two 16-bit fields, padded to a pointer's alignment, then the entries.
uint16_t sizeOfTable(int entries, size_t pointerSize) {
  size_t header = pointerSize > 4 ? pointerSize : 4;
  return static_cast<uint16_t>(header + pointerSize * static_cast<size_t>(entries));
}
}  // namespace

uint16_t tableSize(const BrowserFamilyRules& rules, size_t pointerSize) {
  return sizeOfTable(rules.tableEntries, pointerSize);
}

uint16_t browserTableSize(const BrowserFamilyRules& rules, size_t pointerSize) {
  return rules.browserTableEntries > 0 ? sizeOfTable(rules.browserTableEntries, pointerSize) : 4;
}
