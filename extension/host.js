// The native-messaging host as the service worker and the options page meet it: its name, the
// protocol this extension speaks, and how its answers and its end are read. The version rule
// is in docs/bridge.md: a protocol number only adds messages, so every host plays every
// extension's objects; what one side lacks, the options page names.
"use strict";

const HOST = "com.kelvora.link";
const PROTOCOL = 2;   // 1: the object messages; 2: hello, client-status, find-client

const hostLink = {
  // The host's protocol from its answer to "hello": its own number, or 1 for a host that does
  // not know "hello" and refuses it; null for any other message.
  protocolOf(message) {
    if (!message || typeof message !== "object") return null;
    if (message.type === "hello") return Number.isSafeInteger(message.protocol) && message.protocol > 0 ? message.protocol : 1;
    if (message.type === "error" && message.id === undefined && message.reason === "unknown type")
      return Number.isSafeInteger(message.protocol) && message.protocol > 0 ? message.protocol : 1;
    return null;
  },

  // Whether a port that ended without a word from the host ended because no host is
  // registered for this browser (or its program is not there), rather than a host that ran:
  // Chromium says "Specified native messaging host not found." (or that it failed to start),
  // Firefox "No such native application".
  missing(port) {
    const error = (port && port.error) || (chrome.runtime.lastError) || null;
    const text = error && typeof error.message === "string" ? error.message : "";
    return /host not found|failed to start native messaging host|no such native application/i.test(text);
  },
};
