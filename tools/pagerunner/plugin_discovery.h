// Finding the plug-in for a MIME type as a browser family does on Windows (its rules in
// browser_*.cpp): the "plugins" folder beside this program, then the keys under
// Software\MozillaPlugins of HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, in this program's
// own registry view. Reads the registry and files only; no module is loaded.
#pragma once

#include <string>
#include <vector>

#include "tools/pagerunner/plugin_candidate.h"

struct PluginCandidate {
  std::string key;          // e.g. HKLM\Software\MozillaPlugins\@kelvora.com/ZUROV, or "plugins folder"
  std::string path;         // the file: Path expanded, or a file of the scanned folder
  std::string typeSources;  // where the type was found, e.g. "the key's MimeTypes"
  std::string extensions;   // the version resource's FileExtents entry for the type
  std::string skipReason;   // empty: a browser could load it
};

struct PluginDiscovery {
  std::vector<PluginCandidate> candidates;  // in the order a browser reads them
  int picked = -1;  // the first candidate without a skip reason; -1 when there is none
};

PluginDiscovery discoverPlugins(const std::string& type, const BrowserFamilyRules& rules);

// Says what a browser of the family would pick for `type`, and why each other candidate was
// passed over.
void reportDiscovery(const PluginDiscovery& found, const std::string& type,
                     const BrowserFamilyRules& rules);

// The "plugins" folder beside this program, the one a browser keeps beside itself.
std::string pluginsFolder();

// The machine this program runs as, the one a module must be built for.
uint16_t ownMachine();
