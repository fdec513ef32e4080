#include "tools/pagerunner/plugin_candidate.h"

#include <algorithm>

namespace {

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

bool typeListHas(const std::string& list, const std::string& type) {
  return typeIndex(list, type) >= 0;
}

std::string extensionsForType(const std::string& mimeTypes, const std::string& fileExtents,
                              const std::string& type) {
  int at = typeIndex(mimeTypes, type);
  std::vector<std::string> extents = splitBars(fileExtents);
  return at >= 0 && static_cast<size_t>(at) < extents.size() ? extents[at] : std::string();
}

std::string skipReason(const CandidateFacts& facts, const BrowserFamilyRules& rules,
                       uint16_t ownMachine, const std::string& type) {
  if (!facts.hasPath) return "no Path value";
  if (!facts.pathRegSz && rules.pathUse == PathUse::FileRegSzOnly)
    return "Path is not a REG_SZ value";
  if (!facts.nameSkip.empty()) return facts.nameSkip;
  if (!facts.fileFound) return "missing file";
  if (!facts.readable) return "file cannot be read";
  if (!facts.isImage) return facts.imageError;
  if (facts.image.machine != ownMachine)
    return "wrong bitness: " + peMachineName(facts.image.machine) + " module, " +
           peMachineName(ownMachine) + " browser";
  std::string strings;  // what the version resource lacks, for the type
  if (!facts.versionBlockFound)
    strings = rules.versionBlock == VersionBlock::FirstTranslation
                  ? "no version resource with a \\VarFileInfo\\Translation entry"
                  : "no version block 040904E4";
  else if (rules.needsProductAndDescription && !facts.hasProductName)
    return "no ProductName in the version resource";
  else if (rules.needsProductAndDescription && !facts.hasFileDescription)
    return "no FileDescription in the version resource";
  else if (!facts.hasMimeType || facts.mimeTypes.empty())
    strings = "no MIMEType in the version resource";
  else if (!typeListHas(facts.mimeTypes, type))
    strings = "MIME type absent: " + type + " is not in the module's MIMEType";
  if (!strings.empty() && facts.keyListsType)
    return "MIME type absent: " + type + " only in the key's MimeTypes, which no browser reads (" +
           strings + ")";
  if (!strings.empty()) return strings;
  for (int i = 0; i < ENTRY_POINT_COUNT; ++i) {
    const EntryPointLookup& l = rules.lookups[i];
    if (!entryPointRequired(rules, i)) continue;
    if (!exports(facts.image, l.first) && !exports(facts.image, l.second))
      return "no entry point " + lookupText(l);
  }
  return "";
}
