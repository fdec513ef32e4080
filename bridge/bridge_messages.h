// The messages between the extension and the host, as JSON texts (docs/bridge.md). Everything
// the extension sends comes from a web page and is checked here before the host acts on it:
// a message that breaks any rule is rejected whole, with the reason for the error reply.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum BridgeRequestKind { BRIDGE_NEW, BRIDGE_WINDOW, BRIDGE_STREAM, BRIDGE_DESTROY };

// Limits on what one message may carry.
const uint32_t BRIDGE_MAX_OBJECT_ID = 0x7FFFFFFF;  // ids are 1 .. 2^31-1
const size_t BRIDGE_MAX_ATTRIBUTES = 256;          // pairs in one "new"
const size_t BRIDGE_MAX_TEXT = 1024;               // bytes of one attribute name or value
const size_t BRIDGE_MAX_CHUNK = 65536;             // bytes of one "stream" chunk
const int32_t BRIDGE_MAX_COORDINATE = 1 << 20;     // |x|, |y|, width and height in pixels
const size_t BRIDGE_MAX_LEASE_IDS = 20;            // ids in one "lease": a connection's objects

// A rectangle in screen pixels.
struct ScreenBox {
  int32_t x, y, width, height;
};

struct BridgeRequest {
  BridgeRequestKind kind;
  uint32_t id;
  // new: the object's attributes, in the order the page gave them
  std::vector<std::pair<std::string, std::string>> attributes;
  // window: the object's box, the part of it in view, and whether it shows at all
  ScreenBox box;
  ScreenBox clip;
  bool visible;
  // stream: bytes of the object's link file from `offset`; `end` after its last chunk (sent as
  // a base64 string, or as an array of numbers by older extensions)
  uint32_t offset;
  std::vector<unsigned char> bytes;
  bool end;
};

// Reads one message. Returns null when `out` holds it; otherwise the reason it was rejected,
// and `*id` is the object it named when that could be read (0 otherwise).
const char* parseBridgeRequest(const std::string& text, BridgeRequest* out, uint32_t* id);

// Reads a "lease": the objects whose pages are shown and still reporting, 1 to
// BRIDGE_MAX_LEASE_IDS valid ids (repeats allowed). A lease names no one object, so it is read
// apart from the requests: parseBridgeRequest calls its type unknown. Returns null when `ids`
// holds them; otherwise the reason, "not a lease" for a message of another type.
const char* parseBridgeLease(const std::string& text, std::vector<uint32_t>* ids);

// The host's messages to the extension.
std::string newReply(uint32_t id, const char* result, int32_t linkId);
std::string errorReply(uint32_t id, const char* reason);
std::string noticeMessage(const char* notice);
