// The page's side of the calls a family's habits make (PageCalls): each call reaches the
// module, is printed with its arguments and result, and a failed one sets the exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin/npapi.h"
#include "tools/pagerunner/browser_habits.h"
#include "tools/pagerunner/pagerunner_options.h"

const int DEFAULT_WIDTH = 320;
const int DEFAULT_HEIGHT = 60;

extern char mimeType[];  // application/x-kvla

struct PageObject {
  int number = 0;  // 1-based, document order (a frame's objects after the page's own)
  HtmlStartTag embed;  // the <embed> or <object>
  std::string pagePath;  // the page or frame it is in, where its link file is looked up
  bool fullPage = false;  // the page is the link file itself (NP_FULL)
  bool hidden = false;    // under display:none
  HWND page = nullptr;    // the page's window, where the object is laid out
  std::vector<NewArgument> args;  // argn/argv as the family passes them; own the texts
  std::vector<char*> argn, argv;
  NPP_t npp = {};
  HWND window = nullptr;
  int x = 0, y = 0, width = DEFAULT_WIDTH, height = DEFAULT_HEIGHT;
  bool newCalled = false;
  bool created = false;  // NPP_New succeeded
};

// One call into the module under the family's watch (none: nothing happens): started on
// construction; end() prints what the watch says and notes a failure.
class WatchedCall {
 public:
  // `call`: its name (NPP_New, ...); `object`: the object's number, 0 for none.
  WatchedCall(CallWatch* watch, const char* call, int object);
  void end();

 private:
  CallWatch* watch_;
  std::string name_;  // as printed: "[n] NPP_New"
};

// A thread WH_MSGFILTER hook that tells `watch` of every call with a code >= 0, as the
// plug-in host process of an out-of-process browser installs one; and its removal.
void installMessageFilterHook(CallWatch* watch);
void removeMessageFilterHook();

class Page final : public PageCalls {
 public:
  Page(const PageRunnerOptions& opt, const NPPluginFuncs& funcs, const BrowserHabits& habits,
       CallWatch* watch)
      : opt_(opt), f_(funcs), habits_(habits), watch_(watch) {}

  const PageRunnerOptions& options() const override { return opt_; }
  bool newInstance(PageObject* o, bool emptySavedData) override;
  bool setWindow(PageObject* o, bool nullWindow) override;
  void moveWindowByOnePixel(PageObject* o) override;
  void placeWindowInPage(PageObject* o) override;
  void subclassWindow(PageObject* o) override;
  void destroy(PageObject* o, bool withoutSave) override;
  int32_t writeReady(PageObject* o) override;
  int32_t write(PageObject* o, size_t offset, int32_t len, ChunkMemory memory) override;
  void setStreamEnd(PageObject* o, uint32_t end) override;
  void say(PageObject* o, const std::string& line) override;
  void pumpMessages(uint32_t ms) override;
  bool pageClosed() const override;
  uint32_t milliseconds() const override;
  void sleep(uint32_t ms) override;

  // NPP_NewStream, the family's delivery, NPP_StreamAsFile when asked for, NPP_DestroyStream.
  void streamLinkFile(PageObject* o, const std::string& path);
  // At teardown: the browser's procedure taken off the object's window, if it is still on top.
  void unsubclassWindow(PageObject* o);

 private:
  const PageRunnerOptions& opt_;
  const NPPluginFuncs& f_;
  const BrowserHabits& habits_;
  CallWatch* watch_;  // null: the family keeps no watch over calls
  NPStream* stream_ = nullptr;         // the stream being delivered
  std::vector<char>* data_ = nullptr;  // its file's bytes
};
