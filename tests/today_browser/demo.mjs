// make demo BROWSER=today: examples/demo.html in Debian's chromium, then firefox-esr, with the
// extension and the native-messaging host under Wine 10, the sample client (examples/client)
// as the client application, drawing in each window the host lends it. A screenshot of each
// browser, taken once picturecheck sees the client's picture in every one of the host's
// windows in view, is kept in $BUILD/demo-today-BROWSER.png. Everything runs in a Wine
// session of its own under $BUILD/demo-today/ (tools/wine10/), stopped at the end.
//   BUILD         the build folder whose tools to use (default: build)
//   DEMO_BROWSERS the browsers, in order (default: "chromium firefox")
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const build = path.resolve(t.ROOT, process.env.BUILD || "build");
const bin = path.join(build, "win64/bin");
const work = path.join(build, "demo-today");
const session = path.join(work, "wine");
for (const f of ["zurov-link.exe", "kelvora_client.exe", "picturecheck.exe"].map((f) => path.join(bin, f)))
  if (!fs.existsSync(f)) { console.error(`demo: ${f} is missing; run make first`); process.exit(2); }
fs.mkdirSync(work, { recursive: true });
const sessionScript = path.join(t.ROOT, "cmake/wine-session.sh");
execFileSync(sessionScript, ["start", session, "wine10", build], { stdio: "inherit" });
// How many lines of `kind` the sample client's log holds.
const count = (log, kind) => fs.readFileSync(log, "latin1").split("\n").filter((l) => l.startsWith(`${kind} `)).length;
let rc = 0;
// The demo's origin is allowed as an administrator allows it, for as long as the demo runs.
const release = await t.allowSites(["http://127.0.0.1/*"]);
try {
  const display = fs.readFileSync(path.join(session, "display"), "utf8").trim();
  const server = await t.serve(path.join(t.ROOT, "examples"));
  for (const browser of (process.env.DEMO_BROWSERS || "chromium firefox").split(/\s+/).filter(Boolean)) {
    const log = path.join(work, `client-${browser}.log`);
    console.log(`== the sample client, its log in ${path.relative(t.ROOT, log)}`);
    const client = await t.startPictureClient(session, bin, log, "inherit");
    console.log(`== ${browser} ${server.url}/demo.html`);
    const child = t.launchBrowser(browser, { work, session, bin, url: `${server.url}/demo.html` });
    // The screenshot once the client's picture shows in each of the host's windows in view, of
    // the nine objects (the page's script writes the ninth).
    const report = await t.pictureShown(session, bin, log, 9, 180000);
    await t.waitFor("the link file", () => count(log, "data") >= 1);
    const shot = path.join(build, `demo-today-${browser}.png`);
    execFileSync("import", ["-window", "root", "-crop", "1000x1000+0+0", "+repage", shot],
                 { env: { ...process.env, DISPLAY: display } });
    console.log(`== picturecheck: the client's picture in each lent window in view\n${report.trim()}`);
    console.log(`== screenshot: ${path.relative(t.ROOT, shot)}`);
    await t.stop(child);
    await t.waitFor("every object destroyed", () => count(log, "destroy") >= count(log, "new"));
    await t.stop(client);
    console.log(`== events in the client's log from ${browser}:`);
    for (const kind of ["new", "window", "drew", "data", "destroy"]) console.log(`   ${count(log, kind)} ${kind}`);
  }
  server.close();
} catch (e) {
  console.error(`demo: ${e.message}`);
  rc = 1;
} finally {
  await release();
  execFileSync(sessionScript, ["stop", session], { stdio: "inherit" });
}
process.exit(rc);
