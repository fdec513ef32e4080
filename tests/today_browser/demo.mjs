// make demo BROWSER=today: examples/demo.html in Debian's chromium, then firefox-esr, with the
// extension and the native-messaging host under Wine, linkmon standing in for the client
// application and printing each link message as it arrives. A screenshot of each browser,
// taken once the host's windows sit over the placeholders in view, is kept in
// $BUILD/demo-today-BROWSER.png. Everything runs in a Wine session of its own under
// $BUILD/demo-today/, stopped at the end.
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
for (const f of [path.join(bin, "zurov-link.exe"), path.join(bin, "linkmon.exe"), path.join(bin, "object_windows.exe")])
  if (!fs.existsSync(f)) { console.error(`demo: ${f} is missing; run make first`); process.exit(2); }
fs.mkdirSync(work, { recursive: true });
const sessionScript = path.join(t.ROOT, "cmake/wine-session.sh");
execFileSync(sessionScript, ["start", session], { stdio: "inherit" });
let rc = 0;
// The demo's origin is allowed as an administrator allows it, for as long as the demo runs.
const release = await t.allowSites(["http://127.0.0.1/*"]);
try {
  const display = fs.readFileSync(path.join(session, "display"), "utf8").trim();
  const server = await t.serve(path.join(t.ROOT, "examples"));
  for (const browser of (process.env.DEMO_BROWSERS || "chromium firefox").split(/\s+/).filter(Boolean)) {
    const log = path.join(work, `linkmon-${browser}.jsonl`);
    console.log(`== linkmon (the client application's stand-in) prints the link messages of ${browser} below`);
    fs.rmSync(log, { force: true });
    const linkmon = t.wine(session, [path.join(bin, "linkmon.exe"), "--log", t.winpath(log)], "inherit");
    await t.waitFor("linkmon's window", () => t.readLinkmonLog(log).some((e) => e.event === "window"));
    console.log(`== ${browser} ${server.url}/demo.html`);
    const child = t.launchBrowser(browser, { work, session, bin, url: `${server.url}/demo.html` });
    await t.waitFor("nine objects and the link file", () =>
      t.count(log, "LINKMSG_NEW") >= 9 && t.count(log, "LINKMSG_STREAM_DATA") >= 1, 180000);
    // The screenshot once the windows in view have settled: two listings alike, some shown.
    let last = "";
    await t.waitFor("the host's windows in place", () => {
      const now = t.wineSync(session, [path.join(bin, "object_windows.exe")]);
      const settled = now === last && now.includes("shown");
      last = now;
      return settled;
    });
    const shot = path.join(build, `demo-today-${browser}.png`);
    execFileSync("import", ["-window", "root", shot], { env: { ...process.env, DISPLAY: display } });
    console.log(`== the host's windows:\n${last.trim()}\n== screenshot: ${path.relative(t.ROOT, shot)}`);
    await t.stop(child);
    await t.waitFor("every object destroyed", () => t.count(log, "LINKMSG_DESTROY") >= t.count(log, "LINKMSG_NEW"));
    await t.stop(linkmon);
    const names = t.messages(log).map((m) => m.name);
    console.log(`== link messages from ${browser}:`);
    for (const n of [...new Set(names)]) console.log(`   ${names.filter((x) => x === n).length} ${n}`);
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
