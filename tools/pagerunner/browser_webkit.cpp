// WebKit for Windows (Safari for Windows and the browsers built on it). Finding: the file
// each MozillaPlugins key's Path names, only from a REG_SZ value, HKLM first, then HKCU; the
// version block 040904E4 with ProductName, FileDescription and MIMEType; all three entry
// points required.
// Habits: NPP_SetWindow on every move, its own window procedure over the plug-in's after
// each; NPP_SetWindow with a NULL window right before NPP_Destroy.
#include "tools/pagerunner/browser_family.h"

const BrowserFamilyRules WEBKIT_RULES = {
    BrowserFamily::WebKit, "webkit", "Safari for Windows and other WebKit browsers",
    PathUse::FileRegSzOnly, RegistryOrder::MachineThenUser, false, VersionBlock::Fixed040904E4,
    true,
    {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    false,
    20, 0,
    3, true, true, true, false, false, false, false, false, 10, false};
