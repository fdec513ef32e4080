/*
 * A sample Kelvora client application: the link side only, to start a client from.
 *
 * - One copy per session. A copy started with /$l while another runs leaves the page to
 *   that copy and exits, before it opens any window.
 * - The link window exists before anything slow, and its window procedure only checks and
 *   copies: every payload goes to the worker thread, so the plug-in's sends (and the
 *   browser, which waits for each) never wait for the client's work.
 * - The worker thread pumps messages and owns one child window per lent window, drawn with
 *   its own drawing context; it reads the lent window's size again at every
 *   LINKMSG_SET_WINDOW and LINKMSG_PAINT. Window 0 means "stop using the window".
 *
 * With KELVORA_SAMPLE_LOG set, the worker writes to that file "ready" once the link window
 * exists, then one line per event and one per drawing of a child window ("drew").
 * Build: cc -I include examples/client/kelvora_client.c -luser32 -lgdi32 (C89 and later).
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelvora_link.h"

#define MAX_OBJECTS 256                 /* live objects at once; more are refused */
#define MAX_STREAM_DATA 0x100000UL /* the plug-in sends at most some 32 KB at a time */
#define VIEW_CLASS "KelvoraSampleView"

/* One message, copied, on its way from the link window to the worker. */
typedef struct Work {
  struct Work *next;
  UINT code;           /* a LINKMSG_ code; 0 tells the worker to end */
  LinkIdentifier id;
  DWORD length;
  unsigned char data[1]; /* `length` bytes */
} Work;

/* One object, as the worker keeps it. */
typedef struct Object {
  int used;
  LinkIdentifier id;
  LinkRecord record;
  HWND lent;  /* the window the plug-in lent, or 0 */
  HWND child; /* our window inside it, or 0 */
} Object;

static CRITICAL_SECTION queueLock;
static Work *queueHead, *queueTail;
static HANDLE queueEvent;

/* The link window's thread only. */
static unsigned char idInUse[0x10000 / 8];
static unsigned int liveIds;
static LinkIdentifier nextId = 1;

/* The worker only. */
static Object objects[MAX_OBJECTS];
static FILE *logFile;

static int idTaken(ULONG_PTR id) { return id < LINK_ID_NONE && (idInUse[id >> 3] & (1 << (id & 7))); }

/* The next identifier not in use, never LINK_ID_NONE; 0 when the table is full. */
static int takeId(LinkIdentifier *id)
{
  if (liveIds >= MAX_OBJECTS) return 0;
  while (idTaken(nextId) || nextId == LINK_ID_NONE)
    nextId = (LinkIdentifier)(nextId == LINK_ID_NONE ? 0 : nextId + 1);
  *id = nextId++;
  idInUse[*id >> 3] |= (unsigned char)(1 << (*id & 7));
  ++liveIds;
  return 1;
}

static void releaseId(LinkIdentifier id)
{
  idInUse[id >> 3] &= (unsigned char)~(1 << (id & 7));
  --liveIds;
}

/* Copies a payload onto the worker's queue; 0 when there is no memory for it. */
static int post(UINT code, LinkIdentifier id, const void *data, DWORD length)
{
  Work *work = (Work *)malloc(sizeof(Work) + length);
  if (!work) return 0;
  work->next = NULL;
  work->code = code;
  work->id = id;
  work->length = length;
  if (length) memcpy(work->data, data, length);
  EnterCriticalSection(&queueLock);
  if (code == LINKMSG_PAINT && queueTail && queueTail->code == code && queueTail->id == id) {
    free(work); /* a storm of paints for one object is one paint */
  } else {
    if (queueTail) queueTail->next = work; else queueHead = work;
    queueTail = work;
  }
  LeaveCriticalSection(&queueLock);
  SetEvent(queueEvent);
  return 1;
}

static int terminated(const char *text, size_t size) { return memchr(text, 0, size) != NULL; }

/* The payload length each code must have: -1 for any length up to MAX_STREAM_DATA. */
static long expectedLength(WPARAM code)
{
  switch (code) {
  case LINKMSG_NEW: case LINKMSG_STREAM_INFO: return sizeof(LinkRecord);
  case LINKMSG_SET_WINDOW: return sizeof(WindowRecord);
  case LINKMSG_DESTROY: case LINKMSG_PAINT: return 0;
  case LINKMSG_STREAM_DATA: return -1;
  }
  return -2;
}

