/*
 * kelvora_link.h: what the Kelvora browser plug-in (ZUROV.DLL) sends to the client
 * application's link window, and what it reads back.
 *
 * C89, also accepted by C++. Every message is a WM_COPYDATA sent to the client's window of
 * class KELVORA_LINK_WINDOW_CLASS: the code travels in wParam, the instance's identifier in
 * COPYDATASTRUCT.dwData, the payload in lpData/cbData (lpData null when cbData is 0). The
 * payload is valid only while the window procedure runs: copy what you keep, and hand it to
 * another thread (docs/client-integration.md, "Rules for clients").
 *
 * The plug-in itself is built on this header, so the two cannot drift apart.
 */
#ifndef KELVORA_LINK_H
#define KELVORA_LINK_H

#include <stddef.h>

/* Fixed widths without <stdint.h> (C89): int is 32 bits on every Windows compiler. The
   checks at the end of this file fail to compile anywhere these widths are wrong. */
typedef unsigned int LinkU32;
typedef int LinkI32;
typedef unsigned short LinkU16;

/* The window class of the client's link window: one top-level window (not message-only). */
#define KELVORA_LINK_WINDOW_CLASS "KelvoraLink"
/* Appended, after a space, to the client's launch command when the plug-in starts it. A copy
   started with it while another copy runs must not create a second link window: it passes
   anything else on its command line to the running copy and exits. */
#define KELVORA_LINK_SWITCH "/$l"
/* How long the plug-in waits for the link window after starting the client. A window that
   comes later finds the page already told "Unable to locate Kelvora Application!". */
#define KELVORA_LAUNCH_WAIT_MS 10000
/* How long the plug-in waits for each message's window procedure to return. A thread that
   has not read its messages for 5 s counts as hung: messages to it then fail at once. */
#define KELVORA_SEND_TIMEOUT_MS 5500

/* Message codes, in wParam. */
typedef enum LinkMessageCode {
  LINKMSG_NEW = 1000,         /* LinkRecord, dwData 0; the reply is read (LINK_REPLY_...) */
  LINKMSG_DESTROY = 1010,     /* no payload; the identifier is free again after it */
  LINKMSG_SET_WINDOW = 1020,  /* WindowRecord; window 0: stop using the window lent before */
  LINKMSG_PAINT = 1060,       /* no payload; the lent window is about to paint */
  LINKMSG_STREAM_INFO = 1100, /* LinkRecord, updated from a link file's header */
  LINKMSG_STREAM_DATA = 1110  /* the link file's bytes, bytes 14-15 swapped; any length */
} LinkMessageCode;

/* The client's 16-bit name for an instance, handed out in the reply to LINKMSG_NEW and
   carried in dwData of every later message. 0 to 0xFFFE; unique among the instances the
   client has not seen LINKMSG_DESTROY for, whichever browser or process they live in. */
typedef LinkU16 LinkIdentifier;
#define LINK_ID_NONE 0xFFFFu /* names no instance: never hand it out */

/* Replies to LINKMSG_NEW (the window procedure's return value). Every other message: 0. */
#define LINK_REPLY_ACCEPT(id) (((LinkU32)(LinkU16)(id)) << 16) /* low word 0 */
#define LINK_REPLY_REFUSE 1u /* lack of resources: the object fails, nothing more is sent */
/* Any other low word is read as "accepted without an identifier": every later message of
   that object then carries LINK_ID_NONE, and the client cannot tell such objects apart. */

/* How the plug-in reads a reply to LINKMSG_NEW (the macros read `reply` more than once). */
typedef enum NewLinkReplyKind {
  NEW_LINK_ACCEPTED,           /* low word 0: the high word is the identifier */
  NEW_LINK_REFUSED,            /* low word 1; also identifier LINK_ID_NONE with low word 0 */
  NEW_LINK_ACCEPTED_WITHOUT_ID /* anything else: the object keeps LINK_ID_NONE */
} NewLinkReplyKind;
#define LINK_REPLY_IDENTIFIER(reply) ((LinkIdentifier)(((LinkU32)(reply) >> 16) & 0xFFFFu))
#define LINK_REPLY_KIND(reply)                                                            \
  (((LinkU32)(reply) & 0xFFFFu) == 0u                                                     \
       ? (LINK_REPLY_IDENTIFIER(reply) != LINK_ID_NONE ? NEW_LINK_ACCEPTED : NEW_LINK_REFUSED) \
       : ((LinkU32)(reply) & 0xFFFFu) == 1u ? NEW_LINK_REFUSED : NEW_LINK_ACCEPTED_WITHOUT_ID)

