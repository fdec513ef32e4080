// The extension's service worker (a background script in Firefox): one native connection to
// the host per tab, opened with the tab's first Kelvora object and closed with its last frame.
// Each frame's content script talks to it on a port of its own and reports where its objects
// and child frames lie in its viewport; everything that decides is here, out of the pages'
// reach: whether a site may play (sites.js), where each window goes (the frames' boxes
// composed from the top frame down, so that no frame can widen its own clip), and whether it
// shows (the tab is the active one of a window that is not minimised, and every frame on the
// way still reports). The host holds each window on a lease that this worker renews.
"use strict";

if (typeof importScripts === "function") importScripts("sites.js", "host.js");

const MAX_OBJECTS = 20;   // live objects per tab, as the host holds
const LEASE_MS = 200;     // how often shown objects' leases are renewed
const QUIET_MS = 500;     // a frame silent this long is busy, hung or gone: its windows hide
const MAX_DEPTH = 16;     // frames above a frame, at most
const MAX_COORDINATE = 1 << 20;
const NOWHERE = [0, 0, 0, 0];

const tabs = new Map();   // tabId -> tab
let leaseTimer = null;
let downloadUrl = "";     // where an administrator says the client is to be had; "" when none

// The administrator's download address, when it is an http or https URL of sane length.
function readDownloadUrl() {
  chrome.storage.managed.get("clientDownloadUrl").then((v) => {
    const text = v && v.clientDownloadUrl;
    let url = null;
    try { url = typeof text === "string" && text.length <= 2048 ? new URL(text) : null; } catch (e) { /* none */ }
    downloadUrl = url && (url.protocol === "https:" || url.protocol === "http:") ? url.href : "";
  }, () => { downloadUrl = ""; });
}
readDownloadUrl();

function tabOf(tabId, windowId) {
  let tab = tabs.get(tabId);
  if (!tab) {
    tab = { id: tabId, windowId, native: null, nextId: 1, objects: new Map(), frames: new Set(),
            tokens: new Map(), shown: false, zoom: 0, protocol: 0, statusWaiters: [] };
    tabs.set(tabId, tab);
    chrome.tabs.getZoom(tabId).then((z) => { tab.zoom = z; changed(tab); }, () => {});
    refreshShown();
    if (!leaseTimer) leaseTimer = setInterval(renewLeases, LEASE_MS);
  }
  return tab;
}

function closeTab(tabId) {
  const tab = tabs.get(tabId);
  if (!tab) return;
  tabs.delete(tabId);
  if (tab.native) tab.native.disconnect();
  if (tabs.size === 0 && leaseTimer) {
    clearInterval(leaseTimer);
    leaseTimer = null;
  }
}

function post(port, message) {
  try { port.postMessage(message); } catch (e) { /* the frame has gone */ }
}

function toHost(tab, message) {
  if (!tab.native) {
    const native = chrome.runtime.connectNative(HOST);
    let heard = false;
    native.onMessage.addListener((m) => {
      heard = true;
      fromHost(tab, m);
    });
    native.onDisconnect.addListener(() => {
      if (tab.native !== native) return;
      tab.native = null;
      tab.protocol = 0;
      for (const waiter of tab.statusWaiters.splice(0)) waiter(null);
      // The host has ended, or was never there: every object of the tab is gone with it.
      const state = !heard && hostLink.missing(native) ? "no-host" : "gone";
      for (const o of tab.objects.values()) post(o.frame.port, { type: "gone", key: o.key, state, download: downloadUrl });
      for (const f of tab.frames) f.inFlight = 0;
      tab.objects.clear();
    });
    tab.native = native;
    native.postMessage({ type: "hello", protocol: PROTOCOL });
  }
  tab.native.postMessage(message);
}

// What a "no-client" answer means, as the host's configuration tells: nothing chosen, a
// program not there, or one that did not start. A host older than "client-status" says none.
function explainNoClient(tab, o) {
  const tell = (result) => post(o.frame.port, { type: "new", key: o.key, result, download: downloadUrl });
  if (tab.protocol < 2 || !tab.native) return tell("no-client");
  tab.statusWaiters.push((status) => {
    // No status (the host ended meanwhile): only that it did not start is known.
    if (!status) return tell("no-client");
    const command = typeof status.command === "string" ? status.command : "";
    tell(!command ? "not-configured" : typeof status.program === "string" && !status.program ? "missing" : "no-client");
  });
  tab.native.postMessage({ type: "client-status" });
}

// --- Which tabs show: the active tab of each window that is not minimised ---

