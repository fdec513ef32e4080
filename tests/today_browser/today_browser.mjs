// Today's browsers with the extension and the host: Debian's chromium and firefox-esr under
// the Wine session's Xvfb display, each with a private HOME, the extension loaded as a
// developer would load it, the host (bin/zurov-link.exe) registered for it and started under
// Wine, and pages served from http://127.0.0.1. Shared by the test (browser_test.mjs), the
// demo (demo.mjs) and the benchmark (bench.mjs). Every wait is for a file, a log line or a
// request, with a ceiling only against a run that went wrong.
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

export const ROOT = path.resolve(path.dirname(new URL(import.meta.url).pathname), "../..");
export const EXTENSION_ID = "jfnmbioigbnhmkapcieohemahcjadndf";  // from the manifest's key
export const GECKO_ID = "kelvora-link@kelvora.com";
export const HOST_NAME = "com.kelvora.link";
export const GECKO_UUID = "5b0c2a1e-7d3f-4c55-9a8e-0f1e2d3c4b5a";  // the extension's moz-extension: host
export const OPTIONS_URL = { chromium: `chrome-extension://${EXTENSION_ID}/options.html`,
                             firefox: `moz-extension://${GECKO_UUID}/options.html` };
const SCALE = Number(process.env.ZUROV_WAIT_SCALE || 1);

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
export const winpath = (p) => "Z:" + p.replaceAll("/", "\\");

// Resolves with check()'s first truthy value, looked at every 50 ms; fails after `limitMs`.
export async function waitFor(what, check, limitMs = 60000) {
  const end = Date.now() + limitMs * SCALE;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`gave up waiting for ${what}`);
    await sleep(50);
  }
}

// Serves `dir` on `host` (127.0.0.1); a request to /report?... is handed to onReport (its query
// and body), and answered once onReport's promise settles, with the text it gives ("ok"
// without one): the page waits for the harness.
export function serve(dir, onReport = () => {}, host = "127.0.0.1") {
  const types = { ".html": "text/html; charset=utf-8", ".kvl": "application/x-kvla", ".js": "text/javascript" };
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://127.0.0.1");
    if (url.pathname === "/report") {
      let body = "";
      req.on("data", (c) => (body += c));
      req.on("end", async () => {
        let answer = "ok";
        try {
          const given = await onReport(url.searchParams, body);
          if (typeof given === "string") answer = given;
        } catch (e) { answer = `failed: ${e.message}`; }
        res.end(answer);
      });
      return;
    }
    const file = path.join(dir, path.normalize(decodeURIComponent(url.pathname)).replace(/^(\.\.[/\\])+/, ""));
    fs.readFile(file, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { "content-type": types[path.extname(file)] || "application/octet-stream" });
      res.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, host, () => resolve({
    url: `http://${host}:${server.address().port}`, port: server.address().port, close: () => server.close() })));
}

export function readLinkmonLog(file) {
  if (!fs.existsSync(file)) return [];
  return fs.readFileSync(file, "utf8").split("\n").filter((l) => l.endsWith("}")).map((l) => JSON.parse(l));
}
export const messages = (file) => readLinkmonLog(file).filter((e) => e.event === "message");
export const count = (file, name) => messages(file).filter((m) => m.name === name).length;
// Every object linkmon was told of (its log `file`) has had its LINKMSG_DESTROY.
export const allObjectsEnded = (file, what = "every object destroyed", limitMs = 60000) =>
  waitFor(what, () => count(file, "LINKMSG_NEW") === count(file, "LINKMSG_DESTROY"), limitMs);

// A Windows program of the session, its output appended to the file `log`, shown ("inherit")
// or dropped (none), with the variables of `env` added.
export function wine(session, args, log, env = {}) {
  const out = log === "inherit" ? "inherit" : log ? fs.openSync(log, "a") : "ignore";
  return spawn(path.join(ROOT, "cmake/wine-run.sh"), args, {
    env: { ...process.env, ...env, WINE_SESSION: session }, stdio: ["ignore", out, out] });
}
export function wineSync(session, args) {
  return execFileSync(path.join(ROOT, "cmake/wine-run.sh"), args,
                      { env: { ...process.env, WINE_SESSION: session }, encoding: "utf8" });
}

