// The content script, in every frame: finds the objects that a plug-in browser would hand to
// the Kelvora plug-in (<embed> and <object> of type application/x-kvla, or with a .kvl
// source), keeps each in the page but hidden, shows a placeholder of its size in its place,
// and tells the host (through the service worker) the object's attributes, where the
// placeholder is on the screen, and the bytes of its link file.
"use strict";

(() => {
  const KVLA_TYPE = "application/x-kvla";
  const CHUNK = 65536;          // bytes of a link file per message
  const objects = new Map();    // key -> object
  const byElement = new WeakMap();
  let nextKey = 1;
  let port = null;
  let ticking = false;

  function connect() {
    if (port) return port;
    port = chrome.runtime.connect({ name: "kelvora" });
    port.onMessage.addListener(fromWorker);
    port.onDisconnect.addListener(() => {
      port = null;
      for (const o of objects.values()) setState(o, "gone");
    });
    return port;
  }

  function send(message) {
    try { connect().postMessage(message); } catch (e) { port = null; }
  }

  function sourceOf(element) {
    return element.localName === "object" ? element.getAttribute("data") : element.getAttribute("src");
  }

  function isKelvora(element) {
    if (element.localName !== "embed" && element.localName !== "object") return false;
    // An object inside another Kelvora object is fallback content, which a plug-in hides.
    for (let up = element.parentElement; up; up = up.parentElement)
      if (byElement.has(up)) return false;
    const type = (element.getAttribute("type") || "").trim().toLowerCase();
    if (type === KVLA_TYPE) return true;
    if (type !== "") return false;
    const source = sourceOf(element) || "";
    return /\.kvl$/i.test(source.split(/[?#]/)[0]);
  }

  // The attributes as Chromium handed them to plug-ins: every attribute in document order
  // (names lower-cased), then the <param>s of an <object> whose names no attribute has.
  function attributesOf(element) {
    const pairs = [];
    const names = new Set();
    for (const a of element.attributes) {
      pairs.push([a.name.toLowerCase(), a.value]);
      names.add(a.name.toLowerCase());
    }
    if (element.localName === "object") {
      for (const p of element.children) {
        if (p.localName !== "param") continue;
        const name = p.getAttribute("name");
        if (name === null || names.has(name.toLowerCase())) continue;
        pairs.push([name, p.getAttribute("value") || ""]);
      }
    }
    return pairs;
  }

  function cssSize(value, fallback) {
    if (value === null || value.trim() === "") return fallback;
    return /^\s*\d+(\.\d+)?\s*$/.test(value) ? `${parseFloat(value)}px` : value.trim();
  }

  function makePlaceholder(element) {
    const style = getComputedStyle(element);
    const box = document.createElement("div");
    box.setAttribute("data-kelvora", "placeholder");
    box.style.cssText = "box-sizing:border-box;overflow:hidden;background:#202830;color:#9ab;" +
      "font:12px sans-serif;padding:4px;vertical-align:bottom";
    box.style.display = style.display === "inline" ? "inline-block" : style.display;
    box.style.margin = style.margin;
    box.style.width = cssSize(element.getAttribute("width"), "300px");
    box.style.height = cssSize(element.getAttribute("height"), "150px");
    return box;
  }

  function setState(o, state) {
    o.placeholder.setAttribute("data-kelvora-state", state);
    const words = {
      waiting: "Kelvora: connecting to the client application…",
      accepted: "", refused: "Kelvora: the client application refused this object",
      "no-client": "Kelvora: the Kelvora client application is not running",
      full: "Kelvora: too many objects", gone: "Kelvora: the client application has gone",
    };
    o.placeholder.textContent = words[state] !== undefined ? words[state] : `Kelvora: ${state}`;
  }

  function adopt(element) {
    if (byElement.has(element) || !isKelvora(element)) return;
    const key = nextKey++;
    const o = { key, element, placeholder: makePlaceholder(element), lastWindow: "", sent: 0 };
    byElement.set(element, o);
    objects.set(key, o);
    element.insertAdjacentElement("afterend", o.placeholder);
    // Kept in the page (its scripts may hold it) but out of sight.
    element.style.setProperty("display", "none", "important");
    setState(o, "waiting");
    o.sent = performance.now();
    send({ type: "new", key, attributes: attributesOf(element) });
  }

  function drop(o) {
    objects.delete(o.key);
    byElement.delete(o.element);
    o.placeholder.remove();
    send({ type: "destroy", key: o.key });
  }

  async function streamLinkFile(o) {
    const source = sourceOf(o.element);
    if (!source) return;
    let response;
    try {
      // With the page's cookies, as the browser fetched a plug-in's data.
      response = await fetch(new URL(source, document.baseURI), { credentials: "include" });
    } catch (e) { return; }
    if (!response.ok || !response.body) return;
    const reader = response.body.getReader();
    let offset = 0;
    let pending = new Uint8Array(0);
    for (;;) {
      const { done, value } = await reader.read();
      if (value) {
        const joined = new Uint8Array(pending.length + value.length);
        joined.set(pending);
        joined.set(value, pending.length);
        pending = joined;
      }
      while (pending.length >= CHUNK || (done && pending.length > 0)) {
        if (!objects.has(o.key)) { reader.cancel(); return; }
        const piece = pending.subarray(0, CHUNK);
        pending = pending.subarray(piece.length);
        send({ type: "stream", key: o.key, offset, bytes: Array.from(piece),
               end: done && pending.length === 0 });
        offset += piece.length;
      }
      if (done) return;
    }
  }

  function fromWorker(message) {
    if (message.type === "notice") {
      if (message.notice === "client-gone") for (const o of objects.values()) setState(o, "gone");
      return;
    }
    const o = objects.get(message.key);
    if (!o) return;
    if (message.type === "new") {
      o.placeholder.setAttribute("data-kelvora-ms", (performance.now() - o.sent).toFixed(3));
      setState(o, message.result);
      if (message.result !== "accepted") return;
      o.lastWindow = "";
      follow();
      streamLinkFile(o);
    } else if (message.type === "gone") {
      setState(o, "gone");
    }
  }

  // The top-left corner of this frame's viewport on the screen, in CSS pixels: Firefox says
  // it; elsewhere it is the window's place plus its frame and toolbars (the difference of its
  // outer and inner sizes, the side border taken to be the bottom border too), plus the
  // frames' places in their parents as far as this frame may look.
  function viewportOrigin() {
    if (typeof window.mozInnerScreenX === "number")
      return { x: window.mozInnerScreenX, y: window.mozInnerScreenY, known: true };
    let x = 0, y = 0, w = window;
    try {
      while (w !== w.top) {
        const r = w.frameElement.getBoundingClientRect();
        x += r.left + w.frameElement.clientLeft;
        y += r.top + w.frameElement.clientTop;
        w = w.parent;
      }
    } catch (e) {
      return { x: 0, y: 0, known: false };  // a frame of another origin: its place is unknown
    }
    const border = Math.max(0, (w.outerWidth - w.innerWidth) / 2);
    return { x: x + w.screenX + border, y: y + w.screenY + w.outerHeight - w.innerHeight - border,
             known: true };
  }

  function report() {
    const scale = window.devicePixelRatio || 1;
    const origin = viewportOrigin();
    const view = document.documentElement;
    const px = (v) => Math.round(v * scale);
    const clip = [px(origin.x), px(origin.y), px(view.clientWidth), px(view.clientHeight)];
    const shown = origin.known && document.visibilityState === "visible";
    for (const o of objects.values()) {
      if (o.placeholder.getAttribute("data-kelvora-state") !== "accepted") continue;
      const r = o.placeholder.getBoundingClientRect();
      const box = [px(origin.x + r.left), px(origin.y + r.top), px(r.width), px(r.height)];
      const message = { type: "window", key: o.key, box, clip, visible: shown && r.width > 0 };
      const text = JSON.stringify(message);
      if (text === o.lastWindow) continue;
      o.lastWindow = text;
      send(message);
    }
  }

  // Layout, scrolling, resizing and the window's moves all show in the boxes, measured once
  // per frame drawn while objects are shown; a hidden page draws no frames, so its change of
  // state is reported as it happens.
  function follow() {
    if (ticking) return;
    ticking = true;
    requestAnimationFrame(function tick() {
      report();
      if (objects.size > 0) requestAnimationFrame(tick);
      else ticking = false;
    });
  }
  document.addEventListener("visibilitychange", () => { report(); follow(); });

  function scan(root) {
    if (root.nodeType !== Node.ELEMENT_NODE) return;
    if (root.localName === "embed" || root.localName === "object") adopt(root);
    for (const e of root.querySelectorAll("embed, object")) adopt(e);
  }

  new MutationObserver((mutations) => {
    // An object the page took out of the document ends with it, before the new ones begin:
    // a page that swaps objects at the limit of 20 gets its new one.
    for (const o of [...objects.values()]) if (!o.element.isConnected) drop(o);
    for (const m of mutations) for (const n of m.addedNodes) scan(n);
  }).observe(document, { childList: true, subtree: true });
  scan(document.documentElement);
})();
