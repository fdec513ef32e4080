// node --experimental-websocket words_test.mjs chromium|firefox: what a person reads, through
// the browser's own protocol (the placeholders' words lie in closed shadow roots), with a
// screenshot of each in build/ (words-STATE-BROWSER.png). Three runs of the browser:
// 1. no host registered: the placeholder says Kelvora is not installed, with the
//    administrator's download link; the options page says the host is not installed;
// 2. the host and linkmon: 21 objects (the 21st too many), the client gone, a refusal (linkmon
//    refusing), the options page (the host's version, the client running, found on request),
//    and a site not allowed (the consent prompt);
// 3. a stand-in for a host older than "hello": its objects still play, and the options page
//    says to update the Kelvora packages.
// Environment: WINE_SESSION, ZUROV_BIN, ZUROV_WORK.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const [browser, session, bin] = [process.argv[2], process.env.WINE_SESSION, process.env.ZUROV_BIN];
const work = path.join(process.env.ZUROV_WORK, `words-${browser}`);
const log = path.join(work, "linkmon.jsonl");
fs.mkdirSync(work, { recursive: true });
const words = JSON.parse(fs.readFileSync(path.join(t.ROOT, "extension/_locales/en/messages.json"), "utf8"));
const say = (name, value = "") => words[name].message.replace(/\$[A-Z]+\$/, value);
const version = execFileSync("bash", [path.join(t.ROOT, "installer/product-version.sh")], { encoding: "utf8" }).trim();
const DOWNLOAD = "https://kelvora.example/get";
const K = '<embed type="application/x-kvla" server=words width=300 height=40 style="display:block;margin:4px">';

const pages = fs.mkdtempSync(path.join(work, "pages-"));
fs.writeFileSync(path.join(pages, "one.html"), `<!DOCTYPE html><meta charset="utf-8">${K}`);
fs.writeFileSync(path.join(pages, "many.html"), `<!DOCTYPE html><meta charset="utf-8">${K.repeat(21)}`);
const [server, stranger] = [await t.serve(pages), await t.serve(pages, () => {}, "127.0.0.2")];
const release = await t.allowSites(["http://127.0.0.1/*"], { clientDownloadUrl: DOWNLOAD });
const failures = [];

// Runs the browser with `host` (see launchBrowser) on `url` through `steps(remote)`.
async function run(what, host, url, steps) {
  const child = t.launchBrowser(browser, { work, session, bin, url: t.OPTIONS_URL[browser], host, remote: true });
  let r;
  try {
    r = await t.remote(browser, child, work);
    await r.go(url);
    await steps(r);
  } catch (e) {
    failures.push(`${what}: ${e.message}`);
  }
  r?.close?.();
  await t.stop(child);
}
// Waits until the page's placeholders read `want`: [words, links] for each, in order; keeps a
// screenshot as words-NAME-BROWSER.png.
async function reads(r, name, want) {
  let seen;
  await t.waitFor(`the placeholders of "${name}"`, async () => {
    seen = (await r.placeholders().catch(() => [])).map((p) => [p.words, p.links]);
    return JSON.stringify(seen) === JSON.stringify(want);
  }, 60000).catch((e) => { throw new Error(`${e.message}: ${JSON.stringify(seen)}`); });
  t.screenshot(session, path.join(process.env.ZUROV_WORK, "..", `words-${name}-${browser}.png`));
}
async function options(r, name, want) {
  await r.options();
  let seen;
  await t.waitFor(`the options page (${name})`, async () => {
    seen = await r.evaluate(`[host.textContent, client.textContent]`).catch(() => null);
    return seen && want(...seen);
  }, 60000).catch((e) => { throw new Error(`${e.message}: ${JSON.stringify(seen)}`); });
  t.screenshot(session, path.join(process.env.ZUROV_WORK, "..", `options-${name}-${browser}.png`));
}

await run("no host", false, `${server.url}/one.html`, async (r) => {
  await reads(r, "no-host", [[say("stateNoHost"), [[say("linkGetClient"), DOWNLOAD]]]]);
  await options(r, "no-host", (h, c) => h === say("optionsHostMissing") && c === say("optionsClientUnknown"));
});

let linkmon = await t.startLinkmon(session, bin, log);
await run("the host", undefined, `${server.url}/many.html`, async (r) => {
  const accepted = Array(20).fill(["", []]);
  await reads(r, "full", [...accepted, [say("stateFull"), []]]);
  await t.stop(linkmon);
  await reads(r, "gone", [...Array(20).fill([say("stateGone"), []]), [say("stateFull"), []]]);
  linkmon = await t.startLinkmon(session, bin, log, ["--reply", "refuse"]);
  await r.go(`${server.url}/one.html`);
  await reads(r, "refused", [[say("stateRefused"), []]]);
  await options(r, "host", (h, c) => h === say("optionsHostAnswers", version) && c.endsWith(say("optionsClientRunning")));
  await r.evaluate(`document.getElementById("find").click()`);
  await t.waitFor("the client found on request", async () => (await r.evaluate(`found.textContent`)) === say("resultRunning"));
  await r.go(`${stranger.url}/one.html`);
  await reads(r, "consent", [[say("stateBlocked", `127.0.0.2:${stranger.port}`), []]]);
});
await t.stop(linkmon);

const older = `exec node '${path.join(t.ROOT, "tests/today_browser/older_host.mjs")}'`;
await run("an older host", older, `${server.url}/one.html`, async (r) => {
  await reads(r, "older-host", [["", []]]);
  await options(r, "older-host", (h) => h === say("optionsHostOlder"));
});

server.close();
stranger.close();
await release();
assert.deepEqual(failures, [], `${browser}: the words a person reads`);
console.log(`${browser}: every placeholder's words and the options page as a person reads them`);