// The host's object windows as object_windows.exe lists them now: each line's words.
export const objectWindows = (session, bin) => wineSync(session, [path.join(bin, "object_windows.exe")])
  .trim().split(/\r?\n/).filter(Boolean).map((l) => l.split(" "));

// linkmon logging to `log`, with more of its options in `args`, its output as wine() takes
// it; resolves once its window is there.
export async function startLinkmon(session, bin, log, args = [], output = undefined) {
  fs.rmSync(log, { force: true });
  const child = wine(session, [path.join(bin, "linkmon.exe"), "--quiet", ...args, "--log", winpath(log)], output);
  await waitFor("linkmon's window", () => readLinkmonLog(log).some((e) => e.event === "window"));
  return child;
}

// The client whose picture the picture tests and the demos look at, logging to `log`: the
// sample client (examples/client), or linkmon, which draws nothing, when ZUROV_PICTURE_CLIENT
// is "linkmon" (every picture test must then fail). Resolves once its link window is there.
export async function startPictureClient(session, bin, log, output) {
  if (process.env.ZUROV_PICTURE_CLIENT === "linkmon") return startLinkmon(session, bin, log, [], output);
  fs.rmSync(log, { force: true });
  const child = wine(session, [path.join(bin, "kelvora_client.exe")], output, { KELVORA_SAMPLE_LOG: winpath(log) });
  await waitFor("the sample client's window", () => fs.existsSync(log) && fs.readFileSync(log, "utf8").startsWith("ready"));
  return child;
}

// The client's picture on the session's screen (tools/picturecheck): resolves with
// picturecheck's report once `lent` windows are lent to the client and each one in view shows
// it; fails with the last report after `limitMs`.
export async function pictureShown(session, bin, log, lent, limitMs = 120000) {
  let report = "";
  await waitFor(`the client's picture in every box in view, of ${lent}`, () => {
    try {
      report = wineSync(session, [path.join(bin, "picturecheck.exe"), winpath(log)]);
      return report.startsWith(`${lent} windows lent`);
    } catch (e) {
      report = `${e.stdout || ""}${e.stderr || ""}`;
      return false;
    }
  }, limitMs).catch((e) => { throw new Error(`${e.message}:\n${report}`); });
  return report;
}

export function stop(child) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null || child.signalCode !== null) return resolve();
    child.once("exit", () => resolve());
    child.kill("SIGTERM");
  });
}

// The host as the browsers start it: a script that runs it under the session's Wine, or runs
// `command` instead.
function hostManifest(home, session, bin, command, allowed) {
  const script = path.join(home, "zurov-link.sh");
  const host = command || `WINE_SESSION='${session}' exec '${ROOT}/cmake/wine-run.sh' '${path.join(bin, "zurov-link.exe")}' "$@"`;
  fs.writeFileSync(script, `#!/bin/sh\n${host}\n`, { mode: 0o755 });
  return JSON.stringify({ name: HOST_NAME, description: "Kelvora link host", path: script, type: "stdio", ...allowed }, null, 2);
}

// The administrator's route to allow sites: both browsers' machine-wide policy files, written
// with `sites` as the extension's allowedSites, under the machine's policy lock, which is held
// until release() and kept while the files exist; a shell under the lock removes them when
// released, or when this process dies. With no sites, no file is there while the lock is held.
export const POLICY_LOCK = "/var/lock/zurov-browser-policies.lock";
const POLICY_FILES = ["/etc/chromium/policies/managed/kelvora-link-tests.json",
                      "/usr/lib/firefox-esr/distribution/policies.json"];
