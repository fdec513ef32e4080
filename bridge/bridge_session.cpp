#include "bridge/bridge_session.h"

#include <cstring>
#include <vector>

namespace {

BridgeObject* findObject(BridgeSession& session, uint32_t id) {
  for (BridgeObject& o : session.objects)
    if (o.id == id) return &o;
  return nullptr;
}

void reply(BridgeSession& session, const std::string& message) {
  session.system.write(session.system.context, message);
}

bool send(BridgeSession& session, void* client, LinkMessageCode code, const void* payload,
          uint32_t length, LinkIdentifier linkId, uint32_t* answer = nullptr) {
  uint32_t ignored = 0;
  return session.system.send(session.system.context, client, code, payload, length, linkId,
                             answer != nullptr ? answer : &ignored);
}

WindowRecord windowRecord(void* window) {
  WindowRecord record = {};
  // Window handles are 32 bits wide in every Windows process.
  record.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
  return record;
}

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
  object->linkId = LINK_ID_NONE;

  std::vector<const char*> names, values;
  for (const auto& a : request.attributes) {
    names.push_back(a.first.c_str());
    values.push_back(a.second.c_str());
  }
  buildLinkRecord(object->link, static_cast<int16_t>(names.size()), names.data(), values.data(),
                  session.system.threadHandle, session.system.toAnsi);

  // Re-entry: reaching the client may show the find-client dialog or wait for the client's
  // window, dispatching this thread's messages: only paints of other objects run then (frames
  // are read by the main loop alone), and this entry is not created yet, so it gets none.
  void* client = session.system.reachClient(session.system.context);
  uint32_t answer = 0;
  bool delivered = client != nullptr &&
                   send(session, client, LINKMSG_NEW, &object->link, sizeof object->link, 0, &answer);
  NewLinkReplyKind kind = newLinkReplyKind(answer);
  if (!delivered || kind == NEW_LINK_REFUSED) {
    *object = BridgeObject();
    reply(session, newReply(request.id, delivered ? "refused" : "no-client", -1));
    return;
  }
  if (kind == NEW_LINK_ACCEPTED) object->linkId = newLinkReplyIdentifier(answer);
  object->client = client;
  object->created = true;
  session.clientGoneTold = false;
  // The page hears the client's answer first; making a window costs more than the answer
  // (the window system's round trips), and the page's next message waits for this one anyway.
  reply(session, newReply(request.id, "accepted",
                          object->linkId == LINK_ID_NONE ? -1 : object->linkId));
  object->window = session.system.createWindow(session.system.context, request.id);
  if (object->window != nullptr) {
    WindowRecord record = windowRecord(object->window);
    send(session, client, LINKMSG_SET_WINDOW, &record, sizeof record, object->linkId);
  }
}

// The client hears that the window is taken back before it goes, then that the link ends.
void destroyObject(BridgeSession& session, BridgeObject* object) {
  BridgeObject gone = *object;
  *object = BridgeObject();
  if (gone.window != nullptr) {
    WindowRecord none = windowRecord(nullptr);
    send(session, gone.client, LINKMSG_SET_WINDOW, &none, sizeof none, gone.linkId);
    session.system.destroyWindow(session.system.context, gone.window);
  }
  send(session, gone.client, LINKMSG_DESTROY, nullptr, 0, gone.linkId);
}

void streamObject(BridgeSession& session, BridgeObject* object, const BridgeRequest& request) {
  const unsigned char* chunk = request.bytes.data();
  size_t length = request.bytes.size();
  HeldLinkFileHeader& held = object->held;
  LinkFileChunkAction action = planLinkFileChunk(&held, chunk, length, request.offset);
  if (action == LINK_CHUNK_HOLD) {
    holdLinkFileChunk(held, chunk, length, request.offset);
  } else if (action != LINK_CHUNK_CONSUME) {
    std::vector<unsigned char> file(linkFileStartLength(action, &held, length));
    copyLinkFileStart(file.data(), action, &held, chunk, length);
    held.length = 0;
    if (applyLinkFileHeader(object->link, file.data(), file.size())) {
      // Sends run only paints in between (see createObject): the entry stays this object's.
      send(session, object->client, LINKMSG_STREAM_INFO, &object->link, sizeof object->link,
           object->linkId);
      send(session, object->client, LINKMSG_STREAM_DATA, file.data(),
           static_cast<uint32_t>(file.size()), object->linkId);
    }
  } else {
    held.length = 0;
  }
  // A header still cut short when its file ends is never sent.
  if (request.end) held.length = 0;
}

}  // namespace

void handleBridgeFrame(BridgeSession& session, const NativeFrame& frame) {
  if (frame.tooLong) {
    reply(session, errorReply(0, "message too long"));
    return;
  }
  BridgeRequest request;
  uint32_t id = 0;
  if (const char* reason = parseBridgeRequest(frame.body, &request, &id)) {
    reply(session, errorReply(id, reason));
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
      if (object->window != nullptr)
        session.system.placeWindow(session.system.context, object->window, request.box,
                                   request.clip, request.visible);
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
  if (object == nullptr || id == 0 || !object->created) return;
  send(session, object->client, LINKMSG_PAINT, nullptr, 0, object->linkId);
}

void checkBridgeClient(BridgeSession& session) {
  if (session.clientGoneTold) return;
  for (const BridgeObject& o : session.objects) {
    if (o.id == 0 || !o.created || session.system.clientAlive(session.system.context, o.client))
      continue;
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
