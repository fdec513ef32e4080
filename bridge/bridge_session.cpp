#include "bridge/bridge_session.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

BridgeObject* findObject(BridgeSession& session, uint32_t id) {
  for (BridgeObject& o : session.objects)
    if (o.id == id) return &o;
  return nullptr;
}

void reply(BridgeSession& session, const std::string& message) { session.system.write(message); }

void createObject(BridgeSession& session, const BridgeRequest& request) {
  if (findObject(session, request.id) != nullptr) {
    reply(session, errorReply(request.id, "object exists"));
    return;
  }
  BridgeObject* object = findObject(session, 0);
  if (object == nullptr) {
    reply(session, newReply(request.id, "full", -1));
    return;
  }
  // Claimed before the client is reached: a message that arrives meanwhile sees the id.
  *object = BridgeObject();
  object->id = request.id;

  std::vector<const char*> names, values;
  for (const auto& a : request.attributes) {
    names.push_back(a.first.c_str());
    values.push_back(a.second.c_str());
  }
  // Re-entry: reaching the client may show the find-client dialog or wait for the client's
  // window, and sends wait for its answers, dispatching this thread's messages: only paints
  // of other objects run then (frames are read by the main loop alone), and this entry is not
  // created yet, so it gets none.
  LinkObjectOutcome outcome =
      createLinkObject(*object, session.system.link, static_cast<int16_t>(names.size()),
                       names.data(), values.data(), session.system.threadHandle);
  if (outcome != LINK_OBJECT_CREATED) {
    if (outcome != LINK_OBJECT_GONE) *object = BridgeObject();
    reply(session, newReply(request.id, outcome == LINK_OBJECT_REFUSED ? "refused" : "no-client", -1));
    return;
  }
  session.clientGoneTold = false;
  object->reportedAt = session.system.now();
  // The page hears the client's answer first; making a window costs more than the answer
  // (the window system's round trips), and the page's next message waits for this one anyway.
  reply(session, newReply(request.id, "accepted",
                          object->linkId == LINK_ID_NONE ? -1 : object->linkId));
  object->hwnd = session.system.createWindow(request.id);
  if (object->hwnd != nullptr) announceLinkWindow(*object, session.system.link);
}

// The client hears that the window is taken back before it goes, then that the link ends.
void destroyObject(BridgeSession& session, BridgeObject* object) {
  LinkObjectEnd end = endLinkObject(*object);
  *object = BridgeObject();
  if (end.window != nullptr) {
    withdrawLinkWindow(end, session.system.link);
    session.system.destroyWindow(end.window);
  }
  tellLinkObjectEnded(end, session.system.link);
}

void streamObject(BridgeSession& session, BridgeObject* object, const BridgeRequest& request) {
  const unsigned char* chunk = request.bytes.data();
  size_t length = request.bytes.size();
  HeldLinkFileHeader& held = object->held;
  LinkFileStart start = takeLinkFileChunk(session.system.link, &held, chunk, length, request.offset);
  if (start.action == LINK_CHUNK_HOLD) holdLinkFileChunk(held, chunk, length, request.offset);
  // A header still cut short when its file ends is never sent.
  if (start.action != LINK_CHUNK_HOLD || request.end) held.length = 0;
  forwardLinkFileStart(*object, session.system.link, start);
}

void placeObject(BridgeSession& session, BridgeObject& object) {
  session.system.placeWindow(object.hwnd, object.box, object.clip, object.visible && !object.lapsed);
}

void placeReported(BridgeSession& session, BridgeObject& object, const BridgeRequest& request) {
  object.placed = true;
  object.box = request.box;
  object.clip = request.clip;
  object.visible = request.visible;
  object.reportedAt = session.system.now();
  object.lapsed = false;
  if (object.hwnd != nullptr) placeObject(session, object);
}

// A lease renews the objects it names that this host holds; it names no one object, so an
// unknown id is no error. A lapsed window shows again where its last `window` put it.
bool renewLeases(BridgeSession& session, const std::string& text) {
  std::vector<uint32_t> ids;
  const char* reason = parseBridgeLease(text, &ids);
  if (reason != nullptr && std::strcmp(reason, "not a lease") == 0) return false;
  if (reason != nullptr) reply(session, errorReply(0, reason));
  for (uint32_t id : ids) {
    BridgeObject* object = findObject(session, id);
    if (object == nullptr || !object->created) continue;
    object->reportedAt = session.system.now();
    if (!object->lapsed) continue;
    object->lapsed = false;
    if (object->placed && object->visible && object->hwnd != nullptr) placeObject(session, *object);
  }
  return true;
}

