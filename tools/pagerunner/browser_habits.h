// A browser family's call habits as code: how it builds NPP_New's argn/argv, when it calls
// NPP_SetWindow and with what, how it delivers a stream, and how it tears an object down.
// Each family's file (browser_gecko.cpp, ...) implements BrowserHabits beside its rules;
// pagerunner calls it, and the habits call the module through PageCalls. Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/npapi.h"
#include "tools/pagerunner/html_embeds.h"

struct PageObject;  // pagerunner's: one object of the page, its instance and its window
struct PageRunnerOptions;

// The memory a family hands NPP_Write.
enum class ChunkMemory {
  Writable,  // ordinary heap
  ReadOnly,  // a mapped page with PAGE_READONLY, as Chromium's shared buffer
};

// How a stream's delivery ended.
struct DeliveryEnd {
  NPReason reason;     // for NPP_DestroyStream
  bool moduleAtFault;  // the module failed it (not the browser or the network)
};

// One argn/argv pair of NPP_New; `nullValue`: argv is NULL.
struct NewArgument {
  std::string name;
  std::string value;
  bool nullValue = false;
};

// pagerunner's side: each call reaches the module, is printed with its arguments and result,
// and a failed one is noted for the exit code.
class PageCalls {
 public:
  virtual const PageRunnerOptions& options() const = 0;
  // NPP_New with the object's arguments; `emptySavedData`: a non-NULL NPSavedData of length
  // 0, else NULL. Returns whether it succeeded.
  virtual bool newInstance(PageObject* o, bool emptySavedData) = 0;
  // NPP_SetWindow with the object's window or NULL; false, with no call, when the module has
  // no NPP_SetWindow.
  virtual bool setWindow(PageObject* o, bool nullWindow) = 0;
  virtual void moveWindowByOnePixel(PageObject* o) = 0;  // right and down
  // A window made on the desktop put where the page lays the object out, and shown.
  virtual void placeWindowInPage(PageObject* o) = 0;
  virtual void subclassWindow(PageObject* o) = 0;  // the browser's procedure over the module's
  virtual void destroy(PageObject* o, bool withoutSave) = 0;  // NPP_Destroy(npp, NULL or &save)
  // The object's stream being delivered: NPP_WriteReady, NPP_Write of `len` bytes of the
  // file from `offset` in memory of that kind, and a new end for the stream.
  virtual int32_t writeReady(PageObject* o) = 0;
  virtual int32_t write(PageObject* o, size_t offset, int32_t len, ChunkMemory memory) = 0;
  virtual void setStreamEnd(PageObject* o, uint32_t end) = 0;
  virtual void say(PageObject* o, const std::string& line) = 0;  // printed as "[n] line"
  // Dispatches this thread's messages; with `ms` > 0 for that long or until the page closes.
  virtual void pumpMessages(uint32_t ms) = 0;
  virtual bool pageClosed() const = 0;
  virtual uint32_t milliseconds() const = 0;  // a clock: the system's tick count
  virtual void sleep(uint32_t ms) = 0;

 protected:
  ~PageCalls() = default;
};

// A browser's watch over each synchronous call into the plug-in (Gecko's hang clock). Times
// are the system's tick count in milliseconds.
class CallWatch {
 public:
  virtual bool wantsMessageFilterHook() const = 0;  // a thread WH_MSGFILTER hook before NP_Initialize
  // A call into the module (NP_Initialize, NPP_New, ...) starts; the watch times those it
  // knows as synchronous.
  virtual void callStarted(const std::string& call, uint32_t ms) = 0;
  virtual void browserCalled(uint32_t ms) = 0;        // an NPN_ call from the plug-in
  virtual void messageFilterCalled(uint32_t ms) = 0;  // WH_MSGFILTER, code >= 0, calling thread
  // The call returned (`name`: as printed): lines to print about it (empty: none); `fails`
  // set when the browser would have shown its hang dialog.
  virtual std::string callEnded(const std::string& name, uint32_t ms, bool* fails) = 0;
  virtual std::string summary() const = 0;  // printed at the page's end

 protected:
  ~CallWatch() = default;
};

