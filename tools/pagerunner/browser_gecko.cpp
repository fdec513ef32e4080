// Gecko: Firefox 3.6 to 52 ESR, SeaMonkey, and the UXP browsers (Pale Moon, Basilisk).
// Finding: each MozillaPlugins key's Path is cut to its folder and the folder is scanned;
// HKCU first, then HKLM. Only np*.dll files of at least 7 characters count, Java's
// npoji*/npjava* excepted; the version block 040904E4 must hold MIMEType.
// Habits (out of process, 52 and UXP): NPP_SetWindow after every reflow, its own window
// procedure over the plug-in's after each; NPP_Destroy(npp, NULL), also after a failed
// NPP_New; <param>s after a "PARAM" separator, SRC for <object data>; a refused NPP_Write
// delivered again every 100 ms, and writes larger than NPP_WriteReady allowed.
#include "tools/pagerunner/browser_family.h"

const BrowserFamilyRules GECKO_RULES = {
    BrowserFamily::Gecko, "gecko", "Firefox 3.6 to 52 ESR, SeaMonkey, Pale Moon, Basilisk",
    PathUse::FolderScanned, RegistryOrder::UserThenMachine, false, VersionBlock::Fixed040904E4,
    false,
    {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    true,
    20, 29,  // Firefox 52 and UXP; --firefox-3.6 plays the 14-entry table of version 0
    3, false, true, false, true, true, true, true, false, 100, true};

std::string geckoFileNameSkip(const std::string& name) {
  if (!namedNpDll(name)) return "not named np*.dll";
  if (name.size() < 7) return "name shorter than 7 characters";
  std::string lowered = asciiLowerCase(name);
  if (lowered.compare(0, 5, "npoji") == 0 || lowered.compare(0, 6, "npjava") == 0)
    return "a Java plug-in name (npoji*, npjava*)";
  return "";
}