// The messages about the host and the client rather than an object; false for any other.
bool answerQuery(BridgeSession& session, const std::string& text) {
  BridgeQueryKind kind = parseBridgeQuery(text);
  if (kind == BRIDGE_NOT_A_QUERY) return false;
  if (kind == BRIDGE_HELLO) {
    reply(session, helloReply(ZUROV_PRODUCT_VERSION));
    return true;
  }
  // Re-entry: reaching the client may show the find-client dialog and wait, dispatching this
  // thread's messages: only object windows' paints run then, never a frame.
  const char* result = kind == BRIDGE_FIND_CLIENT ? session.system.client.reach() : nullptr;
  BridgeClientStatus status = {};
  session.system.client.status(&status);
  reply(session, clientStatusReply(result ? "find-client" : "client-status", result, status));
  return true;
}

}  // namespace

bool bridgeLeaseLapsed(uint32_t reportedAt, uint32_t now) {
  return static_cast<uint32_t>(now - reportedAt) > BRIDGE_LEASE_MS;
}

void expireBridgeLeases(BridgeSession& session) {
  uint32_t now = session.system.now();
  for (BridgeObject& o : session.objects) {
    if (o.id == 0 || !o.created || o.lapsed || !bridgeLeaseLapsed(o.reportedAt, now)) continue;
    o.lapsed = true;
    if (o.placed && o.visible && o.hwnd != nullptr) placeObject(session, o);
  }
}

void* bridgeMemory(void* memory, size_t length) {
  if (memory == nullptr) return std::malloc(length);
  std::free(memory);
  return nullptr;
}

void handleBridgeFrame(BridgeSession& session, const NativeFrame& frame) {
  if (frame.tooLong) {
    reply(session, errorReply(0, "message too long"));
    return;
  }
  if (answerQuery(session, frame.body)) return;
  BridgeRequest request;
  uint32_t id = 0;
  if (const char* reason = parseBridgeRequest(frame.body, &request, &id)) {
    bool unknown = std::strcmp(reason, "unknown type") == 0;
    if (unknown && renewLeases(session, frame.body)) return;
    reply(session, unknown ? unknownTypeReply(id, frame.body) : errorReply(id, reason));
    return;
  }
  if (request.kind == BRIDGE_NEW) {
    createObject(session, request);
    return;
  }
  BridgeObject* object = findObject(session, request.id);
  if (object == nullptr || !object->created) {
    reply(session, errorReply(request.id, "no such object"));
    return;
  }
  switch (request.kind) {
    case BRIDGE_WINDOW:
      placeReported(session, *object, request);
      break;
    case BRIDGE_STREAM:
      streamObject(session, object, request);
      break;
    case BRIDGE_DESTROY:
      destroyObject(session, object);
      break;
    case BRIDGE_NEW:
      break;
  }
}

void paintBridgeObject(BridgeSession& session, uint32_t id) {
  BridgeObject* object = findObject(session, id);
  // Re-entry: the notice dispatches this thread's messages; a WM_PAINT of the same window
  // sent back meanwhile finds its notice out and gets none.
  if (object != nullptr && id != 0) paintLinkObject(*object, session.system.link, object->hwnd);
}

void checkBridgeClient(BridgeSession& session) {
  if (session.clientGoneTold) return;
  for (const BridgeObject& o : session.objects) {
    if (o.id == 0 || !o.created || session.system.clientAlive(o.linkWindow)) continue;
    session.clientGoneTold = true;
    reply(session, noticeMessage("client-gone"));
    return;
  }
}

void endBridgeSession(BridgeSession& session) {
  for (BridgeObject& o : session.objects)
    if (o.id != 0 && o.created) destroyObject(session, &o);
}

size_t bridgeObjectCount(const BridgeSession& session) {
  size_t count = 0;
  for (const BridgeObject& o : session.objects)
    if (o.id != 0) ++count;
  return count;
}
