// Chromium, while it ran NPAPI plug-ins. Finding: the file each MozillaPlugins key's Path
// names, from HKCU and HKLM gathered into one sorted set of paths; the version block named
// by the first \VarFileInfo\Translation entry (none: not a plug-in) with a non-empty
// MIMEType; all three entry points required.
// Habits: NPP_SetWindow once, then with a NULL window right before NPP_Destroy; NPP_Destroy
// also after a failed NPP_New; attributes and <param>s without a separator.
#include "tools/pagerunner/browser_family.h"

const BrowserFamilyRules CHROMIUM_RULES = {
    BrowserFamily::Chromium, "chromium", "Chromium and Chrome up to version 44",
    PathUse::File, RegistryOrder::SortedPaths, false, VersionBlock::FirstTranslation, false,
    {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    false,
    20, 0,
    1, false, false, true, false, true, false, false, false, 10, false};
