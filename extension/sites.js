// Which sites may play: those a person allowed with a click on a placeholder (storage.local,
// "allowedSites": origins), and those an administrator lists (storage.managed, "allowedSites":
// match patterns as the browsers' extension match patterns). Read by the service worker and
// the options page; nothing of it is in a page's reach.
"use strict";

// Whether `url` (http or https) matches `pattern`: "<all_urls>", or scheme://host/path with
// scheme "*", "http" or "https"; host "*", "*.name" (the name and every name under it) or a
// name, with a port only when the pattern names one; a path where "*" stands for any text.
function matchesPattern(pattern, url) {
  let u;
  try { u = new URL(url); } catch (e) { return false; }
  if (typeof pattern !== "string" || (u.protocol !== "http:" && u.protocol !== "https:")) return false;
  if (pattern === "<all_urls>") return true;
  const m = /^(\*|https?):\/\/(\*|(?:\*\.)?[^/*:]+)(?::(\d+))?(\/.*)$/.exec(pattern);
  if (!m) return false;
  const [, scheme, host, port, path] = m;
  if (scheme !== "*" && `${scheme}:` !== u.protocol) return false;
  if (port !== undefined && port !== (u.port || (u.protocol === "http:" ? "80" : "443"))) return false;
  const name = host.toLowerCase();
  if (name.startsWith("*.")) {
    if (u.hostname !== name.slice(2) && !u.hostname.endsWith(name.slice(1))) return false;
  } else if (name !== "*" && u.hostname !== name) {
    return false;
  }
  const glob = path.split("*").map((p) => p.replace(/[.+?^${}()|[\]\\]/g, "\\$&")).join(".*");
  return new RegExp(`^${glob}$`).test(u.pathname + u.search);
}

const sites = {
  person: [],      // origins, as a person allowed them
  managed: [],     // match patterns, as an administrator listed them
  loaded: null,    // resolves once both lists are read

  allows(url) {
    let origin;
    try { origin = new URL(url).origin; } catch (e) { return false; }
    return this.person.includes(origin) || this.managed.some((p) => matchesPattern(p, url));
  },

  load() {
    const person = chrome.storage.local.get("allowedSites").then((v) => v.allowedSites, () => []);
    // No policy, or a browser without managed storage: nothing is listed.
    const managed = chrome.storage.managed.get("allowedSites").then((v) => v.allowedSites, () => []);
    this.loaded = Promise.all([person, managed]).then(([p, m]) => {
      this.person = Array.isArray(p) ? p.filter((s) => typeof s === "string") : [];
      this.managed = Array.isArray(m) ? m.filter((s) => typeof s === "string") : [];
    });
    return this.loaded;
  },

  // A person's click allows the origin of the frame it came from, as the browser named it.
  async allow(origin) {
    await this.loaded;
    if (this.person.includes(origin)) return;
    await chrome.storage.local.set({ allowedSites: [...this.person, origin] });
  },

  async revoke(origin) {
    await this.loaded;
    await chrome.storage.local.set({ allowedSites: this.person.filter((s) => s !== origin) });
  },
};
