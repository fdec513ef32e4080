// The host's objects and what each message from the extension does to them and to the
// client application. Pure: what it needs of Windows goes through the calls of BridgeSystem,
// which bridge/host_system.cpp fills with Win32 calls and the tests with recorders.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/bridge_messages.h"
#include "bridge/native_framing.h"
#include "link/link_records.h"
#include "link/embed_attributes.h"
#include "link/link_file_chunks.h"

// As many objects as the module keeps instances.
const size_t BRIDGE_MAX_OBJECTS = 20;

struct BridgeSystem {
  void* context;
  // The client application's link window, found or started (with its dialog and wait);
  // null when it cannot be reached. Re-entry: may dispatch this thread's messages.
  void* (*reachClient)(void* context);
  // One link message to `client`; true when delivered, with the reply in *reply.
  bool (*send)(void* context, void* client, LinkMessageCode code, const void* payload,
               uint32_t length, LinkIdentifier linkId, uint32_t* reply);
  // Whether `client` (a link window) still exists.
  bool (*clientAlive)(void* context, void* client);
  // The borderless window over object `id`, hidden; null when it cannot be made.
  void* (*createWindow)(void* context, uint32_t id);
  void (*placeWindow)(void* context, void* window, const ScreenBox& box, const ScreenBox& clip,
                      bool visible);
  void (*destroyWindow)(void* context, void* window);
  // One message to the extension (a JSON text).
  void (*write)(void* context, const std::string& message);
  uint32_t threadHandle;   // what LinkRecord::threadHandle carries
  AnsiConverter toAnsi;    // attribute values into the client's code page (may be null)
};

struct BridgeObject {
  uint32_t id;            // the extension's id; 0 when the entry is free
  bool created;           // the client application accepted it
  void* client;           // the link window that accepted it: its messages go there alone
  LinkIdentifier linkId;
  void* window;           // the window lent to the client; null when none
  LinkRecord link;
  HeldLinkFileHeader held;  // a link file's header cut short, until the chunks complete it
};

struct BridgeSession {
  BridgeSystem system;
  BridgeObject objects[BRIDGE_MAX_OBJECTS];
  bool clientGoneTold;    // the "client-gone" notice went out
};

// One frame from the standard input.
void handleBridgeFrame(BridgeSession& session, const NativeFrame& frame);

// The window of object `id` is to be painted: the client application hears of it first.
void paintBridgeObject(BridgeSession& session, uint32_t id);

// Tells the extension once when the client application that accepted the objects is gone.
void checkBridgeClient(BridgeSession& session);

// The input ended (the port closed, the browser quit): every object still held is destroyed.
void endBridgeSession(BridgeSession& session);

// How many objects the session holds.
size_t bridgeObjectCount(const BridgeSession& session);
