// The extension and the host in today's browsers, timed (make bench; not a test):
// 1. the time from the content script's "new" to the client's answer back in the page, through
//    the host under Wine with linkmon as the client, against a bare echo host (echo_host.mjs)
//    that answers the same message at once: median and 95th percentile of 60 rounds after 5;
// 2. one object's window following a page that scrolls 3 px a frame: how often the window moved
//    per second, against the page's frames per second, and how long after the page's frame the
//    window reached each place (object_windows --follow samples it every millisecond).
// Environment: WINE_SESSION, ZUROV_BIN, ZUROV_WORK, as for the test.
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const session = process.env.WINE_SESSION;
const bin = process.env.ZUROV_BIN;
const work = path.join(process.env.ZUROV_WORK, "today-bench");
fs.mkdirSync(work, { recursive: true });
const pages = path.join(t.ROOT, "tests/today_browser/pages");
const WARM = 5, ROUNDS = 60;

const quantile = (values, q) => {
  const s = [...values].sort((a, b) => a - b);
  return s[Math.min(s.length - 1, Math.floor(q * s.length))];
};

async function play(browser, { echo, follow }) {
  const result = {};
  let watcher = null, watched = "";
  const out = path.join(work, `follow-${browser}.txt`);
  fs.rmSync(out, { force: true });
  const server = await t.serve(pages, async (query, body) => {
    const step = query.get("step");
    result[step] = JSON.parse(body || "null");
    if (step === "ready") {
      // Sampling starts before the page scrolls: its first line is the window's place now.
      watcher = t.wine(session, [path.join(bin, "object_windows.exe"), "--follow", "8000"], out);
      await t.waitFor("the window's place", () => fs.existsSync(out) && fs.readFileSync(out, "utf8").includes("\n"));
    }
  });
  const url = `${server.url}/bench.html?rounds=${WARM + ROUNDS}${follow ? "&follow=1" : ""}`;
  const host = echo ? `exec node '${path.join(t.ROOT, "tests/today_browser/echo_host.mjs")}'` : undefined;
  const child = t.launchBrowser(browser, { work, session, bin, url, host });
  await t.waitFor("the rounds", () => result.rounds, 300000);
  if (follow) {
    await t.waitFor("the follow", () => result.scrolled, 120000);
    await new Promise((r) => watcher.once("exit", r));
    watched = fs.existsSync(out) ? fs.readFileSync(out, "utf8") : "";
  }
  await t.stop(child);
  server.close();
  return { rounds: result.rounds.slice(WARM), ready: result.ready, scrolled: result.scrolled, watched };
}

// The window's moves during the scroll, matched with the page's frames by place: the offset
// of the screen from the viewport is what it was before the scroll began.
function following({ ready, scrolled, watched }) {
  const samples = watched.trim().split(/\r?\n/).map((l) => l.split(" ").map(Number));
  const offset = samples[0][1] - ready.y;
  const end = scrolled[scrolled.length - 1].t;
  const moves = samples.slice(1).filter(([tw]) => tw <= end + 1000);
  const lags = [];
  for (const [tw, yw] of moves) {
    const frame = scrolled.find((f) => f.y + offset === yw);
    if (frame) lags.push(tw - frame.t);
  }
  const seconds = (end - ready.t) / 1000;
  return { moves: moves.length / seconds, frames: scrolled.length / seconds, lags, matched: lags.length, of: moves.length };
}

const linkmonLog = path.join(work, "linkmon.jsonl");
const linkmon = await t.startLinkmon(session, bin, linkmonLog);
for (const browser of ["chromium", "firefox"]) {
  const echo = await play(browser, { echo: true });
  const real = await play(browser, { echo: false, follow: true });
  const f = (v) => v.toFixed(2).padStart(6);
  console.log(`today ${browser.padEnd(8)} new -> answer (ms)  median ${f(quantile(real.rounds, 0.5))}  p95 ${f(quantile(real.rounds, 0.95))}` +
              `   bare echo host: median ${f(quantile(echo.rounds, 0.5))}  p95 ${f(quantile(echo.rounds, 0.95))}`);
  const w = following(real);
  console.log(`today ${browser.padEnd(8)} scrolling: window moves/s ${f(w.moves)} (page frames/s ${f(w.frames)}),` +
              ` lag behind the placeholder (ms) median ${f(quantile(w.lags, 0.5))} p95 ${f(quantile(w.lags, 0.95))}` +
              ` (${w.matched} of ${w.of} moves matched to a frame)`);
}
await t.stop(linkmon);
