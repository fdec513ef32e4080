// node picture_test.mjs chromium|firefox: under Wine 10 (ctest's picture_today_*: Wine 8 shows
// nothing one process draws in another's window), examples/demo.html in the browser with the
// host, and the sample client's drawing seen inside each of the host's windows in view.
// Environment: WINE_SESSION (a Wine 10 session), ZUROV_BIN (the win64 bin/), ZUROV_WORK.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const browser = process.argv[2];
const session = process.env.WINE_SESSION;
const bin = process.env.ZUROV_BIN;
const work = path.join(process.env.ZUROV_WORK, `picture-${browser}`);
fs.mkdirSync(work, { recursive: true });
const log = path.join(work, "client.log");

const client = await t.startPictureClient(session, bin, log);
const release = await t.allowSites(["http://127.0.0.1/*"]);
const server = await t.serve(path.join(t.ROOT, "examples"));
const child = t.launchBrowser(browser, { work, session, bin, url: `${server.url}/demo.html` });
let report = "", failed = null;
try {
  report = await t.pictureShown(session, bin, log, 9, 180000);  // the script's object too
} catch (e) {
  failed = e;
}
await t.stop(child);
server.close();
await release();
await t.stop(client);
if (failed) throw failed;
const inView = Number(report.match(/, (\d+) in view/)[1]);
assert.ok(inView >= 3, report);
console.log(`${browser}: the client's picture in the ${inView} boxes in view\n${report}`);
