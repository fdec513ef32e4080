// Gecko: Firefox 3.6 to 52 ESR, SeaMonkey, and the UXP browsers (Pale Moon, Basilisk), the
// plug-in run out of process as 52 and UXP do (--in-process: in the browser's own process,
// as K-Meleon runs it). Its rules (how it finds and loads the module) and its habits (how it
// calls it, and the hang clock it runs over each synchronous call), whole.
#include "tools/pagerunner/browser_gecko.h"

#include <cstdio>

#include "tools/pagerunner/browser_family.h"
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

  // Each synchronous call runs under the hang clock (out of process), or holds the browser's
  // own thread (in process).
  CallWatch* callWatch(const PageRunnerOptions& opt) const override {
    static GeckoHangClock clock(opt.inProcess, opt.firefoxHangTimeout);
    return &clock;
  }
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
    .browserTableEntries = 0,
    .browserTableVersion = 0,
    .habits = &HABITS,
    .inProcess = nullptr,
};

// ---- The hang clock ---------------------------------------------------------------------

namespace {

std::string seconds(uint32_t ms) {
  char text[32];
  snprintf(text, sizeof text, "%u.%u s", ms / 1000, ms % 1000 / 100);
  return text;
}

}  // namespace

GeckoHangClock::GeckoHangClock(bool inProcess, bool firefox)
    : inProcess_(inProcess), firefox_(firefox) {}

// The calls the browser makes synchronously, waiting for the plug-in process's answer; stream
// data (NPP_WriteReady, NPP_Write, NPP_DestroyStream) goes over asynchronously.
void GeckoHangClock::callStarted(const std::string& call, uint32_t ms) {
  static const char* const SYNCHRONOUS[] = {"NP_Initialize", "NP_Shutdown", "NPP_New",
                                            "NPP_SetWindow", "NPP_NewStream", "NPP_Destroy"};
  inCall_ = false;
  for (const char* name : SYNCHRONOUS) inCall_ = inCall_ || call == name;
  if (!inCall_) return;
  start_ = restart_ = ms;
  stopped_ = false;
  dialogAt_ = longestRun_ = 0;
}

void GeckoHangClock::endRun(uint32_t ms) {
  uint32_t run = ms - restart_;
  if (run > longestRun_) longestRun_ = run;
  if (run >= HANG_DIALOG_MS && dialogAt_ == 0) dialogAt_ = restart_ - start_ + HANG_DIALOG_MS;
}

// Any call from the plug-in into the browser starts the clock afresh.
void GeckoHangClock::browserCalled(uint32_t ms) {
  if (!inCall_ || stopped_) return;
  endRun(ms);
  restart_ = ms;
}

// The plug-in's thread entered a modal loop: the plug-in process tells the browser
// (ProcessNativeEventsInInterruptCall), which stops the clock for the rest of the call and
// dispatches its own messages again.
void GeckoHangClock::messageFilterCalled(uint32_t ms) {
  if (!inCall_ || stopped_ || inProcess_) return;
  endRun(ms);
  stopped_ = true;
  stoppedAt_ = ms - start_;
  ++stoppedCalls_;
}

std::string GeckoHangClock::callEnded(const std::string& name, uint32_t ms, bool* fails) {
  *fails = false;
  if (!inCall_) return "";
  inCall_ = false;
  if (!stopped_) endRun(ms);
  uint32_t took = ms - start_;
  uint32_t clock = inProcess_ ? took : longestRun_;
  if (took > longestCall_ || longestName_.empty()) {
    longestCall_ = took;
    longestClock_ = clock;
    longestName_ = name;
  }
  if (inProcess_) return "";
  std::string lines;
  if (stopped_)
    lines = name + ": the browser's hang clock stopped at " + std::to_string(stoppedAt_) +
            " ms (WH_MSGFILTER)";
  if (dialogAt_ == 0) return lines;
  ++dialogs_;
  *fails = true;
  uint32_t killAfter = firefox_ ? FIREFOX_KILL_AFTER_MS : PALE_MOON_KILL_AFTER_MS;
  uint32_t killAt = dialogAt_ + killAfter;
  bool killed = longestRun_ >= HANG_DIALOG_MS + killAfter;
  if (!lines.empty()) lines += "\n";
  return lines + name + ": the browser's plug-in hang dialog would have shown at " +
         seconds(dialogAt_) + " (the call took " + seconds(took) + "); " +
         (firefox_ ? "Firefox 52 and Basilisk " : "Pale Moon ") +
         (killed ? "would have killed" : firefox_ ? "kill" : "kills") + " the plug-in at " +
         seconds(killAt);
}

std::string GeckoHangClock::summary() const {
  std::string longest = longestName_.empty() ? std::string("none")
                                             : longestName_ + ", " + std::to_string(longestCall_) + " ms";
  if (inProcess_)
    return "gecko in process (K-Meleon): no hang clock; the longest synchronous call held the "
           "browser's thread: " + longest;
  return std::string("gecko hang clock (") + (firefox_ ? "Firefox 52, Basilisk: 45 s" : "Pale Moon: 20 s") +
         " after the dialog): longest synchronous call " + longest + ", " +
         std::to_string(longestClock_) + " ms on the clock; " + std::to_string(stoppedCalls_) +
         " call(s) stopped by WH_MSGFILTER; hang dialog " +
         (dialogs_ ? "shown " + std::to_string(dialogs_) + " time(s)" : std::string("never shown"));
}

std::string geckoFileNameSkip(const std::string& name) {
  if (!namedNpDll(name)) return "not named np*.dll";
  if (name.size() < 7) return "name shorter than 7 characters";
  std::string lowered = asciiLowerCase(name);
  if (lowered.compare(0, 5, "npoji") == 0 || lowered.compare(0, 6, "npjava") == 0)
    return "a Java plug-in name (npoji*, npjava*)";
  return "";
}
