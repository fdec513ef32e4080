// The chromium family played in process (--browser=chromium --in-process): the embedded
// engine of Chromium 21 (its version 1.1180, i686), which runs NPAPI plug-ins inside the
// browser's own process, on its UI thread, with WebKit's plug-in code: no plug-in process,
// no hang detector, and a fault in the module ends the browser. It finds, loads and calls
// the module as Chromium 39 does (browser_chromium.cpp), from WebKit code the two share:
// <param>s before attributes, no instance under display:none, the link file's messages after
// every object's LINKMSG_NEW and window, the file's size as the stream's end, a NULL window
// right before NPP_Destroy(npp, &save). What differs is below. Each habit was seen in that
// engine under 32-bit Wine (tests/real_browser32 plays the demo in it and compares).
#include "tools/pagerunner/browser_chromium.h"
#include "tools/pagerunner/browser_family.h"

namespace {

class ChromiumInProcessHabits final : public ChromiumHabits {
 public:
  // Chromium 21: the whole file in one NPP_Write, an ordinary writable buffer (no plug-in
  // process, so no shared memory).
  constexpr ChromiumInProcessHabits() : ChromiumHabits(ChunkMemory::Writable) {}

  // Chromium 21: the window a child of the page where it is laid out, from the first
  // NPP_SetWindow on.
  bool windowsStartOnDesktop() const override { return false; }

  // Chromium 21 creates a page's plug-ins in an order of its own, not the document's, and
  // not the same from one run to the next (the demo page's <object> came before <embed>s
  // written earlier, once second, once first); its teardown too. pagerunner plays one such
  // order, the same every time: the <object>s first.
  bool objectElementsFirst() const override { return true; }

  // Chromium 21: a file: link file of an extension it does not know comes with this type.
  const char* streamType() const override { return "application/x-unknown-content-type"; }
};

const ChromiumInProcessHabits HABITS;

// Chromium 21 finds the module as Chromium 39 does (plugin_list_win.cc: each MozillaPlugins
// key's Path, HKCU and HKLM as one sorted set; np*.dll in a plugins folder beside the
// program) and looks up the same entry points; its tables differ.
BrowserFamilyRules inProcessRules() {
  BrowserFamilyRules rules = CHROMIUM_RULES;
  rules.browsers = "the embedded engine of Chromium 21, plug-ins in the browser's process";
  // Chromium 21: NP_GetEntryPoints got size 80 (19 entries on i686), version 0;
  // NP_Initialize a table of size 224 (55 entries), version 27.
  rules.tableEntries = 19;
  rules.browserTableEntries = 55;
  rules.browserTableVersion = 27;
  rules.habits = &HABITS;
  rules.inProcess = nullptr;
  return rules;
}

}  // namespace

const BrowserFamilyRules CHROMIUM_IN_PROCESS_RULES = inProcessRules();
