// WebKit for Windows: Safari for Windows and the browsers built on it. Its rules (how it
// finds and loads the module) and its habits (how it calls it), whole.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

namespace {

class WebKitHabits final : public BrowserHabits {
 public:
  // The attributes, then the <param>s whose name no attribute has; no separator.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    std::vector<NewArgument> args = attributesLowerCased(object.element);
    addParamsNotNamedByAttributes(object, &args);
    return args;
  }

  // NPP_New with NULL saved data, then NPP_SetWindow on every move of the frame: three
  // calls, the window a pixel further right and down before each after the first, WebKit's
  // own procedure going over the plug-in's after each (PluginView subclasses it).
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, false)) return false;
    for (int move = 0; move < 3; ++move) {
      if (move > 0) page.moveWindowByOnePixel(o);
      if (!page.setWindow(o, false)) break;
      page.subclassWindow(o);
    }
    return true;
  }

  // A stream as most families deliver it: the file's size as its end, at most what
  // NPP_WriteReady allowed, a refused write again after 10 ms (BrowserHabits).

  // NPP_SetWindow with a NULL window right before NPP_Destroy(npp, &save); only instances
  // whose NPP_New succeeded are destroyed (--destroy-after-failed-new: those too).
  void tearDown(PageCalls& page, PageObject* o, bool created) const override {
    if (!created && !page.options().destroyAfterFailedNew) return;
    if (created) page.setWindow(o, true);
    page.destroy(o, false);
  }
};

const WebKitHabits HABITS;

}  // namespace

const BrowserFamilyRules WEBKIT_RULES = {
    .family = BrowserFamily::WebKit,
    .name = "webkit",
    .browsers = "Safari for Windows and other WebKit browsers",
    // The file each MozillaPlugins key's Path names, only from a REG_SZ value
    // (PluginDatabaseWin), HKLM first, then HKCU.
    .pathUse = PathUse::FileRegSzOnly,
    .order = RegistryOrder::MachineThenUser,
    .foldersTakeAnyDll = false,
    .versionBlock = VersionBlock::Fixed040904E4,
    .needsProductAndDescription = true,  // PluginPackageWin reads both, and MIMEType
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    .shutdownOptional = false,  // all three entry points required
    .tableEntries = 20,
    .tableVersion = 0,
    .browserTableEntries = 0,
    .browserTableVersion = 0,
    .habits = &HABITS,
    .inProcess = nullptr,
};
