// What one browser family does towards an NPAPI plug-in on Windows: how it finds the module
// (registry keys, folders, file names, version resource, entry points), the table it hands
// to NP_GetEntryPoints, and its call habits. A family's file (browser_gecko.cpp, ...; netscape
// and opera share one) holds the family whole: its rules as named fields, which pagerunner's
// discovery and loader read, and its habits as code behind BrowserHabits (browser_habits.h).
// Pure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class BrowserFamily { Gecko, Chromium, WebKit, Opera, Netscape };

// What a family makes of MozillaPlugins\*\Path.
enum class PathUse {
  FolderScanned,  // cut to its folder; the folder's files are candidates (Gecko)
  File,           // the file itself
  FileRegSzOnly,  // the file itself, and only when the value is REG_SZ (WebKit)
};

// In which order the registry's keys are read.
enum class RegistryOrder {
  UserThenMachine,  // HKCU, then HKLM
  MachineThenUser,  // HKLM, then HKCU
  SortedPaths,      // both gathered into one sorted set of paths (Chromium)
};

// Which StringFileInfo block of the version resource is read.
enum class VersionBlock {
  Fixed040904E4,     // always "040904E4"
  FirstTranslation,  // the first \VarFileInfo\Translation entry; none: not a plug-in
};

// One entry point as a family looks it up: the export names it accepts, in the order it
// tries them (`second` null: no alternative).
struct EntryPointLookup {
  const char* first;
  const char* second;
};
const int ENTRY_POINT_COUNT = 3;  // NP_GetEntryPoints, initialize, shutdown

class BrowserHabits;  // browser_habits.h

// One family's rules, each with the comment of where its browsers decide it (the family's
// file), and its habits as code (the same file).
struct BrowserFamilyRules {
  BrowserFamily family;
  const char* name;      // as given to --browser
  const char* browsers;  // the browsers it stands for
  // Discovery.
  PathUse pathUse;
  RegistryOrder order;
  bool foldersTakeAnyDll;   // plugins folders: any *.dll (else np*.dll only)
  VersionBlock versionBlock;
  bool needsProductAndDescription;  // ProductName and FileDescription must be present
  EntryPointLookup lookups[ENTRY_POINT_COUNT];
  bool shutdownOptional;  // NP_Shutdown is called when present, not required
  // The table handed to NP_GetEntryPoints: zeroed, `size` of this many entries after
  // the two 16-bit fields, `version` as given.
  int tableEntries;
  uint16_t tableVersion;
  // The browser's own table handed to NP_Initialize: zeroed, `size` of this many entries
  // after the two 16-bit fields, `version` as given; 0 entries: the two fields alone, of
  // version 6 (a table the module only keeps).
  int browserTableEntries;
  uint16_t browserTableVersion;
  // Its call habits: arguments, windows, streams, teardown.
  const BrowserHabits* habits;
  // The family's browser that runs plug-ins in its own process (--in-process), when its
  // rules differ; null: the same rules, and the habits read the option.
  const BrowserFamilyRules* inProcess;
};

extern const BrowserFamilyRules GECKO_RULES;
extern const BrowserFamilyRules CHROMIUM_RULES;
extern const BrowserFamilyRules CHROMIUM_IN_PROCESS_RULES;
extern const BrowserFamilyRules WEBKIT_RULES;
extern const BrowserFamilyRules OPERA_RULES;
extern const BrowserFamilyRules NETSCAPE_RULES;

// The family's rules; with `inProcess` (--in-process), those of its browser that runs
// plug-ins in the browser's own process where they differ (the chromium family's embedded
// engine).
const BrowserFamilyRules& browserRules(BrowserFamily family, bool inProcess = false);

// "gecko", "chromium", "webkit", "opera" or "netscape".
bool parseBrowserFamily(const std::string& text, BrowserFamily* out);
const char* browserFamilyName(BrowserFamily family);
const char* registryOrderText(RegistryOrder order);

// Whether the family refuses a module that lacks entry point `index` (NP_Shutdown may be
// optional).
bool entryPointRequired(const BrowserFamilyRules& rules, int index);

// "NP_Initialize" or "NP_PluginInit or NP_Initialize".
std::string lookupText(const EntryPointLookup& lookup);

// Why a Gecko-family browser passes over a file it found in a scanned folder (the name
// only, letters compared without case); empty when the name is one it loads.
std::string geckoFileNameSkip(const std::string& fileName);

// `text` with A..Z folded to a..z: browsers compare file and attribute names that way.
std::string asciiLowerCase(std::string text);

// Whether a file name reads np*.dll, letters compared without case.
bool namedNpDll(const std::string& fileName);

// Why a family passes over a file in a plugins folder by its name; empty when it takes it.
std::string pluginsFolderNameSkip(const BrowserFamilyRules& rules, const std::string& fileName);

// One Path read from the registry.
struct RegisteredPath {
  std::string key;   // e.g. HKLM\Software\MozillaPlugins\@kelvora.com/ZUROV
  std::string path;  // expanded; empty when the key has no usable Path
  bool regSz = true; // stored as REG_SZ (not REG_EXPAND_SZ)
};

// The keys in the order the family reads them. SortedPaths: one entry per distinct path,
// sorted by path (the first key of a path names it); keys without a path are left out.
std::vector<RegisteredPath> inReadingOrder(const BrowserFamilyRules& rules,
                                           const std::vector<RegisteredPath>& user,
                                           const std::vector<RegisteredPath>& machine);

// The folder of a path (up to its last '\' or '/'), empty when it has none.
std::string folderOf(const std::string& path);

// The table size the family hands over on a machine with `pointerSize`-byte pointers.
uint16_t tableSize(const BrowserFamilyRules& rules, size_t pointerSize);
// The same for the browser's own table (NP_Initialize), 4 when it has no entries.
uint16_t browserTableSize(const BrowserFamilyRules& rules, size_t pointerSize);
