// node browser_test.mjs chromium|firefox: the extension and the host in a browser of today.
// 1. pagerunner's chromium family plays examples/demo.html through the module: the reference.
// 2. The browser opens pages/dynamic.html: objects added and one removed (its window taken back
//    and its link destroyed while the page stays open), the page scrolled so that the host's
//    windows hide and back so that they show again; then the page goes on to demo.html, which
//    ends its own objects.
// 3. demo.html plays; the browser quits; the host destroys what it still holds.
// Every demo object's link messages must be pagerunner's; the page's script adds a ninth.
// Environment: WINE_SESSION, ZUROV_BIN (the win64 bin/), ZUROV_WORK (a folder for its files).
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const browser = process.argv[2];
const session = process.env.WINE_SESSION;
const bin = process.env.ZUROV_BIN;
const work = path.join(process.env.ZUROV_WORK, `today-${browser}`);
fs.mkdirSync(work, { recursive: true });
const log = path.join(work, "linkmon.jsonl");
const examples = path.join(t.ROOT, "examples");

const shown = () => t.objectWindows(session, bin).filter((w) => w[0] === "shown");

const expected = await t.pagerunnerTraces(session, bin, t.winpath(path.join(examples, "demo.html")),
                                          path.join(work, "pagerunner.jsonl"));
assert.equal(expected.length, 8, "pagerunner's objects");

const linkmon = await t.startLinkmon(session, bin, log);
const pages = fs.mkdtempSync(path.join(work, "pages-"));
for (const f of ["demo.html", "news.kvl"]) fs.copyFileSync(path.join(examples, f), path.join(pages, f));
fs.copyFileSync(path.join(t.ROOT, "tests/today_browser/pages/dynamic.html"), path.join(pages, "dynamic.html"));
const steps = [];
const release = await t.allowSites(["http://127.0.0.1/*"]);
const server = await t.serve(pages, async (query) => {
  const step = query.get("step");
  if (step === "accepted") {
    const made = Number(query.get("made"));
    return t.waitFor(`${made} objects made, three shown`, () => t.count(log, "LINKMSG_NEW") >= made && shown().length === 3, 60000);
  }
  // The host places a window when the page has drawn its frame: wait for what the step needs.
  if (step === "shown" || step === "back") await t.waitFor(`three shown windows (${step})`, () => shown().length === 3, 20000);
  if (step === "scrolled") await t.waitFor("no shown window", () => shown().length === 0, 20000);
  steps.push([step, t.objectWindows(session, bin)]);
});
const child = t.launchBrowser(browser, { work, session, bin, url: `${server.url}/dynamic.html` });
let failed = null;
try {
  const ofDemo = (m) => m.name === "LINKMSG_NEW" && !Buffer.from(m.data, "hex").includes("dyn-");
  await t.waitFor("the demo's nine objects and its link file", () => {
    const all = t.messages(log);
    return all.filter(ofDemo).length >= 9 && all.some((m) => m.name === "LINKMSG_STREAM_DATA");
  }, 180000);
  assert.deepEqual(steps.map((s) => s[0]), ["shown", "scrolled", "back"]);
  for (const [step, windows] of steps)
    for (const w of windows.filter((w) => w[0] === "shown")) assert.deepEqual(w.slice(3, 5), ["320", "40"], step);
} catch (e) {
  failed = e;
}
await t.stop(child);
server.close();
// The browser's end closes the host's input: it destroys every object it still holds.
await t.allObjectsEnded(log).catch((e) => (failed = failed || e));
await t.stop(linkmon);
await release();
if (failed) throw failed;

const all = t.messages(log);
const seen = t.traces(all.filter((m) => m.name !== "LINKMSG_PAINT"));
const dynamic = seen.filter((tr) => Buffer.from(tr[0].split(" ")[1], "hex").includes("dyn-"));
const demo = seen.filter((tr) => !dynamic.includes(tr));
// Each dynamic object: announced, lent its window, the window taken back, destroyed. The second
// went while the page was open: before the fourth was created.
assert.equal(dynamic.length, 4);
for (const tr of dynamic)
  assert.deepEqual(tr.map((l) => l.split(" ")[0] + (l.endsWith("window") || l.endsWith("null") ? " " + l.split(" ")[1] : "")),
                   ["LINKMSG_NEW", "LINKMSG_SET_WINDOW window", "LINKMSG_SET_WINDOW null", "LINKMSG_DESTROY"]);
const seqOf = (server, name) => all.find((m) => m.name === name &&
  (name === "LINKMSG_NEW" ? Buffer.from(m.data, "hex").includes(server) : m.linkId === idOf(server))).seq;
const idOf = (server) => all.find((m) => m.name === "LINKMSG_NEW" && Buffer.from(m.data, "hex").includes(server)).reply >>> 16;
assert.ok(seqOf("dyn-2", "LINKMSG_DESTROY") < seqOf("dyn-4", "LINKMSG_NEW"), "the removed object ended with its element");

const scripted = demo.findIndex((tr) => tr[0].includes(Buffer.from("scripted\0").toString("hex")));
assert.notEqual(scripted, -1, "the page's scripted object");
demo.splice(scripted, 1);
assert.deepEqual(demo, expected);
console.log(`${browser}: ${expected.length} objects as pagerunner's, the scripted ninth, and the dynamic page's four`);
for (const tr of demo) console.log("  " + tr.map((l) => l.split(" ")[0].replace("LINKMSG_", "")).join(" "));