export async function allowSites(sites, more = {}) {
  const policy = { allowedSites: sites, ...more };
  const texts = [JSON.stringify({ "3rdparty": { extensions: { [EXTENSION_ID]: policy } } }),
                 JSON.stringify({ policies: { "3rdparty": { Extensions: { [GECKO_ID]: policy } } } })];
  const write = sites.length ? 'mkdir -p "${1%/*}" && printf %s "$3" >"$1" && printf %s "$4" >"$2" &&' : "";
  const script = `trap 'rm -f "$1" "$2"' EXIT HUP INT TERM; rm -f "$1" "$2"; ${write} echo locked; cat >/dev/null`;
  const child = spawn("flock", [POLICY_LOCK, "sh", "-c", script, "sh", ...POLICY_FILES, ...texts],
                      { stdio: ["pipe", "pipe", "inherit"] });
  let out = "";
  child.stdout.on("data", (d) => (out += d));
  await waitFor("the browser policy lock", () => out.includes("locked") || child.exitCode !== null, 3600000);
  if (!out.includes("locked")) throw new Error("the browser policy files could not be written");
  return () => new Promise((resolve) => { child.once("exit", resolve); child.stdin.end(); });
}

// The environment of a program on the session's display.
const onDisplay = (session) => ({ ...process.env, DISPLAY: fs.readFileSync(path.join(session, "display"), "utf8").trim() });

// Trusted input through the X server's XTEST, as a person's: xdotool's arguments.
export const xdotool = (session, args) => execFileSync("xdotool", args, { env: onDisplay(session), encoding: "utf8" });

// The screen as RGB rows (ImageMagick's import, read as PPM), kept as `keep` (a PNG) if given.
export function screenshot(session, keep) {
  if (keep) execFileSync("import", ["-window", "root", keep], { env: onDisplay(session) });
  const ppm = execFileSync("import", ["-window", "root", "-depth", "8", "ppm:-"], { env: onDisplay(session), maxBuffer: 64 << 20 });
  const [header, width, height] = ppm.toString("latin1", 0, 40).match(/^P6\s+(\d+)\s+(\d+)\s+255\s/).map((v, i) => (i ? Number(v) : v));
  const at = (x, y) => [...ppm.subarray(header.length + 3 * (y * width + x), header.length + 3 * (y * width + x) + 3)];
  return { width, height, at };
}

