// Netscape Navigator with early Mozilla, and Opera 12 and earlier (Presto): two families that
// call the module with the same plain habits (NPP_New, one NPP_SetWindow, no NULL window
// before NPP_Destroy), apart in two choices (how the <param>s follow the attributes, NPP_New's
// saved data), and whose rules differ in a few fields. Both families' rules and habits,
// whole, side by side.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

namespace {

// Where one family's habits part from the other's.
struct PlainHabitChoices {
  bool paramsAfterSeparator;  // a "PARAM" entry with a NULL value, then every <param>; else
                              // the <param>s whose name no attribute has, no separator
  bool emptySavedData;        // NPP_New gets a non-NULL, empty NPSavedData; else NULL
};

class PlainHabits final : public BrowserHabits {
 public:
  explicit constexpr PlainHabits(PlainHabitChoices choices) : choices_(choices) {}

  // The attributes, then the <param>s as the family adds them.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    std::vector<NewArgument> args = attributesLowerCased(object.element);
    if (choices_.paramsAfterSeparator)
      addParamsAfterSeparator(object, &args);
    else
      addParamsNotNamedByAttributes(object, &args);
    return args;
  }

  // NPP_New, then NPP_SetWindow once.
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, choices_.emptySavedData)) return false;
    page.setWindow(o, false);
    return true;
  }

  // A stream as most families deliver it: the file's size as its end, at most what
  // NPP_WriteReady allowed, a refused write again after 10 ms (BrowserHabits).

  // NPP_Destroy(npp, &save), only for instances whose NPP_New succeeded
  // (--destroy-after-failed-new: those too); no NULL window first.
  void tearDown(PageCalls& page, PageObject* o, bool created) const override {
    if (!created && !page.options().destroyAfterFailedNew) return;
    page.destroy(o, false);
  }

 private:
  PlainHabitChoices choices_;
};

const PlainHabits NETSCAPE_HABITS({.paramsAfterSeparator = false, .emptySavedData = false});
const PlainHabits OPERA_HABITS({.paramsAfterSeparator = true, .emptySavedData = true});

}  // namespace

const BrowserFamilyRules NETSCAPE_RULES = {
    .family = BrowserFamily::Netscape,
    .name = "netscape",
    .browsers = "Netscape Navigator and early Mozilla",
    // The file each MozillaPlugins key's Path names, HKCU first, then HKLM.
    .pathUse = PathUse::File,
    .order = RegistryOrder::UserThenMachine,
    .foldersTakeAnyDll = false,
    .versionBlock = VersionBlock::Fixed040904E4,
    .needsProductAndDescription = false,
    // Either name of each entry point, the names of its day first.
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_PluginInit", "NP_Initialize"},
                {"NP_PluginShutdown", "NP_Shutdown"}},
    .shutdownOptional = false,
    .tableEntries = 12,  // the table of its day
    .tableVersion = 0,
    .browserTableEntries = 0,
    .browserTableVersion = 0,
    .habits = &NETSCAPE_HABITS,
    .inProcess = nullptr,
};

const BrowserFamilyRules OPERA_RULES = {
    .family = BrowserFamily::Opera,
    .name = "opera",
    .browsers = "Opera 12 and earlier (Presto)",
    // The file each MozillaPlugins key's Path names, HKLM first, then HKCU.
    .pathUse = PathUse::File,
    .order = RegistryOrder::MachineThenUser,
    .foldersTakeAnyDll = true,  // its plugins folders give any *.dll
    .versionBlock = VersionBlock::Fixed040904E4,
    .needsProductAndDescription = false,
    // Either name of each entry point, today's first.
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", "NP_PluginInit"},
                {"NP_Shutdown", "NP_PluginShutdown"}},
    .shutdownOptional = false,
    .tableEntries = 20,
    .tableVersion = 0,
    .browserTableEntries = 0,
    .browserTableVersion = 0,
    .habits = &OPERA_HABITS,
    .inProcess = nullptr,
};
