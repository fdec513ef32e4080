// The messages that ask the host about itself and the client application rather than about an
// object: "hello" (its version and protocol), "client-status" (what the launch door says of
// the client, without a dialog) and "find-client" (reach the client now, the find-client
// dialog included). The options page sends them; docs/bridge.md has the version rule.
#pragma once

#include <string>

// The host's protocol: 1 for the object messages (new, window, lease, stream, destroy), 2
// adds these three. A number only ever adds messages and fields.
const int BRIDGE_PROTOCOL = 2;

// What the launch door says of the client application.
struct BridgeClientStatus {
  std::string command;  // the configured launch command, in UTF-8; empty: none configured
  std::string program;  // the program its plan starts; empty: none found
  bool running;         // the client's link window exists
};

// How reaching the client ended: "running", "not-configured" (no command, the dialog
// cancelled), "not-started", "needs-elevation", "no-window", "busy" (asked inside the door's
// own dialog or wait).
struct BridgeClientCalls {
  void (*status)(BridgeClientStatus* status);
  const char* (*reach)();
};

enum BridgeQueryKind { BRIDGE_NOT_A_QUERY, BRIDGE_HELLO, BRIDGE_CLIENT_STATUS, BRIDGE_FIND_CLIENT };

// Which query `text` is; BRIDGE_NOT_A_QUERY for anything else (the requests' parser then
// decides). Fields the host does not know are let be: a newer extension may send more.
BridgeQueryKind parseBridgeQuery(const std::string& text);

// The answers. `version` is the product's, a.b.c.d.
std::string helloReply(const char* version);
std::string clientStatusReply(const char* type, const char* result, const BridgeClientStatus& status);
// The error for a message of a type the host does not know: named when its type is a short
// text (an overlong one is not echoed), with the host's protocol, so that the extension can
// tell an older host.
std::string unknownTypeReply(uint32_t id, const std::string& text);