/* Runs on the link window's thread: check, copy, hand over, reply. Nothing here waits. */
static LRESULT onLinkMessage(WPARAM code, const COPYDATASTRUCT *cds)
{
  long expected = expectedLength(code);
  LinkIdentifier id = 0;
  if (!cds || expected == -2) return 0;
  if (expected == -1 ? (cds->cbData == 0 || cds->cbData > MAX_STREAM_DATA)
                     : cds->cbData != (DWORD)expected)
    return code == LINKMSG_NEW ? LINK_REPLY_REFUSE : 0;
  if (cds->cbData && !cds->lpData) return code == LINKMSG_NEW ? LINK_REPLY_REFUSE : 0;
  if (code == LINKMSG_NEW || code == LINKMSG_STREAM_INFO) {
    const LinkRecord *r = (const LinkRecord *)cds->lpData;
    if (!terminated(r->streamName, sizeof r->streamName) || !terminated(r->server, sizeof r->server))
      return code == LINKMSG_NEW ? LINK_REPLY_REFUSE : 0;
  }
  if (code == LINKMSG_NEW) {
    if (!takeId(&id)) return LINK_REPLY_REFUSE;
    if (!post((UINT)code, id, cds->lpData, cds->cbData)) {
      releaseId(id);
      return LINK_REPLY_REFUSE;
    }
    return LINK_REPLY_ACCEPT(id);
  }
  if (!idTaken(cds->dwData)) return 0; /* not an object of ours */
  id = (LinkIdentifier)cds->dwData;
  /* A DESTROY the worker never hears of keeps its identifier taken. */
  if (post((UINT)code, id, cds->lpData, cds->cbData) && code == LINKMSG_DESTROY) releaseId(id);
  return 0;
}

static void note(const char *event, const Object *o)
{
  RECT in, out;
  if (!logFile) return;
  SetRectEmpty(&in);
  SetRectEmpty(&out);
  if (o->child) GetClientRect(o->child, &in);
  if (o->lent) GetClientRect(o->lent, &out);
  /* visible: the child's own flag; lent-visible: whether the browser shows the lent window. */
  fprintf(logFile, "%s id=%u lent=%lx child=%lx parent=%lx visible=%d size=%ldx%ld lent-size=%ldx%ld lent-visible=%d\n",
          event, (unsigned)o->id, (unsigned long)(ULONG_PTR)o->lent, (unsigned long)(ULONG_PTR)o->child,
          (unsigned long)(ULONG_PTR)(o->child ? GetParent(o->child) : 0),
          o->child ? (GetWindowLongA(o->child, GWL_STYLE) & WS_VISIBLE) != 0 : 0, (long)in.right,
          (long)in.bottom, (long)out.right, (long)out.bottom, o->lent ? IsWindowVisible(o->lent) != 0 : 0);
  fflush(logFile);
}

