// Opera 12 and earlier (Presto). Its rules (how it finds and loads the module) and its habits
// (how it calls it), whole.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

namespace {

class OperaHabits final : public BrowserHabits {
 public:
  // The attributes, then a "PARAM" entry with a NULL value and every <param>.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    std::vector<NewArgument> args = attributesLowerCased(object.element);
    addParamsAfterSeparator(object, &args);
    return args;
  }

  // NPP_New with a non-NULL, empty NPSavedData, then NPP_SetWindow once.
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, true)) return false;
    page.setWindow(o, false);
    return true;
  }

  // The file's size, as the server said.
  uint32_t endAtNewStream(const PageCalls&, uint32_t size) const override { return size; }

  // At most what NPP_WriteReady allowed; a refused write again after 10 ms.
  DeliveryEnd deliver(PageCalls& page, PageObject* o, size_t size) const override {
    return deliverInChunks(page, o, size, {false, 10, ChunkMemory::Writable, false});
  }

  // NPP_Destroy(npp, &save), only for instances whose NPP_New succeeded
  // (--destroy-after-failed-new: those too); no NULL window first.
  void tearDown(PageCalls& page, PageObject* o, bool created) const override {
    if (!created && !page.options().destroyAfterFailedNew) return;
    page.destroy(o, false);
  }
};

const OperaHabits HABITS;

}  // namespace

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
    .habits = &HABITS,
    .inProcess = nullptr,
};