// Starts `browser` (chromium or firefox) on `url` with a fresh private HOME under `work`.
// `host` optionally is another host's shell command, or false for no host registered at all;
// `extension` another folder to load the extension from (the benchmark's earlier version);
// `remote` opens the browser's own protocol to the harness (see remote()).
export function launchBrowser(browser, { work, session, bin, url, host, remote = false, extension = path.join(ROOT, "extension") }) {
  const home = path.join(work, `home-${browser}`);
  fs.rmSync(home, { recursive: true, force: true });
  fs.mkdirSync(home, { recursive: true });
  const env = { ...onDisplay(session), HOME: home, XDG_CONFIG_HOME: path.join(home, ".config"),
                XDG_CACHE_HOME: path.join(home, ".cache"), MOZ_CRASHREPORTER_DISABLE: "1" };
  const out = fs.openSync(path.join(work, `${browser}.log`), "w");
  if (browser === "chromium") {
    const profile = path.join(home, "profile");
    fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), { recursive: true });
    if (host !== false)
      fs.writeFileSync(path.join(profile, "NativeMessagingHosts", `${HOST_NAME}.json`),
                       hostManifest(home, session, bin, host, { allowed_origins: [`chrome-extension://${EXTENSION_ID}/`] }));
    return spawn("chromium", [`--user-data-dir=${profile}`, `--load-extension=${extension}`,
      "--disable-features=DisableLoadExtensionCommandLineSwitch", "--no-sandbox", "--no-first-run",
      "--no-default-browser-check", "--disable-gpu", "--password-store=basic", "--window-position=0,0",
      "--window-size=1000,960", ...(remote ? ["--remote-debugging-pipe"] : []), url],
      { env, stdio: ["ignore", out, out, ...(remote ? ["pipe", "pipe"] : [])] });
  }
  const hosts = path.join(home, ".mozilla", "native-messaging-hosts");
  fs.mkdirSync(hosts, { recursive: true });
  if (host !== false)
    fs.writeFileSync(path.join(hosts, `${HOST_NAME}.json`),
                     hostManifest(home, session, bin, host, { allowed_extensions: [GECKO_ID] }));
  const profile = path.join(home, "profile");
  fs.mkdirSync(path.join(profile, "extensions"), { recursive: true });
  execFileSync("python3", ["-m", "zipfile", "-c", path.join(profile, "extensions", `${GECKO_ID}.xpi`),
                           ...fs.readdirSync(extension)], { cwd: extension });
  const prefs = { "xpinstall.signatures.required": false, "extensions.autoDisableScopes": 0,
    "extensions.enabledScopes": 15, "browser.shell.checkDefaultBrowser": false,
    "browser.startup.homepage_override.mstone": "ignore", "datareporting.policy.dataSubmissionEnabled": false,
    "toolkit.telemetry.reportingpolicy.firstRun": false, "browser.aboutwelcome.enabled": false,
    "app.update.disabledForTesting": true, "browser.tabs.warnOnClose": false,
    "extensions.webextensions.uuids": JSON.stringify({ [GECKO_ID]: GECKO_UUID }) };
  fs.writeFileSync(path.join(profile, "user.js"),
                   Object.entries(prefs).map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});\n`).join(""));
  return spawn("firefox-esr", ["--profile", profile, "--no-remote", "--new-instance", "--width", "1000",
                               "--height", "960", ...(remote ? ["--remote-debugging-port", "0"] : []), url],
               { env, stdio: ["ignore", out, out] });
}

// The browser's own protocol, which sees into closed shadow roots as page scripts cannot:
// Chromium's DevTools protocol on --remote-debugging-pipe, Firefox's WebDriver BiDi (node's
// WebSocket: --experimental-websocket). Start the browser on OPTIONS_URL; go(url) shows a page,
// options() the options page anew, evaluate(expression) gives a JSON value from the one shown,
// placeholders() each placeholder's [words, [[link text, href], ...]]. Firefox's BiDi takes no
// tab to an extension's page: there the options page keeps its tab, the pages have another.
export async function remote(browser, child, work) {
  let [waiting, next] = [new Map(), 1];
  const text = (n) => (n.children || []).map((c) => (c.value || c).nodeValue).join("");
  const href = (at = []) => (Array.isArray(at) ? (at.includes("href") ? at[at.indexOf("href") + 1] : "") : at.href || "");
  const call = (write, method, params, more = {}) => new Promise((resolve, reject) => {
    const id = next++;
    waiting.set(id, (m) => (m.error ? reject(new Error(`${method}: ${m.error} ${m.message || ""}`)) : resolve(m.result)));
    write(JSON.stringify({ id, method, params, ...more }));
  });
  const answer = (m) => waiting.get(m.id)?.(m, waiting.delete(m.id));
  // The words (the first text) and links of a placeholder's shadow root, from either protocol's nodes.
  const read = (root) => {
    const [words, links] = [[], []];
    (function walk(n) {
      if (n.nodeType === 3) words.push(n.nodeValue);
      else if (n.localName === "a") links.push([text(n), href(n.attributes)]);
      else (n.children || []).forEach((c) => walk(c.value || c));
    })(root);
    return [words[0] || "", links];
  };
  if (browser === "chromium") {
    let buffer = "";
    child.stdio[4].on("data", (d) => {
      for (buffer += d; buffer.includes("\0"); buffer = buffer.slice(buffer.indexOf("\0") + 1)) answer(JSON.parse(buffer.slice(0, buffer.indexOf("\0"))));
    });
    const send = (method, params = {}, sessionId) => call((m) => child.stdio[3].write(m + "\0"), method, params, sessionId ? { sessionId } : {});
    const page = await waitFor("the first tab", async () => (await send("Target.getTargets")).targetInfos.find((i) => i.type === "page"));
    const { sessionId } = await send("Target.attachToTarget", { targetId: page.targetId, flatten: true });
    const go = (url) => send("Page.navigate", { url }, sessionId);
    const found = (n) => [...(n.attributes?.includes("popover") ? (n.shadowRoots || []).map(read) : []),
                          ...[...(n.children || []), ...(n.contentDocument ? [n.contentDocument] : [])].flatMap(found)];
    return { go, options: () => go(OPTIONS_URL.chromium),
      evaluate: async (expression) => (await send("Runtime.evaluate", { expression, returnByValue: true }, sessionId)).result.value,
      placeholders: async () => found((await send("DOM.getDocument", { depth: -1, pierce: true }, sessionId)).root) };
  }
  const port = await waitFor("Firefox's WebDriver BiDi", () =>
    (/WebDriver BiDi listening on ws:\/\/[^:]+:(\d+)/.exec(fs.readFileSync(path.join(work, "firefox.log"), "utf8")) || [])[1]);
  const socket = new WebSocket(`ws://127.0.0.1:${port}/session`);
  await new Promise((resolve, reject) => Object.assign(socket, { onopen: resolve, onerror: reject }));
  socket.onmessage = (e) => answer(JSON.parse(e.data));
  const send = (method, params = {}) => call((m) => socket.send(m), method, params);
  await send("session.new", { capabilities: {} });
  const tabs = { options: (await send("browsingContext.getTree", { maxDepth: 0 })).contexts[0].context };
  const show = async (tab) => (await send("browsingContext.activate", { context: (tabs.shown = tab) }), tab);
  const run = async (expression, more = {}) => {
    const r = await send("script.evaluate", { expression, target: { context: tabs.shown }, awaitPromise: true, ...more });
    if (r.type !== "success") throw new Error(`${expression}: ${JSON.stringify(r.exceptionDetails)}`);
    return r.result;
  };
  return {
    go: async (url) => send("browsingContext.navigate", { context: await show(tabs.page ||= (await send("browsingContext.create", { type: "tab" })).context), url, wait: "complete" }),
    options: async () => send("browsingContext.reload", { context: await show(tabs.options), wait: "complete" }),
    evaluate: async (expression) => JSON.parse((await run(`JSON.stringify(${expression})`)).value ?? "null"),
    placeholders: async () => (await run(`[...document.querySelectorAll("[popover]")]`, { resultOwnership: "none",
      serializationOptions: { maxDomDepth: 8, includeShadowTree: "all" } })).value.flatMap((h) => (h.value.shadowRoot ? [read(h.value.shadowRoot.value)] : [])),
    close: () => socket.close() };
}

