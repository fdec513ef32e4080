// Chromium, while it ran NPAPI plug-ins (Chromium and Chrome up to 44), the plug-in in its
// own process. Its rules (how it finds and loads the module) and its habits (how it calls
// it), whole. --in-process plays the embedded engine of Chromium 21 instead, whose plug-ins
// run in the browser's process (browser_chromium_in_process.cpp, which takes these habits
// and overrides what differs). What Chromium 39 was seen to do comes from the real
// browser's suite (tests/real_browser) and pages tried in it.
#include "tools/pagerunner/browser_chromium.h"

#include "tools/pagerunner/browser_family.h"

// Chromium 39 (HTMLObjectElement::parametersForPlugin): an <object>'s <param>s first, names
// as written, then the attributes no <param> names, so a <param> wins over an attribute of
// the same name; no separator. An <embed>'s attributes, lower-cased.
std::vector<NewArgument> ChromiumHabits::newArguments(const KvlaObject& object) const {
  return paramsThenAttributes(object);
}

// NPP_New with NULL saved data, then NPP_SetWindow once; Chromium leaves the plug-in
// window's procedure alone. A window lent on the desktop is moved into the page, sized and
// shown only after that NPP_SetWindow.
bool ChromiumHabits::create(PageCalls& page, PageObject* o) const {
  if (!page.newInstance(o, false)) return false;
  page.setWindow(o, false);
  if (windowsStartOnDesktop()) page.placeWindowInPage(o);
  return true;
}

// Chromium 39 lends the window still hidden, a child of the desktop and 300x150.
bool ChromiumHabits::windowsStartOnDesktop() const { return true; }

// Chromium 39 asks for an object's data only once the page's every object exists: the link
// file's messages follow the last LINKMSG_NEW (seen in the real browser's suite).
bool ChromiumHabits::streamsAfterEveryObject() const { return true; }

// Chromium 39: an object under display:none gets no instance.
bool ChromiumHabits::hiddenObjectsSkipped() const { return true; }

// The file's size as the stream's end (BrowserHabits). At most what NPP_WriteReady allowed; a
// refused write again after 10 ms. NPP_Write gets the bytes in a read-only mapped page: by default ("direct NPAPI requests") Chromium's plug-in
// process hands over its shared-memory buffer (PAGE_READONLY, MEM_MAPPED).
DeliveryEnd ChromiumHabits::deliver(PageCalls& page, PageObject* o, size_t size) const {
  return deliverInChunks(page, o, size, {false, 10, memory_, false});
}

// NPP_SetWindow with a NULL window right before NPP_Destroy(npp, &save), which also comes for
// an instance whose NPP_New failed.
void ChromiumHabits::tearDown(PageCalls& page, PageObject* o, bool created) const {
  if (created) page.setWindow(o, true);
  page.destroy(o, false);
}

namespace {
const ChromiumHabits HABITS(ChunkMemory::ReadOnly);
}  // namespace

const BrowserFamilyRules CHROMIUM_RULES = {
    .family = BrowserFamily::Chromium,
    .name = "chromium",
    .browsers = "Chromium and Chrome up to version 44",
    // The file each MozillaPlugins key's Path names, HKCU and HKLM gathered into one sorted
    // set of paths (plugin_list_win.cc).
    .pathUse = PathUse::File,
    .order = RegistryOrder::SortedPaths,
    .foldersTakeAnyDll = false,
    // The block the first \VarFileInfo\Translation entry names; none: not a plug-in.
    .versionBlock = VersionBlock::FirstTranslation,
    .needsProductAndDescription = false,
    .lookups = {{"NP_GetEntryPoints", nullptr}, {"NP_Initialize", nullptr}, {"NP_Shutdown", nullptr}},
    .shutdownOptional = false,  // all three entry points required
    .tableEntries = 20,
    .tableVersion = 0,
    .browserTableEntries = 0,
    .browserTableVersion = 0,
    .habits = &HABITS,
    .inProcess = &CHROMIUM_IN_PROCESS_RULES,
};
