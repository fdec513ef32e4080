// The extension's service worker (a background script in Firefox): one native connection to
// the host per tab, opened with the tab's first Kelvora object and closed with its last frame.
// Each frame's content script talks to it on a port of its own; object ids are the frame's,
// turned into ids unique within the tab's connection here. The host's answers go back to the
// frame that asked. A frame that goes away (navigation, a closed tab) destroys its objects;
// a closed connection makes the host destroy every object it still holds.
"use strict";

const HOST = "com.kelvora.link";
const tabs = new Map();  // tabId -> { native, nextId, objects: Map(id -> {port, key}), frames: Set(port) }

function tabOf(tabId) {
  let tab = tabs.get(tabId);
  if (!tab) {
    tab = { native: null, nextId: 1, objects: new Map(), frames: new Set() };
    tabs.set(tabId, tab);
  }
  return tab;
}

function openNative(tabId, tab) {
  const native = chrome.runtime.connectNative(HOST);
  native.onMessage.addListener((message) => fromHost(tab, message));
  native.onDisconnect.addListener(() => {
    if (tab.native !== native) return;
    tab.native = null;
    // The host has ended: every object of the tab is gone with it.
    for (const { port, key } of tab.objects.values()) post(port, { type: "gone", key });
    tab.objects.clear();
  });
  tab.native = native;
  return native;
}

function post(port, message) {
  try { port.postMessage(message); } catch (e) { /* the frame has gone */ }
}

function fromHost(tab, message) {
  if (message && message.type === "notice") {
    for (const port of tab.frames) post(port, message);
    return;
  }
  const object = message && tab.objects.get(message.id);
  if (!object) return;
  if (message.type === "new" && message.result !== "accepted") tab.objects.delete(message.id);
  post(object.port, { ...message, id: undefined, key: object.key });
}

function closeTab(tabId) {
  const tab = tabs.get(tabId);
  if (!tab) return;
  tabs.delete(tabId);
  if (tab.native) tab.native.disconnect();
}

chrome.runtime.onConnect.addListener((port) => {
  if (port.name !== "kelvora" || !port.sender || !port.sender.tab) return;
  const tabId = port.sender.tab.id;
  const tab = tabOf(tabId);
  tab.frames.add(port);
  const ids = new Map();  // the frame's key -> the connection's id
  port.onMessage.addListener((message) => {
    if (!message || typeof message.type !== "string") return;
    let id = ids.get(message.key);
    if (message.type === "new") {
      if (id !== undefined) return;
      id = tab.nextId++;
      ids.set(message.key, id);
      tab.objects.set(id, { port, key: message.key });
    }
    if (id === undefined) return;
    const native = tab.native || openNative(tabId, tab);
    // Whatever the page put in the message goes to the host, which checks it.
    native.postMessage({ ...message, key: undefined, id });
    if (message.type === "destroy") {
      ids.delete(message.key);
      tab.objects.delete(id);
    }
  });
  port.onDisconnect.addListener(() => {
    // The frame navigated or closed: its objects end; with the tab's last frame, the connection.
    tab.frames.delete(port);
    for (const id of ids.values()) {
      tab.objects.delete(id);
      if (tab.native) tab.native.postMessage({ type: "destroy", id });
    }
    ids.clear();
    if (tab.frames.size === 0) closeTab(tabId);
  });
});

chrome.tabs.onRemoved.addListener(closeTab);
