// node --experimental-websocket words_test.mjs chromium|firefox: what a person reads (t.remote),
// each state kept as build/words-STATE-BROWSER.png or options-STATE-BROWSER.png: no host; the
// host and linkmon; a stand-in for a host older than "hello". Environment as browser_test's.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const [browser, session, bin] = [process.argv[2], process.env.WINE_SESSION, process.env.ZUROV_BIN];
const work = path.join(process.env.ZUROV_WORK, `words-${browser}`);
const [log, pages] = [path.join(work, "linkmon.jsonl"), path.join(work, "pages")];
const words = JSON.parse(fs.readFileSync(path.join(t.ROOT, "extension/_locales/en/messages.json"), "utf8"));
const say = (name, value = "") => words[name].message.replace(/\$[A-Z]+\$/, value);
const version = execFileSync("bash", [path.join(t.ROOT, "installer/product-version.sh")], { encoding: "utf8" }).trim();
const DOWNLOAD = "https://kelvora.example/get";
const K = '<embed type="application/x-kvla" server=words width=300 height=40 style="display:block;margin:4px">';
fs.mkdirSync(pages, { recursive: true });
fs.writeFileSync(path.join(pages, "one.html"), `<!DOCTYPE html><meta charset="utf-8">${K}`);
fs.writeFileSync(path.join(pages, "many.html"), `<!DOCTYPE html><meta charset="utf-8">${K.repeat(21)}`);
const [server, stranger] = [await t.serve(pages), await t.serve(pages, () => {}, "127.0.0.2")];
const release = await t.allowSites(["http://127.0.0.1/*"], { clientDownloadUrl: DOWNLOAD });
const [failures, keep] = [[], (name) => t.screenshot(session, path.join(process.env.ZUROV_WORK, "..", `${name}-${browser}.png`))];

// The browser with `host` (launchBrowser's) on `url`, through `steps`.
async function run(what, host, url, steps) {
  const child = t.launchBrowser(browser, { work, session, bin, url: t.OPTIONS_URL[browser], host, remote: true });
  const r = await t.remote(browser, child, work).catch((e) => failures.push(`${what}: ${e.message}`));
  await r?.go(url).then(() => steps(r)).catch((e) => failures.push(`${what}: ${e.message}`));
  r?.close?.();
  await t.stop(child);
}
// Until the page's placeholders read `want` ([words, links] each), or the options page's host
// and client lines pass `want` (a function).
async function reads(r, name, want) {
  let seen;
  if (typeof want === "function") await r.options();
  await t.waitFor(name, async () => {
    seen = await (typeof want === "function" ? r.evaluate("[host.textContent, client.textContent]") : r.placeholders()).catch(() => null);
    return seen && (typeof want === "function" ? want(...seen) : JSON.stringify(seen) === JSON.stringify(want));
  }).catch((e) => { throw new Error(`${e.message}: ${JSON.stringify(seen)}`); });
  keep(name);
}

await run("no host", false, `${server.url}/one.html`, async (r) => {
  await reads(r, "words-no-host", [[say("stateNoHost"), [[say("linkGetClient"), DOWNLOAD]]]]);
  await reads(r, "options-no-host", (h, c) => h === say("optionsHostMissing") && c === say("optionsClientUnknown"));
});
let linkmon = await t.startLinkmon(session, bin, log);
await run("the host", undefined, `${server.url}/many.html`, async (r) => {
  await reads(r, "words-full", [...Array(20).fill(["", []]), [say("stateFull"), []]]);
  await t.stop(linkmon);
  await t.waitFor("no window over the words", () => !t.objectWindows(session, bin).some((w) => w[0] === "shown"));
  await reads(r, "words-gone", [...Array(20).fill([say("stateGone"), []]), [say("stateFull"), []]]);
  linkmon = await t.startLinkmon(session, bin, log, ["--reply", "refuse"]);
  await r.go(`${server.url}/one.html`);
  await reads(r, "words-refused", [[say("stateRefused"), []]]);
  await reads(r, "options-host", (h, c) => h === say("optionsHostAnswers", version) && c.endsWith(say("optionsClientRunning")));
  await r.evaluate(`document.getElementById("find").click()`);
  await t.waitFor("the client found on request", async () => (await r.evaluate("found.textContent")) === say("resultRunning"));
  await r.go(`${stranger.url}/one.html`);
  await reads(r, "words-consent", [[say("stateBlocked", `127.0.0.2:${stranger.port}`), []]]);
});
await t.stop(linkmon);
await run("an older host", `exec node '${path.join(t.ROOT, "tests/today_browser/older_host.mjs")}'`, `${server.url}/one.html`, async (r) => {
  await reads(r, "words-older-host", [["", []]]);
  await reads(r, "options-older-host", (h) => h === say("optionsHostOlder"));
});
[server, stranger].forEach((s) => s.close());
await release();
assert.deepEqual(failures, [], `${browser}: the words a person reads`);
console.log(`${browser}: every placeholder's words and the options page as a person reads them`);
