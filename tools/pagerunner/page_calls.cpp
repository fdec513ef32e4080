#include "tools/pagerunner/page_calls.h"

#include <cstring>

#include "tools/pagerunner/browser_window.h"
#include "tools/pagerunner/call_log.h"
#include "tools/pagerunner/page_source.h"
#include "tools/pagerunner/page_window.h"
#include "tools/pagerunner/run_report.h"

namespace {

// Stream types beyond those the module's header declares.
const uint16_t STREAM_AS_FILE = 3;
const uint16_t STREAM_AS_FILE_ONLY = 4;
const size_t MAX_LINK_FILE = 16u << 20;  // a link file is a few dozen bytes

std::string argumentList(const PageObject& o) {
  std::string out = "{";
  for (size_t i = 0; i < o.args.size(); ++i) {
    if (i) out += ", ";
    out += o.args[i].name + "=" + (o.args[i].nullValue ? std::string("NULL") : quotedText(o.args[i].value));
  }
  return out + "}";
}

CallWatch* hookWatch = nullptr;
HHOOK messageFilterHook = nullptr;

LRESULT CALLBACK messageFilterProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && hookWatch) hookWatch->messageFilterCalled(GetTickCount());
  return CallNextHookEx(messageFilterHook, code, wParam, lParam);
}

}  // namespace

char mimeType[] = "application/x-kvla";

WatchedCall::WatchedCall(CallWatch* watch, const char* call, int object)
    : watch_(watch), name_(object ? "[" + std::to_string(object) + "] " + call : std::string(call)) {
  if (watch_) watch_->callStarted(call, GetTickCount());
}

void WatchedCall::end() {
  if (!watch_) return;
  bool fails = false;
  std::string lines = watch_->callEnded(name_, GetTickCount(), &fails);
  for (size_t at = 0; at < lines.size();) {
    size_t end = lines.find('\n', at);
    if (end == std::string::npos) end = lines.size();
    say("%s", lines.substr(at, end - at).c_str());
    at = end + 1;
  }
  if (fails) noteOutcome(EXIT_CALL_FAILED);
}

void installMessageFilterHook(CallWatch* watch) {
  hookWatch = watch;
  messageFilterHook = SetWindowsHookExA(WH_MSGFILTER, messageFilterProc, nullptr, GetCurrentThreadId());
}

void removeMessageFilterHook() {
  if (messageFilterHook) UnhookWindowsHookEx(messageFilterHook);
  messageFilterHook = nullptr;
  hookWatch = nullptr;
}

bool Page::newInstance(PageObject* o, bool emptySavedData) {
  int16_t argc = static_cast<int16_t>(o->args.size());
  o->newCalled = true;
  NPSavedData empty = {0, nullptr};
  WatchedCall watched(watch_, "NPP_New", o->number);
  NPError rc = f_.newp(mimeType, &o->npp, o->fullPage ? NP_FULL : NP_EMBED, argc, o->argn.data(),
                       o->argv.data(), emptySavedData ? &empty : nullptr);
  watched.end();
  ::say("[%d] NPP_New(\"%s\", npp%d, %s, argc=%d, %s, saved=%s) = %s", o->number, mimeType,
      o->number, o->fullPage ? "NP_FULL" : "NP_EMBED", argc, argumentList(*o).c_str(),
      emptySavedData ? "{len=0, buf=NULL}" : "NULL", npErrorText(rc).c_str());
  if (rc != NPERR_NO_ERROR) noteOutcome(EXIT_CALL_FAILED);
  return rc == NPERR_NO_ERROR;
}

