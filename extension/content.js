// The content script, in every frame: finds the objects that a plug-in browser would hand to
// the Kelvora plug-in (<embed> and <object> of type application/x-kvla, or with a .kvl
// source) and leaves each laid out where the page puts it, its own drawing hidden. It tells
// the service worker what the object is, where its box and this frame's viewport are, and
// where the frame's own child frames lie; the service worker alone decides whether the object
// may play and whether its window shows. What a person reads about an object lies in a closed
// shadow root over its box, out of the page's reach and out of its layout.
"use strict";

(() => {
  const KVLA_TYPE = "application/x-kvla";
  const CHUNK = 65536;          // bytes of a link file per message
  const ALIVE_MS = 150;         // the longest silence while objects or child frames are reported
  const objects = new Map();    // key -> { key, element, host, words, state, started }
  const byElement = new WeakMap();
  const tokens = new WeakMap(); // child frame element -> the token that names its place
  const children = new Map();   // token -> child frame element
  let nextKey = 1;
  let port = null;
  let place = null;             // this frame's place in its parent, as the parent's script said
  let lastLayout = "";
  let lastSent = 0;
  let ticking = false;
  let live = false;             // between the document's start (or its return) and pagehide

  function connect() {
    if (port) return port;
    port = chrome.runtime.connect({ name: "kelvora" });
    port.onMessage.addListener(fromWorker);
    port.onDisconnect.addListener(() => {
      port = null;
      for (const o of objects.values()) if (o.started) setState(o, "gone");
    });
    if (window !== window.top) askPlace();
    if (place) port.postMessage({ type: "place", token: place });
    lastLayout = "";
    follow();
    return port;
  }

  function send(message) {
    if (!live) return;
    try {
      connect().postMessage(message);
      lastSent = performance.now();
      follow();
    } catch (e) { port = null; }
  }

  // --- Which elements are Kelvora objects, and what the client hears of them ---

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

  // --- The element stays laid out; its own drawing (a browser's "plug-in not supported" bar,
  // an <object>'s fallback) is hidden, and kept hidden whatever the page's script writes ---

  const sizeOf = (value, fallback) =>
    value !== null && /^\s*\d+(\.\d+)?\s*$/.test(value) ? `${parseFloat(value)}px` : fallback;

  function hideDrawing(o) {
    const e = o.element;
    if (e.style.getPropertyValue("opacity") !== "0" || e.style.getPropertyPriority("opacity") !== "important")
      e.style.setProperty("opacity", "0", "important");
    // An element no plug-in takes lays out as an inline box (Firefox's <embed>, an <object>'s
    // fallback content); a plug-in's box was a replaced one, of its attributes' size (300 x 150
    // without them) where the page's style sheets give none. What was set here before, and the
    // page left, is taken back first, to see the page's own layout.
    for (const [name, value] of Object.entries(o.own)) if (e.style.getPropertyValue(name) === value) e.style.removeProperty(name);
    o.own = {};
    const style = getComputedStyle(e);
    const set = (name, value) => { e.style.setProperty(name, value); o.own[name] = e.style.getPropertyValue(name); };
    if (style.display === "inline") {
      set("display", "inline-block");
      set("overflow", "hidden");
      if (style.width === "auto") set("width", sizeOf(e.getAttribute("width"), "300px"));
      if (style.height === "auto") set("height", sizeOf(e.getAttribute("height"), "150px"));
    }
    o.wrote = e.getAttribute("style");
  }

  // The page's own changes to the element's style or size: its drawing stays hidden, its box
  // the page's. The changes made here come back too, and are let be.
  const styleWatch = new MutationObserver((records) => {
    for (const r of records) {
      const o = byElement.get(r.target);
      if (o && (r.attributeName !== "style" || r.target.getAttribute("style") !== o.wrote)) hideDrawing(o);
    }
  });

  // --- The placeholder: a box over the element's, in the top layer, its words in a closed
  // shadow root. Its own attributes and style say nothing of the object's state. ---

  // Each state's sentence (the extension's _locales), and the links that help there: where to
  // get the client (an administrator's address, when one is set) and the options page.
  const WORDS = {
    waiting: ["stateWaiting"],
    blocked: ["stateBlocked"],
    accepted: null,
    refused: ["stateRefused"],
    "no-host": ["stateNoHost", "download"],
    "not-configured": ["stateNotConfigured", "options"],
    missing: ["stateMissing", "download", "options"],
    "no-client": ["stateNoClient", "options"],
    full: ["stateFull"],
    gone: ["stateGone"],
  };

  function makePlaceholder(o) {
    const host = document.createElement("div");
    host.setAttribute("popover", "manual");
    const shadow = host.attachShadow({ mode: "closed" });
    const words = document.createElement("div");
    words.style.cssText = "box-sizing:border-box;width:100%;height:100%;overflow:hidden;" +
      "font:12px sans-serif;padding:4px;color:#9ab;background:#202830;cursor:default";
    shadow.appendChild(words);
    words.addEventListener("click", (event) => allowByClick(o, event));
    o.host = host;
    o.words = words;
  }

  function link(text, onClick, href) {
    const a = document.createElement("a");
    a.textContent = text;
    a.style.cssText = "color:#cde;margin-left:6px;text-decoration:underline;cursor:pointer";
    if (href) {
      a.href = href;
      a.target = "_blank";
      a.rel = "noopener noreferrer";
    }
    if (onClick) a.addEventListener("click", onClick);
    return a;
  }

  function setState(o, state, download) {
    o.state = state;
    const [name, ...links] = state in WORDS ? WORDS[state] || [] : WORDS.gone;
    o.words.replaceChildren();
    if (name) o.words.append(chrome.i18n.getMessage(name, [location.host]));
    for (const which of links) {
      if (which === "download" && download) o.words.append(link(chrome.i18n.getMessage("linkGetClient"), null, download));
      if (which === "options") {
        o.words.append(link(chrome.i18n.getMessage("linkOptions"), (event) => {
          event.preventDefault();
          if (event.isTrusted) send({ type: "options" });
        }));
      }
    }
    o.words.style.background = state === "accepted" ? "transparent" : state === "blocked" ? "#303a48" : "#202830";
    o.words.style.cursor = state === "blocked" ? "pointer" : "default";
  }

  // A person's click, and only on a placeholder they can see: the browser's own click (a
  // page's script cannot make one trusted), on the uppermost element there, drawn opaque.
  function allowByClick(o, event) {
    if (!event.isTrusted || o.state !== "blocked") return;
    const style = getComputedStyle(o.host);
    if (document.elementFromPoint(event.clientX, event.clientY) !== o.host) return;
    if (style.opacity !== "1" || style.visibility !== "visible" || style.filter !== "none") return;
    send({ type: "allow" });
  }

  function placeHost(o, box) {
    const host = o.host;
    if (!host.isConnected) document.documentElement.appendChild(host);
    const css = box
      ? `position:fixed!important;inset:auto!important;left:${box.x}px!important;top:${box.y}px!important;` +
        `width:${box.w}px!important;height:${box.h}px!important;`
      : "position:fixed!important;inset:auto!important;left:0!important;top:0!important;width:0!important;height:0!important;";
    const text = css + "display:block!important;margin:0!important;padding:0!important;border:0!important;" +
      "background:transparent!important;overflow:hidden!important;opacity:1!important;visibility:visible!important;" +
      "filter:none!important;transform:none!important;pointer-events:auto!important;z-index:2147483647!important";
    if (o.hostCss !== text || host.getAttribute("style") !== o.hostStyle) {
      host.setAttribute("style", text);
      o.hostCss = text;
      o.hostStyle = host.getAttribute("style");
    }
    try {
      if (!host.matches(":popover-open")) host.showPopover();
    } catch (e) { /* not shown: the box stays in the document's own layer */ }
  }

  // --- Objects come and go ---

  function adopt(element) {
    if (byElement.has(element) || !isKelvora(element)) return;
    const o = { key: nextKey++, element, state: "", started: false, own: {} };
    makePlaceholder(o);
    byElement.set(element, o);
    objects.set(o.key, o);
    hideDrawing(o);
    styleWatch.observe(element, { attributes: true, attributeFilter: ["style", "width", "height"] });
    start(o);
  }

  function start(o) {
    setState(o, "waiting");
    o.started = true;
    o.streamed = false;
    send({ type: "new", key: o.key, attributes: attributesOf(o.element) });
  }

  function drop(o) {
    objects.delete(o.key);
    byElement.delete(o.element);
    o.host.remove();
    if (o.started) send({ type: "destroy", key: o.key });
  }

  async function streamLinkFile(o) {
    const source = sourceOf(o.element);
    if (!source || o.streamed) return;
    o.streamed = true;
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
        if (objects.get(o.key) !== o || !o.started) { reader.cancel(); return; }
        const piece = pending.subarray(0, CHUNK);
        pending = pending.subarray(piece.length);
        send({ type: "stream", key: o.key, offset, bytes: base64(piece), end: done && pending.length === 0 });
        offset += piece.length;
      }
      if (done) return;
    }
  }

  function base64(bytes) {
    let text = "";
    for (let i = 0; i < bytes.length; i += 8192)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return btoa(text);
  }

  function fromWorker(message) {
    if (message.type === "allowed") {
      for (const o of objects.values()) if (o.state === "blocked") start(o);
      return;
    }
    if (message.type === "notice") {
      // Only objects the client took: one refused or too many never had it.
      if (message.notice === "client-gone") for (const o of objects.values()) if (o.state === "accepted") setState(o, "gone");
      return;
    }
    const o = objects.get(message.key);
    if (!o || !o.started) return;
    const download = typeof message.download === "string" ? message.download : "";
    if (message.type === "new") {
      setState(o, typeof message.result === "string" ? message.result : "gone", download);
      if (message.result === "accepted") streamLinkFile(o);
    } else if (message.type === "gone") {
      setState(o, message.state === "no-host" ? "no-host" : "gone", download);
    }
  }

  // --- Where things are: each object's box and each child frame's, in this frame's viewport,
  // in device pixels. The viewport is the visual viewport: no page style can widen it. ---

  function contentBox(element) {
    const r = element.getBoundingClientRect();
    const s = getComputedStyle(element);
    const px = (v) => parseFloat(v) || 0;
    const left = r.left + px(s.borderLeftWidth) + px(s.paddingLeft);
    const top = r.top + px(s.borderTopWidth) + px(s.paddingTop);
    const right = r.right - px(s.borderRightWidth) - px(s.paddingRight);
    const bottom = r.bottom - px(s.borderBottomWidth) - px(s.paddingBottom);
    return { x: left, y: top, w: Math.max(0, right - left), h: Math.max(0, bottom - top) };
  }

  function layout() {
    const vv = window.visualViewport;
    const scale = (vv ? vv.scale : 1) * (window.devicePixelRatio || 1);
    const ox = vv ? vv.offsetLeft : 0, oy = vv ? vv.offsetTop : 0;
    // Edges rounded, not sizes: neighbours stay neighbours.
    const device = (b) => {
      const x = Math.round((b.x - ox) * scale), y = Math.round((b.y - oy) * scale);
      return [x, y, Math.round((b.x - ox + b.w) * scale) - x, Math.round((b.y - oy + b.h) * scale) - y];
    };
    const view = vv ? [vv.width, vv.height] : [innerWidth, innerHeight];
    const dpr = window.devicePixelRatio || 1;
    const report = {
      type: "layout",
      view: view.map((v) => Math.round(v * scale)),
      page: document.visibilityState === "visible",
      objects: [],
      frames: [],
    };
    if (window === window.top) {
      // The viewport's corner on the screen: Firefox says it; Chromium's service worker works
      // it out from the window's place and sizes and the tab's zoom, which it knows.
      report.screen = typeof window.mozInnerScreenX === "number"
        ? { inner: [window.mozInnerScreenX * dpr, window.mozInnerScreenY * dpr] }
        : { x: screenX, y: screenY, outer: [outerWidth, outerHeight], inner: [innerWidth, innerHeight], dpr };
    }
    for (const o of objects.values()) {
      const e = o.element;
      const box = contentBox(e);
      const shown = e.isConnected && box.w > 0 && box.h > 0 &&
        (typeof e.checkVisibility !== "function" || e.checkVisibility({ visibilityProperty: true }));
      placeHost(o, shown ? box : null);
      if (o.started) report.objects.push([o.key, ...device(box), shown]);
    }
    for (const [token, element] of children) {
      if (!element.isConnected) { children.delete(token); continue; }
      report.frames.push([token, ...device(contentBox(element))]);
    }
    return report;
  }

  // Measured once per frame drawn: layout, scrolling, zoom, resizing and the window's moves all
  // show there. Sent when it changed; else a short "alive" now and then, which a busy or hung
  // page stops sending.
  function follow() {
    if (ticking) return;
    ticking = true;
    requestAnimationFrame(function tick() {
      if (!live || !port || (objects.size === 0 && children.size === 0)) { ticking = false; return; }
      const report = layout();
      const text = JSON.stringify(report);
      if (text !== lastLayout) {
        lastLayout = text;
        send(report);
      } else if (performance.now() - lastSent >= ALIVE_MS) {
        send({ type: "alive" });
      }
      requestAnimationFrame(tick);
    });
  }

  // --- Frames: a child frame's script asks this one for a token naming its frame element;
  // this frame then reports that element's box under the token. A frame whose parent never
  // answers is never placed, and its objects never play. ---

  function askPlace() {
    try { window.parent.postMessage({ kelvora: "place?" }, "*"); } catch (e) { /* no parent */ }
  }

  function onMessage(event) {
    const data = event.data;
    if (!data || typeof data !== "object" || typeof data.kelvora !== "string") return;
    if (data.kelvora === "place?" && event.source) {
      for (const element of document.querySelectorAll("iframe, frame, object")) {
        if (element.contentWindow !== event.source) continue;
        let token = tokens.get(element);
        if (!token) {
          token = crypto.randomUUID();
          tokens.set(element, token);
        }
        children.set(token, element);
        event.source.postMessage({ kelvora: "place", token }, "*");
        lastLayout = "";
        connect();
        follow();
        return;
      }
    } else if (data.kelvora === "place" && event.source === window.parent && typeof data.token === "string") {
      if (place === data.token) return;
      place = data.token;
      if (port) port.postMessage({ type: "place", token: place });
    }
  }

  // --- The page's life: leaving it (pagehide, Firefox's back-forward cache too) ends its
  // objects as a plug-in page did; coming back from that cache starts them again. ---

  function leave() {
    if (!live) return;
    for (const o of objects.values()) {
      if (o.started) send({ type: "destroy", key: o.key });
      o.started = false;
    }
    live = false;
    if (port) port.disconnect();
    port = null;
  }

  function scan(root) {
    if (root.nodeType !== Node.ELEMENT_NODE) return;
    if (root.localName === "embed" || root.localName === "object") adopt(root);
    for (const e of root.querySelectorAll("embed, object")) adopt(e);
  }

  const watch = new MutationObserver((mutations) => {
    // An object the page took out of the document ends with it, before the new ones begin:
    // a page that swaps objects at the limit of 20 gets its new one.
    for (const o of [...objects.values()]) if (!o.element.isConnected) drop(o);
    for (const m of mutations) for (const n of m.addedNodes) scan(n);
  });

  function begin() {
    live = true;
    if (objects.size > 0) for (const o of objects.values()) start(o);
    watch.observe(document, { childList: true, subtree: true });
    scan(document.documentElement);
  }

  // Listeners first of all, before any script of the page can stand in front of them.
  window.addEventListener("message", onMessage, true);
  window.addEventListener("pagehide", leave, true);
  window.addEventListener("pageshow", (event) => {
    if (event.persisted && !live) begin();
  }, true);
  // An <object>'s <param>s are parsed after the element itself: objects are found once the
  // document is parsed, as the plug-in's script did.
  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", begin, true);
  else begin();
})();
