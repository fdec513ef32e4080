// The records and codes that travel to the client application in WM_COPYDATA messages.
// Plain data only: this header compiles natively as well as for both Windows targets, and
// the static_asserts pin the wire layout on each of them.
#pragma once

#include <cstddef>
#include <cstdint>

// Message codes; each travels in wParam of WM_COPYDATA.
enum LinkMessageCode : uint32_t {
  LINKMSG_NEW = 1000,          // payload LinkRecord, dwData 0; the reply is used
  LINKMSG_DESTROY = 1010,      // no payload
  LINKMSG_SET_WINDOW = 1020,   // payload WindowRecord
  LINKMSG_PAINT = 1060,        // no payload
  LINKMSG_STREAM_INFO = 1100,  // payload LinkRecord, updated from a link file
  LINKMSG_STREAM_DATA = 1110,  // payload the link file's bytes as delivered
};

// The client application's 16-bit name for an instance.
typedef uint16_t LinkIdentifier;
const LinkIdentifier LINK_ID_NONE = 0xFFFF;

// LinkRecord::flags bits.
const uint32_t LF_PLAY_NOW = 0x00000001;
const uint32_t LF_LIVE = 0x00000002;
const uint32_t LF_FULL_SCREEN = 0x00000004;
const uint32_t LF_NO_AUDIO = 0x00000008;
const uint32_t LF_NO_VIDEO = 0x00000010;
const uint32_t LF_NO_CONTROL = 0x00000040;
const uint32_t LF_EMBED_CONTROL = 0x00010000;
const uint32_t LF_CTL_VIEWER = 0x00020000;
const uint32_t LF_CTL_VOLUME = 0x00040000;
const uint32_t LF_CTL_SLIDER = 0x00180000;  // two bits, always set together
const uint32_t LF_CTL_PLAY = 0x00200000;
const uint32_t LF_CTL_STOP = 0x00400000;
const uint32_t LF_CTL_PLAYSTOP = 0x00800000;
// The control set an object gets when its attributes name no link at all.
const uint32_t LF_DEFAULT_CONTROLS =
    LF_EMBED_CONTROL | LF_CTL_PLAYSTOP | LF_CTL_SLIDER | LF_CTL_VIEWER | LF_CTL_VOLUME;

const uint16_t LINK_DEFAULT_PORT = 1558;

#pragma pack(push, 1)

// The 238-byte description of one embedded object. Packed, little-endian,
// strings NUL-terminated within their fields.
struct LinkRecord {
  char streamName[80];    // empty when a selection number or a live stream is meant
  uint32_t flags;         // LF_ bits
  int32_t reserved;       // always 0
  char server[120];       // host name or dotted IPv4 address
  uint16_t port;          // LINK_DEFAULT_PORT unless given
  int32_t selection;      // 0 = none
  uint32_t threadHandle;  // GetCurrentThread() of the creating browser thread
  int32_t tag;            // "Tag"/"Instance" attribute; -1 when not given
  uint8_t spare[16];      // never written by the module
};

// The plug-in window lent to the client application; position and size are not passed.
struct WindowRecord {
  uint32_t window;
  uint32_t x;
  uint32_t y;
  uint32_t width;
  uint32_t height;
};

#pragma pack(pop)

static_assert(sizeof(LinkRecord) == 238, "LinkRecord is 238 bytes");
static_assert(offsetof(LinkRecord, streamName) == 0, "LinkRecord::streamName");
static_assert(offsetof(LinkRecord, flags) == 80, "LinkRecord::flags");
static_assert(offsetof(LinkRecord, reserved) == 84, "LinkRecord::reserved");
static_assert(offsetof(LinkRecord, server) == 88, "LinkRecord::server");
static_assert(offsetof(LinkRecord, port) == 208, "LinkRecord::port");
static_assert(offsetof(LinkRecord, selection) == 210, "LinkRecord::selection");
static_assert(offsetof(LinkRecord, threadHandle) == 214, "LinkRecord::threadHandle");
static_assert(offsetof(LinkRecord, tag) == 218, "LinkRecord::tag");
static_assert(offsetof(LinkRecord, spare) == 222, "LinkRecord::spare");

static_assert(sizeof(WindowRecord) == 20, "WindowRecord is 20 bytes");
static_assert(offsetof(WindowRecord, window) == 0, "WindowRecord::window");
static_assert(offsetof(WindowRecord, x) == 4, "WindowRecord::x");
static_assert(offsetof(WindowRecord, y) == 8, "WindowRecord::y");
static_assert(offsetof(WindowRecord, width) == 12, "WindowRecord::width");
static_assert(offsetof(WindowRecord, height) == 16, "WindowRecord::height");

// What the 32-bit reply to LINKMSG_NEW means.
enum NewLinkReplyKind {
  NEW_LINK_ACCEPTED,            // low 16 bits 0: the high 16 bits are the LinkIdentifier
  NEW_LINK_REFUSED,             // low 16 bits 1: refused for lack of resources; also
                                // identifier 0xFFFF, the value that names no instance
  NEW_LINK_ACCEPTED_WITHOUT_ID  // anything else: accepted, no identifier
};

inline NewLinkReplyKind newLinkReplyKind(uint32_t reply) {
  switch (reply & 0xFFFFu) {
    case 0: return (reply >> 16) != LINK_ID_NONE ? NEW_LINK_ACCEPTED : NEW_LINK_REFUSED;
    case 1: return NEW_LINK_REFUSED;
    default: return NEW_LINK_ACCEPTED_WITHOUT_ID;
  }
}

inline LinkIdentifier newLinkReplyIdentifier(uint32_t reply) {
  return static_cast<LinkIdentifier>(reply >> 16);
}