/* Our child window takes the lent window's whole client area, read afresh each time. */
static void follow(Object *o)
{
  RECT lent, child;
  if (o->child && !IsWindow(o->child)) o->child = NULL; /* gone with its parent */
  if (!o->child || !GetClientRect(o->lent, &lent)) return;
  GetClientRect(o->child, &child);
  if (child.right != lent.right || child.bottom != lent.bottom)
    SetWindowPos(o->child, NULL, 0, 0, lent.right, lent.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(o->child, NULL, TRUE);
}

/* Stops using the lent window: our child leaves it. */
static void letGo(Object *o)
{
  HWND child = o->child;
  if (child && IsWindow(child)) DestroyWindow(child);
  if (logFile && o->lent)
    fprintf(logFile, "leave id=%u lent=%lx child-left=%d\n", (unsigned)o->id,
            (unsigned long)(ULONG_PTR)o->lent, !child || !IsWindow(child));
  o->child = NULL;
  o->lent = NULL;
}

static void lend(Object *o, const WindowRecord *w)
{
  /* Handles are 32 bits wide across processes; sign-extended is how Windows widens them. */
  HWND lent = (HWND)(LONG_PTR)(LONG)w->window;
  if (lent != o->lent) letGo(o);
  if (!lent || !IsWindow(lent)) return;
  if (!o->child) {
    /* Born at the lent window's size: never shown empty, never grown in view. */
    RECT area;
    if (!GetClientRect(lent, &area)) SetRectEmpty(&area);
    o->lent = lent;
    o->child = CreateWindowExA(WS_EX_NOPARENTNOTIFY, VIEW_CLASS, "",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, area.right,
                               area.bottom, lent, NULL, GetModuleHandleA(NULL), o);
  }
  follow(o);
  note("window", o);
}

static Object *find(LinkIdentifier id)
{
  int i;
  for (i = 0; i < MAX_OBJECTS; ++i)
    if (objects[i].used && objects[i].id == id) return &objects[i];
  return NULL;
}

static void handle(const Work *w)
{
  Object *o = find(w->id);
  int i;
  if (w->code == LINKMSG_NEW) {
    for (i = 0; i < MAX_OBJECTS && objects[i].used; ++i) {}
    if (i == MAX_OBJECTS) return; /* cannot happen: the link thread counts live ids */
    o = &objects[i];
    memset(o, 0, sizeof *o);
    o->used = 1;
    o->id = w->id;
    memcpy(&o->record, w->data, sizeof o->record);
    if (logFile) fprintf(logFile, "new id=%u server=%s stream=%s\n", (unsigned)o->id, o->record.server, o->record.streamName);
    return;
  }
  if (!o) return;
  switch (w->code) {
  case LINKMSG_SET_WINDOW: lend(o, (const WindowRecord *)w->data); break;
  case LINKMSG_PAINT: follow(o); note("paint", o); break;
  case LINKMSG_STREAM_INFO: memcpy(&o->record, w->data, sizeof o->record); follow(o); break;
  case LINKMSG_STREAM_DATA: if (logFile) fprintf(logFile, "data id=%u bytes=%lu\n", (unsigned)o->id, (unsigned long)w->length); break;
  case LINKMSG_DESTROY:
    letGo(o);
    if (logFile) fprintf(logFile, "destroy id=%u\n", (unsigned)o->id);
    o->used = 0;
    break;
  }
  if (logFile) fflush(logFile);
}

static LRESULT CALLBACK viewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  Object *o = (Object *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
  PAINTSTRUCT ps;
  RECT r;
  switch (msg) {
  case WM_NCCREATE:
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA *)lParam)->lpCreateParams);
    break;
  case WM_PAINT: /* our own window, our own drawing context */
    BeginPaint(hwnd, &ps);
    GetClientRect(hwnd, &r);
    FillRect(ps.hdc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
    SetTextColor(ps.hdc, RGB(0, 200, 0));
    SetBkMode(ps.hdc, TRANSPARENT);
    /* A name, not a label: an '&' in it is drawn, not taken for a mnemonic. */
    if (o) DrawTextA(ps.hdc, o->record.streamName[0] ? o->record.streamName : o->record.server, -1, &r,
                     DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    EndPaint(hwnd, &ps);
    if (o && logFile) {
      fprintf(logFile, "drew id=%u lent=%lx size=%ldx%ld\n", (unsigned)o->id, (unsigned long)(ULONG_PTR)o->lent,
              (long)r.right, (long)r.bottom);
      fflush(logFile);
    }
    return 0;
  case WM_NCDESTROY:
    if (o && o->child == hwnd) o->child = NULL;
    break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

/* The worker: pumps its windows' messages and handles the copied payloads in order. */
static DWORD WINAPI worker(LPVOID unused)
{
  WNDCLASSA wc;
  MSG msg;
  Work *w;
  const char *path = getenv("KELVORA_SAMPLE_LOG");
  (void)unused;
  if (path && *path) logFile = fopen(path, "a");
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = viewProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hCursor = LoadCursor(NULL, IDC_ARROW);
  wc.lpszClassName = VIEW_CLASS;
  RegisterClassA(&wc);
  if (logFile) {
    fputs("ready\n", logFile); /* the link window exists: this thread starts after it */
    fflush(logFile);
  }
  for (;;) {
    MsgWaitForMultipleObjects(1, &queueEvent, FALSE, INFINITE, QS_ALLINPUT);
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    EnterCriticalSection(&queueLock);
    w = queueHead;
    queueHead = queueTail = NULL;
    LeaveCriticalSection(&queueLock);
    while (w) {
      Work *next = w->next;
      if (w->code == 0) {
        if (logFile) fclose(logFile);
        return 0;
      }
      handle(w);
      free(w);
      w = next;
    }
  }
}

static LRESULT CALLBACK linkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (msg == WM_COPYDATA) return onLinkMessage(wParam, (const COPYDATASTRUCT *)lParam);
  if (msg == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
  WNDCLASSA wc;
  HWND link;
  HANDLE thread;
  MSG msg;
  (void)previous;
  (void)commandLine;
  (void)show;
  /* One copy per session: the mutex exists before the link window, so two copies started
     at once cannot both open one. A client that takes files on its command line would pass
     them to the running copy here. */
  CreateMutexA(NULL, FALSE, "Local\\KelvoraSampleClient");
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  InitializeCriticalSection(&queueLock);
  queueEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = linkProc;
  wc.hInstance = instance;
  wc.lpszClassName = KELVORA_LINK_WINDOW_CLASS;
  /* Top-level and hidden: the plug-in cannot see a message-only window. Before anything slow. */
  if (!queueEvent || !RegisterClassA(&wc) ||
      !(link = CreateWindowExA(0, KELVORA_LINK_WINDOW_CLASS, "Kelvora sample client", WS_OVERLAPPED,
                               0, 0, 0, 0, NULL, NULL, instance, NULL)))
    return 1;
  thread = CreateThread(NULL, 0, worker, NULL, 0, NULL);
  if (!thread) return 1;
  /* Whatever else starts slowly (codecs, a network) belongs here or on other threads. */

  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DestroyWindow(link); /* the plug-in stops finding us before we stop answering */
  post(0, 0, NULL, 0);
  WaitForSingleObject(thread, 5000);
  return 0;
}
