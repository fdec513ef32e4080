// Gecko: Firefox 3.6 to 52 ESR, SeaMonkey, and the UXP browsers (Pale Moon, Basilisk).
// Finding: each MozillaPlugins key's Path is cut to its folder and the folder is scanned;
// HKCU first, then HKLM. Only np*.dll files of at least 7 characters count, Java's
// npoji*/npjava* excepted; the version block 040904E4 must hold MIMEType.
// Habits (out of process, 52 and UXP): NPP_SetWindow after every reflow, its own window
// procedure over the plug-in's after each; NPP_Destroy(npp, NULL), also after a failed
// NPP_New; <param>s after a "PARAM" separator, SRC for <object data>; a refused NPP_Write
// delivered again every 100 ms, and writes larger than NPP_WriteReady allowed.
#include "tools/pagerunner/browser_family.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= s.size() || lower(s[i]) != prefix[i]) return false;
  return true;
}

}  // namespace

const BrowserFamilyRules GECKO_RULES = {
    BrowserFamily::Gecko, "gecko", "Firefox 3.6 to 52 ESR, SeaMonkey, Pale Moon, Basilisk",
    PathUse::FolderScanned, RegistryOrder::UserThenMachine, false, VersionBlock::Fixed040904E4,
    false,
    {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    true,
    20, 29,  // Firefox 52 and UXP; --firefox-3.6 plays the 14-entry table of version 0
    3, false, true, false, true, true, true, true, false, 100, true};

std::string geckoFileNameSkip(const std::string& name) {
  size_t n = name.size();
  bool dll = n >= 4 && lower(name[n - 4]) == '.' && lower(name[n - 3]) == 'd' &&
             lower(name[n - 2]) == 'l' && lower(name[n - 1]) == 'l';
  if (!startsNoCase(name, "np") || !dll) return "not named np*.dll";
  if (n < 7) return "name shorter than 7 characters";
  if (startsNoCase(name, "npoji") || startsNoCase(name, "npjava")) return "a Java plug-in name (npoji*, npjava*)";
  return "";
}