async function refreshShown() {
  let windows, active;
  try {
    [windows, active] = await Promise.all([chrome.windows.getAll(), chrome.tabs.query({ active: true })]);
  } catch (e) { return; }
  const minimised = new Set(windows.filter((w) => w.state === "minimized").map((w) => w.id));
  const shown = new Map(active.map((t) => [t.id, !minimised.has(t.windowId)]));
  for (const tab of tabs.values()) setShown(tab, shown.get(tab.id) === true);
}

function setShown(tab, shown) {
  if (tab.shown === shown) return;
  tab.shown = shown;
  changed(tab);
}

chrome.tabs.onActivated.addListener(({ tabId, windowId }) => {
  // The tab that was active in that window hides at once; the rest is asked for.
  for (const tab of tabs.values()) if (tab.windowId === windowId && tab.id !== tabId) setShown(tab, false);
  refreshShown();
});
chrome.windows.onFocusChanged.addListener(refreshShown);
chrome.windows.onRemoved.addListener(refreshShown);
chrome.tabs.onAttached.addListener((tabId, { newWindowId }) => {
  const tab = tabs.get(tabId);
  if (tab) tab.windowId = newWindowId;
  refreshShown();
});
chrome.tabs.onRemoved.addListener(closeTab);
chrome.tabs.onZoomChange.addListener(({ tabId, newZoomFactor }) => {
  const tab = tabs.get(tabId);
  if (!tab) return;
  tab.zoom = newZoomFactor;
  changed(tab);
});

// --- Where each window goes ---

function intersect(a, b) {
  const x = Math.max(a[0], b[0]), y = Math.max(a[1], b[1]);
  const right = Math.min(a[0] + a[2], b[0] + b[2]), bottom = Math.min(a[1] + a[3], b[1] + b[3]);
  return right > x && bottom > y ? [x, y, right - x, bottom - y] : [x, y, 0, 0];
}

// The top frame's viewport corner on the screen, in device pixels. Chromium gives the window's
// place and outer size in screen units and the inner size in CSS pixels, which the zoom
// scales; the frame's border is taken to be as wide at the bottom as at the sides.
function screenOrigin(screen, zoom) {
  if (screen.inner && !screen.outer) return screen.inner;
  if (!zoom) return null;
  const { x, y, outer, inner, dpr } = screen;
  const w = inner[0] * zoom, h = inner[1] * zoom;
  const border = Math.max(0, (outer[0] - w) / 2);
  const unit = dpr / zoom;
  return [Math.round((x + border) * unit), Math.round((y + outer[1] - h - border) * unit)];
}

const fresh = (frame, now) => now - frame.heard <= QUIET_MS && frame.page;

// A frame's viewport on the screen and the part of it that can show: its frame element's box
// in its parent, cut by the parent's own, up to the top frame. Null while any frame on the
// way is unknown or silent.
function placeFrame(tab, frame, now, depth = 0) {
  if (depth > MAX_DEPTH || !frame.view || !fresh(frame, now)) return null;
  if (frame.frameId === 0) {
    const origin = frame.screen && screenOrigin(frame.screen, tab.zoom);
    return origin && { origin, clip: [...origin, ...frame.view] };
  }
  const parent = frame.token && tab.tokens.get(frame.token);
  const box = parent && parent.children.get(frame.token);
  const above = box && parent !== frame && placeFrame(tab, parent, now, depth + 1);
  if (!above) return null;
  const origin = [above.origin[0] + box[0], above.origin[1] + box[1]];
  const clip = intersect(intersect(above.clip, [...origin, box[2], box[3]]), [...origin, ...frame.view]);
  return { origin, clip };
}

function windowOf(tab, o, now) {
  const at = o.frame.boxes.get(o.key);
  const place = at && placeFrame(tab, o.frame, now);
  const hidden = { type: "window", id: o.id, box: NOWHERE, clip: NOWHERE, visible: false };
  if (!place || o.clientGone) return hidden;
  const box = [place.origin[0] + at[0], place.origin[1] + at[1], at[2], at[3]];
  const clip = intersect(box, place.clip);
  // A box the host would refuse would leave the window where it was: it hides instead.
  if (![...box, ...clip].every((v) => Math.abs(v) <= MAX_COORDINATE)) return hidden;
  return { type: "window", id: o.id, box, clip, visible: tab.shown && at[4] && clip[2] > 0 && clip[3] > 0 };
}