bool Page::setWindow(PageObject* o, bool nullWindow) {
  if (!f_.setwindow) return false;
  HWND window = nullWindow ? nullptr : o->window;
  NPWindow w = {};
  w.window = window;
  w.x = o->x;
  w.y = o->y;
  w.width = static_cast<uint32_t>(o->width);
  w.height = static_cast<uint32_t>(o->height);
  w.clipRect.right = static_cast<uint16_t>(o->width);
  w.clipRect.bottom = static_cast<uint16_t>(o->height);
  w.type = NPWindowTypeWindow;
  WatchedCall watched(watch_, "NPP_SetWindow", o->number);
  NPError rc = f_.setwindow(&o->npp, &w);
  watched.end();
  ::say("[%d] NPP_SetWindow(npp%d, {window=%s (%s), x=%d, y=%d, width=%d, height=%d}) = %s",
      o->number, o->number, window ? hwndText(window).c_str() : "NULL",
      opt_.ansiWindows ? "ANSI" : "Unicode", o->x, o->y, o->width, o->height,
      npErrorText(rc).c_str());
  if (rc != NPERR_NO_ERROR) noteOutcome(EXIT_CALL_FAILED);
  return true;
}

void Page::moveWindowByOnePixel(PageObject* o) {
  ++o->x;
  ++o->y;
  MoveWindow(o->window, o->x, o->y, o->width, o->height, FALSE);
}

void Page::placeWindowInPage(PageObject* o) {
  SetParent(o->window, o->page);
  MoveWindow(o->window, o->x, o->y, o->width, o->height, FALSE);
  ShowWindow(o->window, SW_SHOWNA);
  ::say("[%d] window %s moved from the desktop into the page at %d,%d, %dx%d, shown", o->number,
        hwndText(o->window).c_str(), o->x, o->y, o->width, o->height);
}

// The browser's procedure over the module's (browser_window.cpp).
void Page::subclassWindow(PageObject* o) {
  LONG_PTR replaced = subclassPluginWindow(o->window);
  if (replaced)
    ::say("[%d] browser procedure installed over %s", o->number,
        hex(static_cast<uintptr_t>(replaced)).c_str());
}

void Page::unsubclassWindow(PageObject* o) {
  SubclassUndone undone = undoPluginWindowSubclass(o->window);
  if (undone == SubclassUndone::Restored) ::say("[%d] browser procedure removed", o->number);
  if (undone == SubclassUndone::LeftInPlace)
    ::say("[%d] browser procedure no longer on top: left in place", o->number);
}

void Page::destroy(PageObject* o, bool withoutSave) {
  NPSavedData* saved = nullptr;
  WatchedCall watched(watch_, "NPP_Destroy", o->number);
  NPError rc = f_.destroy(&o->npp, withoutSave ? nullptr : &saved);
  watched.end();
  ::say("[%d] NPP_Destroy(npp%d, %s) = %s%s", o->number, o->number, withoutSave ? "NULL" : "&save",
      npErrorText(rc).c_str(), saved ? ", saved data returned" : "");
  if (rc != NPERR_NO_ERROR) noteOutcome(EXIT_CALL_FAILED);
}

int32_t Page::writeReady(PageObject* o) {
  WatchedCall watched(watch_, "NPP_WriteReady", o->number);
  int32_t ready = f_.writeready(&o->npp, stream_);
  watched.end();
  ::say("[%d] NPP_WriteReady(npp%d) = %d", o->number, o->number, ready);
  return ready;
}

int32_t Page::write(PageObject* o, size_t offset, int32_t len, ChunkMemory memory) {
  void* buffer = &(*data_)[offset];
  HANDLE mapping = nullptr;
  if (memory == ChunkMemory::ReadOnly) {
    // The bytes in a mapped page of their own, filled through a view that is gone before the
    // call: the module sees only a PAGE_READONLY view.
    DWORD bytes = static_cast<DWORD>(len > 0 ? len : 1);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, nullptr);
    void* fill = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, bytes) : nullptr;
    buffer = fill ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytes) : nullptr;
    if (fill) {
      memcpy(fill, &(*data_)[offset], static_cast<size_t>(len));
      UnmapViewOfFile(fill);
    }
    if (!buffer) {
      complain("load error: [" + std::to_string(o->number) + "] cannot map a read-only page (" +
               systemErrorText(GetLastError()) + ")");
      if (mapping) CloseHandle(mapping);
      noteOutcome(EXIT_LOAD_ERROR);
      return -1;
    }
  }
  WatchedCall watched(watch_, "NPP_Write", o->number);
  int32_t taken = f_.write(&o->npp, stream_, static_cast<int32_t>(offset), len, buffer);
  watched.end();
  if (mapping) {
    UnmapViewOfFile(buffer);
    CloseHandle(mapping);
  }
  if (opt_.streamEnd == StreamEndPlay::Known)
    ::say("[%d] NPP_Write(npp%d, offset=%u, len=%d) = %d", o->number, o->number,
          static_cast<unsigned>(offset), len, taken);
  else
    ::say("[%d] NPP_Write(npp%d, offset=%u, len=%d, end=%u) = %d", o->number, o->number,
          static_cast<unsigned>(offset), len, stream_->end, taken);
  return taken;
}