/* LinkRecord.flags bits; all others are 0. */
#define LF_PLAY_NOW 0x00000001u      /* "PlayNow" or "AutoStart" begins with Y or T */
#define LF_LIVE 0x00000002u          /* "Live" begins with Y, or the link's path is __LIVE__ */
#define LF_FULL_SCREEN 0x00000004u   /* "FullScreen" begins with Y */
#define LF_NO_AUDIO 0x00000008u      /* "Audio" begins with F or N */
#define LF_NO_VIDEO 0x00000010u      /* "Video" begins with F or N */
#define LF_NO_CONTROL 0x00000040u    /* "ShowControl" F or N, or the link file says so */
#define LF_EMBED_CONTROL 0x00010000u /* the object is a control panel ("Function") */
#define LF_CTL_VIEWER 0x00020000u
#define LF_CTL_VOLUME 0x00040000u
#define LF_CTL_SLIDER 0x00180000u /* two bits, always set together */
#define LF_CTL_PLAY 0x00200000u
#define LF_CTL_STOP 0x00400000u
#define LF_CTL_PLAYSTOP 0x00800000u
/* The control set of an object whose attributes name no link at all. */
#define LF_DEFAULT_CONTROLS \
  (LF_EMBED_CONTROL | LF_CTL_PLAYSTOP | LF_CTL_SLIDER | LF_CTL_VIEWER | LF_CTL_VOLUME)

#define LINK_DEFAULT_PORT 1558

#pragma pack(push, 1)

/* Payload of LINKMSG_NEW and LINKMSG_STREAM_INFO: 238 bytes, little-endian, no padding.
   Texts are in the ANSI code page of the browser's session (the client's too, when both run
   for the same user), NUL-terminated within their field: read up to the NUL only. A page's
   value that code page cannot hold, or that does not fit, is left out: the field keeps its
   default (empty), and the object is still created. */
typedef struct LinkRecord {
  char streamName[80];   /* stream name or path; empty for a selection or a live stream */
  LinkU32 flags;         /* LF_ bits */
  LinkI32 reserved;      /* always 0 */
  char server[120];      /* host name or dotted IPv4 address; empty when none was given */
  LinkU16 port;          /* LINK_DEFAULT_PORT unless the page gave one in 0 to 65535 */
  LinkI32 selection;     /* selection number on the server; 0 = none; may be negative */
  LinkU32 threadHandle;  /* always 0xFFFFFFFE: GetCurrentThread()'s pseudo-handle, which
                            names the calling thread only inside the browser: ignore it */
  LinkI32 tag;           /* the page's "Tag" or "Instance"; -1 when not given */
  unsigned char spare[16]; /* always 0 */
} LinkRecord;

/* Payload of LINKMSG_SET_WINDOW: 20 bytes. */
typedef struct WindowRecord {
  LinkU32 window; /* the lent window's handle (32 bits also from a 64-bit browser); 0: the
                     object has no window now, stop using the one lent before */
  LinkU32 x;      /* always 0: read the position and size from the window itself */
  LinkU32 y;      /* always 0 */
  LinkU32 width;  /* always 0 */
  LinkU32 height; /* always 0 */
} WindowRecord;

#pragma pack(pop)

/* Layout checks that work in C and C++: an array of negative size does not compile. */
#define KELVORA_LINK_CHECK(name, condition) typedef char kelvora_link_check_##name[(condition) ? 1 : -1]
KELVORA_LINK_CHECK(u32, sizeof(LinkU32) == 4);
KELVORA_LINK_CHECK(u16, sizeof(LinkU16) == 2);
KELVORA_LINK_CHECK(link_record, sizeof(LinkRecord) == 238);
KELVORA_LINK_CHECK(stream_name, offsetof(LinkRecord, streamName) == 0);
KELVORA_LINK_CHECK(flags, offsetof(LinkRecord, flags) == 80);
KELVORA_LINK_CHECK(reserved, offsetof(LinkRecord, reserved) == 84);
KELVORA_LINK_CHECK(server, offsetof(LinkRecord, server) == 88);
KELVORA_LINK_CHECK(port, offsetof(LinkRecord, port) == 208);
KELVORA_LINK_CHECK(selection, offsetof(LinkRecord, selection) == 210);
KELVORA_LINK_CHECK(thread_handle, offsetof(LinkRecord, threadHandle) == 214);
KELVORA_LINK_CHECK(tag, offsetof(LinkRecord, tag) == 218);
KELVORA_LINK_CHECK(spare, offsetof(LinkRecord, spare) == 222);
KELVORA_LINK_CHECK(window_record, sizeof(WindowRecord) == 20);
KELVORA_LINK_CHECK(window, offsetof(WindowRecord, window) == 0);
KELVORA_LINK_CHECK(x, offsetof(WindowRecord, x) == 4);
KELVORA_LINK_CHECK(y, offsetof(WindowRecord, y) == 8);
KELVORA_LINK_CHECK(width, offsetof(WindowRecord, width) == 12);
KELVORA_LINK_CHECK(height, offsetof(WindowRecord, height) == 16);

#endif /* KELVORA_LINK_H */