// Something that places or shows the tab's windows changed: each window whose message changed
// is sent again.
function changed(tab) {
  const now = Date.now();
  for (const o of tab.objects.values()) {
    if (!o.accepted) continue;
    const message = windowOf(tab, o, now);
    o.shown = message.visible;
    const text = JSON.stringify(message);
    if (text === o.lastWindow) continue;
    o.lastWindow = text;
    toHost(tab, message);
  }
  for (const f of tab.frames) pump(f);
}

// Nothing is asked of the browser here: a window minimised without a change of focus shows in
// its pages, which draw no frames and so stop reporting.
function renewLeases() {
  for (const tab of tabs.values()) {
    changed(tab);
    const ids = [...tab.objects.values()].filter((o) => o.shown).map((o) => o.id);
    if (ids.length > 0 && tab.native) tab.native.postMessage({ type: "lease", ids });
  }
}

// --- Objects: consent, then a place, then the host; one "new" in flight per frame ---

function pump(frame) {
  if (frame.gone || frame.inFlight || frame.queue.length === 0 || !frame.consent) return;
  if (!frame.consent.allowed) {
    for (const q of frame.queue) post(frame.port, { type: "new", key: q.key, result: "blocked" });
    frame.queue = [];
    return;
  }
  const tab = frame.tab;
  // An object whose window cannot show is not told to play until it can.
  if (!placeFrame(tab, frame, Date.now())) return;
  while (frame.queue.length > 0) {
    const q = frame.queue.shift();
    if (tab.objects.size >= MAX_OBJECTS) {
      post(frame.port, { type: "new", key: q.key, result: "full" });
      continue;
    }
    const id = tab.nextId++;
    tab.objects.set(id, { id, key: q.key, frame, accepted: false, lastWindow: "", shown: false });
    frame.ids.set(q.key, id);
    frame.inFlight = id;
    toHost(tab, { type: "new", id, attributes: q.attributes });
    return;
  }
}

function endObject(tab, o) {
  tab.objects.delete(o.id);
  o.frame.ids.delete(o.key);
}

function fromHost(tab, message) {
  if (!message || typeof message !== "object") return;
  const protocol = hostLink.protocolOf(message);
  if (protocol !== null && !tab.protocol) {
    tab.protocol = protocol;
    return;
  }
  if (message.type === "client-status") {
    const waiter = tab.statusWaiters.shift();
    if (waiter) waiter(message);
    return;
  }
  if (message.type === "notice") {
    // The client has gone: the windows it drew in hide, so that the placeholders' words show.
    if (message.notice === "client-gone") for (const o of tab.objects.values()) o.clientGone = true;
    for (const f of tab.frames) post(f.port, message);
    changed(tab);
    return;
  }
  const o = tab.objects.get(message.id);
  const answer = message.type === "new" || (message.type === "error" && o && !o.accepted);
  if (!answer) return;  // errors of other messages (a lease the host does not know) change nothing
  for (const f of tab.frames) {
    if (f.inFlight !== message.id) continue;
    f.inFlight = 0;
    setTimeout(() => pump(f));
  }
  if (!o || o.accepted) return;
  const result = message.type === "new" && typeof message.result === "string" ? message.result : "refused";
  if (result !== "accepted") {
    endObject(tab, o);
    if (result === "no-client") explainNoClient(tab, o);
    else post(o.frame.port, { type: "new", key: o.key, result });
    return;
  }
  o.accepted = true;
  post(o.frame.port, { type: "new", key: o.key, result });
  changed(tab);
}

const isKey = (v) => Number.isSafeInteger(v) && v > 0;
const isBox = (v) => Array.isArray(v) && v.length >= 4 && v.slice(0, 4).every(Number.isFinite);

function fromFrame(frame, message) {
  const tab = frame.tab;
  frame.heard = Date.now();
  switch (message.type) {
    case "new":
      if (!isKey(message.key) || !Array.isArray(message.attributes)) return;
      if (frame.ids.has(message.key) || frame.queue.some((q) => q.key === message.key)) return;
      frame.queue.push({ key: message.key, attributes: message.attributes });
      pump(frame);
      return;
    case "destroy": {
      frame.queue = frame.queue.filter((q) => q.key !== message.key);
      const o = tab.objects.get(frame.ids.get(message.key));
      if (!o) return;
      endObject(tab, o);
      if (tab.native) tab.native.postMessage({ type: "destroy", id: o.id });
      return;
    }
    case "stream": {
      const o = tab.objects.get(frame.ids.get(message.key));
      if (!o || !o.accepted || typeof message.bytes !== "string") return;
      // The rest is the host's to check.
      toHost(tab, { type: "stream", id: o.id, offset: message.offset, bytes: message.bytes, end: message.end });
      return;
    }
    case "layout":
      readLayout(frame, message);
      changed(tab);
      return;
    case "place":
      if (typeof message.token !== "string" || message.token.length > 64) return;
      frame.token = message.token;
      changed(tab);
      return;
    case "allow":
      if (frame.origin) sites.allow(frame.origin);
      return;
    case "options":
      chrome.runtime.openOptionsPage();
      return;
    case "alive":
      if (tab.objects.size > 0 || frame.queue.length > 0) changed(tab);
      return;
  }
}