void Page::setStreamEnd(PageObject*, uint32_t end) { stream_->end = end; }

void Page::say(PageObject* o, const std::string& line) {
  ::say("[%d] %s", o->number, line.c_str());
}
void Page::pumpMessages(uint32_t ms) { ::pumpMessages(ms); }
bool Page::pageClosed() const { return ::pageClosed(); }
uint32_t Page::milliseconds() const { return GetTickCount(); }
void Page::sleep(uint32_t ms) { Sleep(ms); }

// NPP_NewStream, the family's delivery, NPP_StreamAsFile when asked for, NPP_DestroyStream.
void Page::streamLinkFile(PageObject* o, const std::string& path) {
  std::vector<char> data;
  if (!readFile(path, &data, MAX_LINK_FILE)) {
    // As in a browser: a download that fails before its first byte means no stream, and
    // the page plays on.
    ::say("[%d] link file %s cannot be read: no stream", o->number, path.c_str());
    return;
  }
  if (!f_.newstream || !f_.writeready || !f_.write || !f_.destroystream) {
    ::say("[%d] link file %s not streamed: the module has no stream entry points", o->number,
          path.c_str());
    noteOutcome(EXIT_CALL_FAILED);
    return;
  }
  std::string url = fileUrlForPath(path);
  NPStream stream = {};
  stream.url = url.c_str();
  stream.end = habits_.endAtNewStream(*this, static_cast<uint32_t>(data.size()));
  uint16_t stype = NP_NORMAL;
  std::string type = habits_.streamType();
  WatchedCall watched(watch_, "NPP_NewStream", o->number);
  NPError rc = f_.newstream(&o->npp, &type[0], &stream, 0, &stype);
  watched.end();
  ::say("[%d] NPP_NewStream(npp%d, \"%s\", {url=%s, end=%u}, seekable=0) = %s, stype=%s",
        o->number, o->number, type.c_str(), quotedText(url).c_str(), stream.end,
        npErrorText(rc).c_str(), streamTypeName(stype));
  if (rc != NPERR_NO_ERROR) {
    noteOutcome(EXIT_CALL_FAILED);
    return;
  }
  stream_ = &stream;
  data_ = &data;
  DeliveryEnd end = {REASON_DONE, false};
  if (stype != STREAM_AS_FILE_ONLY) end = habits_.deliver(*this, o, data.size());
  stream_ = nullptr;
  data_ = nullptr;
  if (end.moduleAtFault) noteOutcome(EXIT_CALL_FAILED);
  NPReason reason = end.reason;
  if (reason == REASON_DONE && (stype == STREAM_AS_FILE || stype == STREAM_AS_FILE_ONLY) &&
      f_.asfile) {
    f_.asfile(&o->npp, &stream, path.c_str());
    ::say("[%d] NPP_StreamAsFile(npp%d, %s)", o->number, o->number, quotedText(path).c_str());
  }
  WatchedCall destroying(watch_, "NPP_DestroyStream", o->number);
  rc = f_.destroystream(&o->npp, &stream, reason);
  destroying.end();
  ::say("[%d] NPP_DestroyStream(npp%d, %s) = %s", o->number, o->number, npReasonName(reason),
        npErrorText(rc).c_str());
  if (rc != NPERR_NO_ERROR) noteOutcome(EXIT_CALL_FAILED);
}