// Each object's link messages in order, one line each: the name, then the payload in hex (for
// LINKMSG_SET_WINDOW only whether the window is null: handles differ per run). LINKMSG_PAINT
// is left out: it comes when a window is painted, which pagerunner never does. The objects
// sorted, since browsers create them in different orders.
export function traces(entries) {
  const objects = new Map();
  for (const m of entries) {
    if (m.name === "LINKMSG_PAINT") continue;
    const id = m.code === 1000 ? m.reply >>> 16 : m.linkId;
    const payload = m.code === 1020 ? (/^0{8}/.test(m.data) ? "null" : "window") : m.data;
    if (!objects.has(id)) objects.set(id, []);
    objects.get(id).push(`${m.name} ${payload}`);
  }
  return [...objects.values()].sort((a, b) => (a.join() < b.join() ? -1 : a.join() > b.join() ? 1 : 0));
}

// pagerunner's chromium family on `page` through the module, with `log`'s linkmon as client.
export async function pagerunnerTraces(session, bin, page, log) {
  const linkmon = await startLinkmon(session, bin, log);
  wineSync(session, [path.join(bin, "pagerunner.exe"), "--browser=chromium",
                     path.join(ROOT, "dist/win64/ZUROV.DLL"), page]);
  await stop(linkmon);
  return traces(messages(log));
}
