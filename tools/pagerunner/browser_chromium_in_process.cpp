// The chromium family played in process (--browser=chromium --in-process): the embedded
// engine of Chromium 21 (its version 1.1180, i686), which runs NPAPI plug-ins inside the
// browser's own process, on its UI thread, with WebKit's plug-in code: no plug-in process,
// no hang detector, and a fault in the module ends the browser. Each rule and habit below
// was seen in that engine under 32-bit Wine (tests/real_browser32 plays the demo in it and
// compares); where it comes from Chromium or WebKit code that Chromium 39 shares, the
// chromium family's file (browser_chromium.cpp) says so too.
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_habits.h"

namespace {

class ChromiumInProcessHabits final : public BrowserHabits {
 public:
  // Chromium 21 and Chromium 39 alike (WebKit's HTMLObjectElement): an <object>'s <param>s
  // first, names as written, then the attributes no <param> names; an <embed>'s attributes,
  // names lower-cased, character references decoded.
  std::vector<NewArgument> newArguments(const KvlaObject& object) const override {
    return paramsThenAttributes(object);
  }

  // Chromium 21: NPP_New with NULL saved data, then NPP_SetWindow once, the window a child
  // of the page where it is laid out.
  bool create(PageCalls& page, PageObject* o) const override {
    if (!page.newInstance(o, false)) return false;
    page.setWindow(o, false);
    return true;
  }

  // Chromium 21 creates a page's plug-ins in an order of its own, not the document's, and
  // not the same from one run to the next (the demo page's <object> came before <embed>s
  // written earlier, once second, once first); its teardown too. pagerunner plays one such
  // order, the same every time: the <object>s first.
  bool objectElementsFirst() const override { return true; }

  // Chromium 21: the link file's messages follow every object's LINKMSG_NEW and window.
  bool streamsAfterEveryObject() const override { return true; }

  // Chromium 21 and 39 (WebKit's layout): no instance for an object under display:none.
  bool hiddenObjectsSkipped() const override { return true; }

  // Chromium 21: a file: link file of an extension it does not know comes with this type.
  const char* streamType() const override { return "application/x-unknown-content-type"; }

  // Chromium 21: the file's size, as the file system said.
  uint32_t endAtNewStream(const PageCalls&, uint32_t size) const override { return size; }

  // Chromium 21: the whole file in one NPP_Write, an ordinary writable buffer (no plug-in
  // process, so no shared memory); a refused write again after 10 ms.
  DeliveryEnd deliver(PageCalls& page, PageObject* o, size_t size) const override {
    return deliverInChunks(page, o, size, {false, 10, ChunkMemory::Writable, false});
  }

  // Chromium 21: NPP_SetWindow with a NULL window, then NPP_Destroy(npp, &save), for each
  // instance as the browser's window is destroyed; NP_Shutdown and the unload follow.
  void tearDown(PageCalls& page, PageObject* o, bool created) const override {
    if (created) page.setWindow(o, true);
    page.destroy(o, false);
  }
};

const ChromiumInProcessHabits HABITS;

}  // namespace

const BrowserFamilyRules CHROMIUM_IN_PROCESS_RULES = {
    .family = BrowserFamily::Chromium,
    .name = "chromium",
    .browsers = "the embedded engine of Chromium 21, plug-ins in the browser's process",
    // Chromium 21 (plugin_list_win.cc, as in Chromium 39): each MozillaPlugins key's Path,
    // HKCU and HKLM as one sorted set; np*.dll in a plugins folder beside the program.
    .pathUse = PathUse::File,
    .order = RegistryOrder::SortedPaths,
    .foldersTakeAnyDll = false,
    .versionBlock = VersionBlock::FirstTranslation,
    .needsProductAndDescription = false,
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    .shutdownOptional = false,
    // Chromium 21: NP_GetEntryPoints got size 80 (19 entries on i686), version 0;
    // NP_Initialize a table of size 224 (55 entries), version 27.
    .tableEntries = 19,
    .tableVersion = 0,
    .browserTableEntries = 55,
    .browserTableVersion = 27,
    .habits = &HABITS,
    .inProcess = nullptr,
};
