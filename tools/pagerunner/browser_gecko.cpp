// Gecko: Firefox 3.6 to 52 ESR, SeaMonkey, and the UXP browsers (Pale Moon, Basilisk), the
// plug-in run out of process as 52 and UXP do (--in-process: in the browser's own process,
// as K-Meleon runs it). Its rules (how it finds and loads the module)
// and its habits (how it calls it), whole.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

namespace {

class GeckoHabits final : public BrowserHabits {
 public:
  // The attributes, an upper-case SRC for <object data=...> (nsPluginInstanceOwner), then a
  // "PARAM" entry with a NULL value and every <param>, names as written.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    std::vector<NewArgument> args = attributesLowerCased(object.element);
    const std::string* data = findAttribute(object.element, "data");
    if (object.element.name == "object" && data && !findAttribute(object.element, "src"))
      args.push_back({"SRC", *data});
    addParamsAfterSeparator(object, &args);
    return args;
  }

  // NPP_New with NULL saved data. The frame is reflowed after the object is created: the
  // same window again after each of three reflows, Gecko's own procedure going over the
  // plug-in's after each call (nsPluginNativeWindowWin subclasses the plug-in window).
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, false)) return false;
    for (int reflow = 0; reflow < 3; ++reflow) {
      if (!page.setWindow(o, false)) break;
      page.subclassWindow(o);
    }
    return true;
  }

  // The file's size, as the server said; in process, --stream-end plays an end that is
  // unknown (0), or 0 and raised as data arrives (nsPluginStreamListenerPeer).
  uint32_t endAtNewStream(const PageCalls& page, uint32_t size) const override {
    return page.options().streamEnd == StreamEndPlay::Known ? size : 0;
  }

  // Out of process, the parent passes each chunk as it came, whatever NPP_WriteReady said; a
  // chunk the plug-in refused is delivered again alone every 100 ms (BrowserStreamChild's
  // timer), never joined with the bytes behind it. In process, the stream listener keeps
  // what was refused in its buffer and pumps it again, with what came since and at most
  // what NPP_WriteReady allowed, every 100 ms (nsNPAPIPluginStreamListener).
  DeliveryEnd deliver(PageCalls& page, PageObject* o, size_t size) const override {
    const PageRunnerOptions& opt = page.options();
    if (!opt.inProcess) return deliverInChunks(page, o, size, {true, 100, ChunkMemory::Writable, false});
    bool raised = opt.streamEnd == StreamEndPlay::Raised;
    return deliverInChunks(page, o, size, {false, 100, ChunkMemory::Writable, raised});
  }

  // NPP_Destroy(npp, NULL), also for an instance whose NPP_New failed; no NULL window first.
  void tearDown(PageCalls& page, PageObject* o, bool) const override { page.destroy(o, true); }
};

const GeckoHabits HABITS;

}  // namespace

const BrowserFamilyRules GECKO_RULES = {
    .family = BrowserFamily::Gecko,
    .name = "gecko",
    .browsers = "Firefox 3.6 to 52 ESR, SeaMonkey, Pale Moon, Basilisk",
    // Each MozillaPlugins key's Path is cut to its folder and the folder is scanned
    // (nsPluginDirServiceProvider); HKCU first, then HKLM.
    .pathUse = PathUse::FolderScanned,
    .order = RegistryOrder::UserThenMachine,
    .foldersTakeAnyDll = false,  // only np*.dll of 7 characters or more (geckoFileNameSkip)
    .versionBlock = VersionBlock::Fixed040904E4,  // nsPluginsDirWin reads 040904E4 only
    .needsProductAndDescription = false,
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    .shutdownOptional = true,  // called when present
    // Firefox 52 and UXP; --firefox-3.6 plays the 14-entry table of version 0.
    .tableEntries = 20,
    .tableVersion = 29,
    .habits = &HABITS,
};

std::string geckoFileNameSkip(const std::string& name) {
  if (!namedNpDll(name)) return "not named np*.dll";
  if (name.size() < 7) return "name shorter than 7 characters";
  std::string lowered = asciiLowerCase(name);
  if (lowered.compare(0, 5, "npoji") == 0 || lowered.compare(0, 6, "npjava") == 0)
    return "a Java plug-in name (npoji*, npjava*)";
  return "";
}
