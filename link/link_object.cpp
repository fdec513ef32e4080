#include "link/link_object.h"

namespace {

uint32_t lastSerial;  // 2^32 creations in one process are out of reach

}  // namespace

LinkObjectOutcome createLinkObject(LinkObject& object, const LinkObjectCalls& calls, int16_t argc,
                                   const char* const* argn, const char* const* argv,
                                   uint32_t threadHandle) {
  uint32_t serial = ++lastSerial;
  object.serial = serial;
  object.created = 0;
  object.linkId = LINK_ID_NONE;
  object.linkWindow = nullptr;

  // Re-entry: the object may end (and another creation take it) inside; its serial tells.
  void* client = calls.reachClient();
  if (object.serial != serial) return LINK_OBJECT_GONE;
  if (client == nullptr) return LINK_OBJECT_NO_CLIENT;
  object.linkSpecified = buildLinkRecord(object.link, argc, argn, argv, threadHandle, calls.toAnsi);

  // The link window chosen now is the object's for good: identifiers belong to the client
  // that gave them. Re-entry: as above; only copies are used until the serial is checked.
  uint32_t reply = 0;
  bool delivered = calls.send(client, LINKMSG_NEW, &object.link, sizeof object.link, 0, &reply);
  NewLinkReplyKind kind = newLinkReplyKind(reply);
  if (object.serial != serial) {
    // The client application must not keep an orphan link.
    if (delivered && kind == NEW_LINK_ACCEPTED)
      calls.send(client, LINKMSG_DESTROY, nullptr, 0, newLinkReplyIdentifier(reply), nullptr);
    return LINK_OBJECT_GONE;
  }
  // Nothing answered (window gone, client hung or too slow, message refused): no reply to
  // read an identifier from, as without a client.
  if (!delivered) return LINK_OBJECT_NO_CLIENT;
  if (kind == NEW_LINK_REFUSED) return LINK_OBJECT_REFUSED;
  if (kind == NEW_LINK_ACCEPTED) object.linkId = newLinkReplyIdentifier(reply);
  object.linkWindow = client;
  object.created = 1;
  if (object.hwnd != nullptr) announceLinkWindow(object, calls);
  return LINK_OBJECT_CREATED;
}

void announceLinkWindow(const LinkObject& object, const LinkObjectCalls& calls) {
  // Handles are 32 bits on the wire. Delivered or not, the object stays as it is: a client
  // that missed it cannot be told again. Re-entry: nothing is read after the send.
  WindowRecord record = {};
  record.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object.hwnd));
  calls.send(object.linkWindow, LINKMSG_SET_WINDOW, &record, sizeof record, object.linkId,
             nullptr);
}

void paintLinkObject(LinkObject& object, const LinkObjectCalls& calls, void* window) {
  // A WM_PAINT sent back while the notice is out goes on to be painted without one. An
  // undelivered notice still lets the window be painted. Re-entry: the faces' objects live
  // in fixed tables, so the mark is put back in place even if the object ended meanwhile.
  if (object.created == 0 || object.paintWindow == window) return;
  void* outer = object.paintWindow;
  object.paintWindow = window;
  calls.send(object.linkWindow, LINKMSG_PAINT, nullptr, 0, object.linkId, nullptr);
  object.paintWindow = outer;
}

LinkFileStart takeLinkFileChunk(const LinkObjectCalls& calls, const HeldLinkFileHeader* held,
                                const unsigned char* chunk, size_t length, uint32_t offset) {
  LinkFileStart start = {planLinkFileChunk(held, chunk, length, offset), nullptr, 0};
  if (start.action == LINK_CHUNK_APPLY || start.action == LINK_CHUNK_COMPLETE) {
    // The face's own copy: the header is swapped in place, and the face's buffer may be
    // read-only.
    start.length = linkFileStartLength(start.action, held, length);
    start.bytes = static_cast<unsigned char*>(calls.memory(nullptr, start.length));
    if (start.bytes != nullptr) copyLinkFileStart(start.bytes, start.action, held, chunk, length);
  }
  return start;
}

void forwardLinkFileStart(LinkObject& object, const LinkObjectCalls& calls,
                          const LinkFileStart& start) {
  if (start.bytes == nullptr) return;
  if (applyLinkFileHeader(object.link, start.bytes, start.length)) {
    // Re-entry: after the first send only the copies and the start are used, and the data
    // goes only to an object that still lives.
    uint32_t serial = object.serial;
    void* client = object.linkWindow;
    LinkIdentifier linkId = object.linkId;
    calls.send(client, LINKMSG_STREAM_INFO, &object.link, sizeof object.link, linkId, nullptr);
    if (object.serial == serial)
      calls.send(client, LINKMSG_STREAM_DATA, start.bytes, static_cast<uint32_t>(start.length),
                 linkId, nullptr);
  }
  // Consumed whether or not the client took it: it would only be sent again to the same one.
  calls.memory(start.bytes, 0);
}

// Re-entry, here and below: the object has ended; only the copies in `end` are used.
void withdrawLinkWindow(const LinkObjectEnd& end, const LinkObjectCalls& calls) {
  WindowRecord none = {};
  calls.send(end.client, LINKMSG_SET_WINDOW, &none, sizeof none, end.linkId, nullptr);
}

void tellLinkObjectEnded(const LinkObjectEnd& end, const LinkObjectCalls& calls) {
  if (end.announced != 0)
    calls.send(end.client, LINKMSG_DESTROY, nullptr, 0, end.linkId, nullptr);
}
