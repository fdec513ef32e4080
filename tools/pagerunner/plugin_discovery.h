// Finding the plug-in for a MIME type as Gecko- and Chromium-family browsers do on Windows:
// every key under Software\MozillaPlugins, first in HKEY_CURRENT_USER, then in
// HKEY_LOCAL_MACHINE, in this program's own registry view. Reads the registry and files
// only; no module is loaded.
#pragma once

#include <string>
#include <vector>

#include "tools/pagerunner/plugin_candidate.h"

struct PluginCandidate {
  std::string key;          // e.g. HKLM\Software\MozillaPlugins\@kelvora.com/ZUROV
  std::string path;         // its Path value, environment references expanded
  std::string typeSources;  // where the type was found, e.g. "the key's MimeTypes"
  std::string extensions;   // the version resource's FileExtents entry for the type
  std::string skipReason;   // empty: a browser could load it
};

struct PluginDiscovery {
  std::vector<PluginCandidate> candidates;  // in the order a browser reads them
  int picked = -1;  // the first candidate without a skip reason; -1 when there is none
};

PluginDiscovery discoverPlugins(const std::string& type, BrowserFamily family);

// The machine this program runs as, the one a module must be built for.
uint16_t ownMachine();