function readLayout(frame, m) {
  if (!Array.isArray(m.view) || !isBox([...m.view.slice(0, 2), 0, 0])) return;
  frame.view = m.view.slice(0, 2);
  frame.page = m.page === true;
  const s = m.screen;
  const pair = (v) => Array.isArray(v) && v.length === 2 && v.every(Number.isFinite);
  if (frame.frameId === 0 && s && typeof s === "object") {
    if (pair(s.outer) && pair(s.inner) && [s.x, s.y, s.dpr].every(Number.isFinite) && s.dpr > 0)
      frame.screen = { x: s.x, y: s.y, dpr: s.dpr, outer: s.outer, inner: s.inner };
    else if (!s.outer && pair(s.inner))
      frame.screen = { inner: s.inner.map(Math.round) };
  }
  frame.boxes = new Map();
  for (const b of Array.isArray(m.objects) ? m.objects : [])
    if (Array.isArray(b) && isKey(b[0]) && isBox(b.slice(1))) frame.boxes.set(b[0], [...b.slice(1, 5), b[5] === true]);
  for (const [token, parent] of frame.tab.tokens) if (parent === frame) frame.tab.tokens.delete(token);
  frame.children = new Map();
  for (const c of Array.isArray(m.frames) ? m.frames : []) {
    if (!Array.isArray(c) || typeof c[0] !== "string" || !isBox(c.slice(1))) continue;
    frame.children.set(c[0], c.slice(1, 5));
    frame.tab.tokens.set(c[0], frame);
  }
}

chrome.runtime.onConnect.addListener((port) => {
  if (port.name !== "kelvora" || !port.sender || !port.sender.tab) return;
  const sender = port.sender;
  const tab = tabOf(sender.tab.id, sender.tab.windowId);
  let origin = null;
  try {
    const url = new URL(sender.url);
    if (url.protocol === "http:" || url.protocol === "https:") origin = url.origin;
  } catch (e) { /* no origin: the frame never plays */ }
  const frame = { port, tab, frameId: sender.frameId, url: sender.url, origin, consent: null, queue: [],
                  ids: new Map(), inFlight: 0, heard: Date.now(), view: null, page: true, screen: null,
                  boxes: new Map(), children: new Map(), token: null, gone: false };
  tab.frames.add(frame);
  sites.loaded.then(() => {
    frame.consent = { allowed: origin !== null && sites.allows(frame.url) };
    pump(frame);
  });
  port.onMessage.addListener((message) => {
    if (message && typeof message.type === "string") fromFrame(frame, message);
  });
  port.onDisconnect.addListener(() => {
    // The frame navigated, closed or was left: its objects end; with the tab's last frame,
    // the connection.
    frame.gone = true;
    tab.frames.delete(frame);
    for (const id of frame.ids.values()) {
      tab.objects.delete(id);
      if (tab.native) tab.native.postMessage({ type: "destroy", id });
    }
    frame.ids.clear();
    for (const [token, parent] of tab.tokens) if (parent === frame) tab.tokens.delete(token);
    if (tab.frames.size === 0) closeTab(tab.id);
    else changed(tab);
  });
});

// A site allowed or taken back: its frames start their objects, or end them.
sites.load();
chrome.storage.onChanged.addListener((change, area) => {
  if (area === "managed" && change.clientDownloadUrl) readDownloadUrl();
  if ((area !== "local" && area !== "managed") || !change.allowedSites) return;
  sites.load().then(() => {
    for (const tab of tabs.values()) {
      for (const frame of tab.frames) {
        if (!frame.consent) continue;
        const allowed = frame.origin !== null && sites.allows(frame.url);
        if (allowed === frame.consent.allowed) continue;
        frame.consent.allowed = allowed;
        if (allowed) {
          post(frame.port, { type: "allowed" });
          continue;
        }
        for (const [key, id] of frame.ids) {
          tab.objects.delete(id);
          if (tab.native) tab.native.postMessage({ type: "destroy", id });
          post(frame.port, { type: "new", key, result: "blocked" });
        }
        frame.ids.clear();
        frame.inFlight = 0;
      }
    }
  });
});