class BrowserHabits {
 public:
  // The browser's watch over synchronous calls; null when it keeps none.
  virtual CallWatch* callWatch(const PageRunnerOptions&) const { return nullptr; }
  // argn/argv for NPP_New from the element's attributes and <param>s.
  virtual std::vector<NewArgument> newArguments(const KvlaObject& object) const = 0;
  // NPP_New and the NPP_SetWindow calls that follow it; false when NPP_New failed.
  virtual bool create(PageCalls& page, PageObject* o) const = 0;
  // Whether the page's streams start only once every object exists; else each object's
  // right after it was created. An object without a type has its stream at once either way:
  // the browser learns what to create from that very download.
  virtual bool streamsAfterEveryObject() const { return false; }
  // Whether the <object> elements are created before the <embed> elements, each kind in
  // document order; else all in document order.
  virtual bool objectElementsFirst() const { return false; }
  // Whether an object under display:none gets no instance (the browser creates plug-ins
  // only for laid-out elements).
  virtual bool hiddenObjectsSkipped() const { return false; }
  // Whether the object's window is made hidden, a child of the desktop and 300x150, and
  // placed in the page (parent, place, size, shown) only after the first NPP_SetWindow.
  virtual bool windowsStartOnDesktop() const { return false; }
  // The MIME type NPP_NewStream gets for a local link file.
  virtual const char* streamType() const { return KVLA_MIME_TYPE; }
  // The stream's end at NPP_NewStream for a file of `size` bytes: the file's size, as the
  // server said, unless the family says otherwise.
  virtual uint32_t endAtNewStream(const PageCalls&, uint32_t size) const { return size; }
  // NPP_WriteReady and NPP_Write over the object's stream of `size` bytes, after
  // NPP_NewStream; says how it ended. Unless the family says otherwise: at most what
  // NPP_WriteReady allowed, in ordinary heap; a refused write again after 10 ms.
  virtual DeliveryEnd deliver(PageCalls& page, PageObject* o, size_t size) const;
  // At the page's end, for an object whose NPP_New was called (`created`: it succeeded).
  virtual void tearDown(PageCalls& page, PageObject* o, bool created) const = 0;

 protected:
  ~BrowserHabits() = default;
};

// Stream reasons beyond those the module's header declares.
const NPReason REASON_DONE = 0;
const NPReason REASON_NETWORK_ERROR = 1;
const NPReason REASON_USER_BREAK = 2;

// ---- Pieces the families build their habits from --------------------------------------

// The element's attributes with names folded to lower case (values as UTF-8, as the page's
// text was decoded), in document order.
std::vector<NewArgument> attributesLowerCased(const HtmlStartTag& element);

// The <param>s after a "PARAM" entry with a NULL value (none when there are no <param>s).
void addParamsAfterSeparator(const KvlaObject& object, std::vector<NewArgument>* args);

// The <param>s whose name no attribute of the element has, names as written.
void addParamsNotNamedByAttributes(const KvlaObject& object, std::vector<NewArgument>* args);

// An <object>'s <param>s first, names as written, then its attributes (names lower-cased)
// that no <param> names, letters compared without case: a <param> wins over an attribute.
// An <embed>'s attributes, names lower-cased.
std::vector<NewArgument> paramsThenAttributes(const KvlaObject& object);

// How a family hands a stream's bytes to NPP_Write.
struct ChunkHabit {
  // Each chunk as it came from the network, whatever NPP_WriteReady allowed, and never joined
  // with the bytes behind it; else at most what NPP_WriteReady allowed of all that arrived.
  bool chunksAlone;
  uint32_t refusedAgainMs;  // after NPP_Write took nothing, the same bytes again after this
  ChunkMemory memory;
  bool raisesEnd;  // the stream's end raised to what has arrived before each NPP_Write
};

// NPP_WriteReady/NPP_Write until the stream's `size` bytes are taken. The network gives them
// in chunks of --chunk bytes, one more for each NPP_Write (all at once by default), and breaks
// after --network-error-after bytes: once those are taken, or refused with nothing more to
// come, the stream ends with NPRES_NETWORK_ERR. A module that stays not ready is
// given up after 20 tries; bytes it keeps refusing, once the page has been open for its time
// (--keep-open, else 1 s) or is closed.
DeliveryEnd deliverInChunks(PageCalls& page, PageObject* o, size_t size, const ChunkHabit& habit);
