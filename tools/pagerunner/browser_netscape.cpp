// Netscape Navigator and early Gecko (Mozilla 1.x). Its rules (how it finds and loads the
// module) and its habits (how it calls it), whole.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

namespace {

class NetscapeHabits final : public BrowserHabits {
 public:
  // The attributes, then the <param>s whose name no attribute has; no separator.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    std::vector<NewArgument> args = attributesLowerCased(object.element);
    addParamsNotNamedByAttributes(object, &args);
    return args;
  }

  // NPP_New with NULL saved data, then NPP_SetWindow once.
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, false)) return false;
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

const NetscapeHabits HABITS;

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
    .habits = &HABITS,
    .inProcess = nullptr,
};
