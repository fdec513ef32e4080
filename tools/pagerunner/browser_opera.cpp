// Opera 12 (Presto). Finding: the file each MozillaPlugins key's Path names, HKLM first,
// then HKCU; its plugins folders give any *.dll; the version block 040904E4 with MIMEType;
// either name of each entry point.
// Habits: NPP_New with a non-NULL, empty NPSavedData; <param>s after a "PARAM" separator.
#include "tools/pagerunner/browser_family.h"

const BrowserFamilyRules OPERA_RULES = {
    BrowserFamily::Opera, "opera", "Opera 12 and earlier (Presto)",
    PathUse::File, RegistryOrder::MachineThenUser, true, VersionBlock::Fixed040904E4, false,
    {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", "NP_PluginInit"},
     {"NP_Shutdown", "NP_PluginShutdown"}},
    false,
    20, 0,
    1, false, false, false, false, false, true, false, true, 10, false};
