// Netscape and early Gecko (Mozilla 1.x): the file each MozillaPlugins key's Path names,
// HKCU first, then HKLM, with MIMEType in the version block 040904E4; either name of each
// entry point, the names of its day first; a table of 12 entries.
// Habits: NPP_SetWindow once; NPP_Destroy(npp, &save) only after a successful NPP_New.
#include "tools/pagerunner/browser_family.h"

const BrowserFamilyRules NETSCAPE_RULES = {
    BrowserFamily::Netscape, "netscape", "Netscape Navigator and early Mozilla",
    PathUse::File, RegistryOrder::UserThenMachine, false, VersionBlock::Fixed040904E4, false,
    {{"NP_GetEntryPoints", nullptr}, {"NP_PluginInit", "NP_Initialize"},
     {"NP_PluginShutdown", "NP_Shutdown"}},
    false,
    12, 0,
    1, false, false, false, false, false, false, false, false, 10, false};
