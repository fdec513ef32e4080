// The host's objects and what each message from the extension does to them and to the
// client application: the JSON face of the link objects (link/link_object.h). Pure: what it
// needs of Windows goes through BridgeSystem, which bridge/host_system.cpp fills with Win32
// calls and the tests with recorders.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/bridge_messages.h"
#include "bridge/bridge_queries.h"
#include "bridge/native_framing.h"
#include "link/link_object.h"

// As many objects as the module keeps instances.
const size_t BRIDGE_MAX_OBJECTS = 20;
// A window whose page has not reported (a `window` or a `lease`) for longer hides.
const uint32_t BRIDGE_LEASE_MS = 500;

struct BridgeSystem {
  // The link core's calls: reaching and sending to the client application, the code page,
  // memory.
  LinkObjectCalls link;
  // Whether `client` (a link window) still exists.
  bool (*clientAlive)(void* client);
  // The borderless window over object `id`, hidden; null when it cannot be made.
  void* (*createWindow)(uint32_t id);
  void (*placeWindow)(void* window, const ScreenBox& box, const ScreenBox& clip, bool visible);
  void (*destroyWindow)(void* window);
  // One message to the extension (a JSON text).
  void (*write)(const std::string& message);
  uint32_t threadHandle;  // what LinkRecord::threadHandle carries
  // Milliseconds from any start, wrapping (the system's tick count).
  uint32_t (*now)();
  // The launch door, for the queries about the client application.
  BridgeClientCalls client;
};

// One object: its link object (hwnd is its window) and the header its link file has cut short.
struct BridgeObject : LinkObject {
  uint32_t id;  // the extension's id; 0 when the entry is free
  HeldLinkFileHeader held;
  // The last `window`: where the window goes while its lease holds.
  bool placed;
  ScreenBox box, clip;
  bool visible;
  uint32_t reportedAt;  // now() at the last `window` or `lease` naming it
  bool lapsed;          // hidden until the page reports again
};

struct BridgeSession {
  BridgeSystem system;
  BridgeObject objects[BRIDGE_MAX_OBJECTS];
  bool clientGoneTold;    // the "client-gone" notice went out
};

// LinkObjectCalls::memory from the C heap, for the host and its tests alike.
void* bridgeMemory(void* memory, size_t length);

// One frame from the standard input.
void handleBridgeFrame(BridgeSession& session, const NativeFrame& frame);

// The window of object `id` is to be painted: the client application hears of it first, one
// notice at a time.
void paintBridgeObject(BridgeSession& session, uint32_t id);

// Whether a report made at `reportedAt` is too old at `now` (the clock may wrap between).
bool bridgeLeaseLapsed(uint32_t reportedAt, uint32_t now);

// Hides every window whose page has not reported within BRIDGE_LEASE_MS; called often.
void expireBridgeLeases(BridgeSession& session);

// Tells the extension once when the client application that accepted the objects is gone.
void checkBridgeClient(BridgeSession& session);

// The input ended (the port closed, the browser quit): every object still held is destroyed.
void endBridgeSession(BridgeSession& session);

// How many objects the session holds.
size_t bridgeObjectCount(const BridgeSession& session);
