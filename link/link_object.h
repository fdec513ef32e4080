// One Kelvora object's life towards the client application, for the module's instances and
// the host's objects alike: its record from the attribute pairs, LINKMSG_NEW and the reply,
// the window lent (LINKMSG_SET_WINDOW, one LINKMSG_PAINT at a time), its link file (a header
// held until complete, then applied and forwarded), and its end (the null window, when the
// face destroys the window, and LINKMSG_DESTROY). Pure: what it asks of the system goes through
// LinkObjectCalls, which each face fills.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/embed_attributes.h"
#include "link/link_file_chunks.h"
#include "link/link_records.h"

struct LinkObjectCalls {
  // The client application's link window, found or started (its wait and dialogs); null when
  // it cannot be reached.
  void* (*reachClient)();
  // One link message to the link window `client`; true when delivered, the reply then in
  // *reply (when not null). A null or vanished window, or a client too slow, gives false.
  bool (*send)(void* client, LinkMessageCode code, const void* payload, uint32_t length,
               LinkIdentifier linkId, uint32_t* reply);
  AnsiConverter toAnsi;  // attribute values into the client's code page (null: as they are)
  // Memory for a link file's start: `length` bytes when `memory` is null (null when there are
  // none), else frees `memory`.
  void* (*memory)(void* memory, size_t length);
};
// Re-entry: reachClient and send dispatch messages; any call of the face may run inside them
// (ending this very object, starting another in its place, even unloading the module). The
// functions below copy what they need first and look at the object's serial after each.

struct LinkObject {
  uint32_t serial;         // this object's creation, never given twice; 0 once it has ended
  LinkIdentifier linkId;   // LINK_ID_NONE until the client application gives one
  int32_t created;         // 1 once the client accepted it; 0 while it is being created
  void* linkWindow;        // the link window that accepted it: its messages go there alone
                           // (gone: they are dropped); null until accepted
  void* hwnd;              // the window lent to the client application; null when none
  void* paintWindow;       // the window whose LINKMSG_PAINT is out; null when none
  int32_t linkSpecified;   // 1 when the attributes named a target
  LinkRecord link;         // the description sent to the client application; last, so
                           // that the fields above and a face's own sit at short offsets
};

enum LinkObjectOutcome {
  LINK_OBJECT_CREATED,    // accepted, with or without an identifier
  LINK_OBJECT_NO_CLIENT,  // no client reached, or LINKMSG_NEW not delivered
  LINK_OBJECT_REFUSED,
  LINK_OBJECT_GONE,       // ended while it waited: nothing of it is the creation's any more
};

// Claims `object` for a new creation, reaches the client, builds the record from the pairs
// argn[i]/argv[i] (buildLinkRecord) and sends LINKMSG_NEW. An object ended during the send
// that the client accepted gets its LINKMSG_DESTROY. Once created, a window the face lent
// meanwhile (hwnd) is announced. Other outcomes leave the face to free the object.
LinkObjectOutcome createLinkObject(LinkObject& object, const LinkObjectCalls& calls, int16_t argc,
                                   const char* const* argn, const char* const* argv,
                                   uint32_t threadHandle);

// LINKMSG_SET_WINDOW with the object's window (hwnd; null: the client stops using it).
void announceLinkWindow(const LinkObject& object, const LinkObjectCalls& calls);

// LINKMSG_PAINT for `window`, about to be painted, unless that window's notice is already
// out: a client that repaints the window in its answer gets one notice per repaint.
void paintLinkObject(LinkObject& object, const LinkObjectCalls& calls, void* window);

// What a chunk of a link file comes to: the decision, and the file's start when a header
// applies, in memory from calls.memory (null bytes when there is none).
struct LinkFileStart {
  LinkFileChunkAction action;
  unsigned char* bytes;
  size_t length;
};

// Decides a chunk at `offset` after `held` (what its stream holds; null: each chunk stands
// alone) and, when a header applies, copies the file's start. Sends nothing. On
// LINK_CHUNK_HOLD the face keeps the chunk (holdLinkFileChunk); otherwise it lets go of the
// held bytes, then hands the start to forwardLinkFileStart.
LinkFileStart takeLinkFileChunk(const LinkObjectCalls& calls, const HeldLinkFileHeader* held,
                                const unsigned char* chunk, size_t length, uint32_t offset);

// Applies the start's header to the record and, when it applies, sends LINKMSG_STREAM_INFO,
// then LINKMSG_STREAM_DATA while the object lives; frees the start either way.
void forwardLinkFileStart(LinkObject& object, const LinkObjectCalls& calls,
                          const LinkFileStart& start);

// What the client still hears of an object that ends.
struct LinkObjectEnd {
  void* client;
  void* window;
  LinkIdentifier linkId;
  int32_t announced;
};

// The object ends at once (a creation or send under way finds it gone); the face then tears
// down what is its own, and only then calls the two below, which can re-enter.
inline LinkObjectEnd endLinkObject(LinkObject& object) {
  LinkObjectEnd end = {object.linkWindow, object.hwnd, object.linkId, object.created};
  object.serial = 0;
  object.created = 0;
  return end;
}

// The null window (LINKMSG_SET_WINDOW with 0): the client stops drawing in the window, which
// the face is about to destroy.
void withdrawLinkWindow(const LinkObjectEnd& end, const LinkObjectCalls& calls);

// LINKMSG_DESTROY, for an object the client accepted.
void tellLinkObjectEnded(const LinkObjectEnd& end, const LinkObjectCalls& calls);
