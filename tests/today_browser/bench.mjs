// How far behind a scrolling page the object's window is, in today's browsers (make bench;
// not a test): the page scrolls 3 px a frame for 120 frames (steady), then takes six wheel
// flings of three notches, down and up, from the input system (XTEST). object_windows
// --follow samples the window's top every millisecond; each of its moves is matched with the
// page's frame in which the element first stood there, and the lag is the time between them:
// 50th and 95th percentiles per phase, the moves no frame explains, and whether the window
// came to rest where the element did (no ghost left behind).
// BENCH_EXTENSION names another extension folder to time instead (an earlier version).
// Environment: WINE_SESSION, ZUROV_BIN, ZUROV_WORK, as for the test.
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const session = process.env.WINE_SESSION;
const bin = process.env.ZUROV_BIN;
const work = path.join(process.env.ZUROV_WORK, "today-bench");
fs.mkdirSync(work, { recursive: true });
const pages = path.join(t.ROOT, "tests/today_browser/pages");
const extension = process.env.BENCH_EXTENSION || undefined;

const quantile = (values, q) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length ? s[Math.min(s.length - 1, Math.floor(q * s.length))] : NaN;
};

async function play(browser) {
  const result = {};
  let watcher = null;
  const out = path.join(work, `follow-${browser}.txt`);
  fs.rmSync(out, { force: true });
  const server = await t.serve(pages, async (query, body) => {
    const step = query.get("step");
    result[step] = JSON.parse(body || "null");
    if (step === "ready") {
      // Sampling starts before the page scrolls: its first line is the window's place now.
      watcher = t.wine(session, [path.join(bin, "object_windows.exe"), "--follow", "30000"], out);
      await t.waitFor("the window's place", () => fs.existsSync(out) && fs.readFileSync(out, "utf8").includes("\n"));
    } else if (step === "wheel") {
      for (let i = 0; i < 6; i++) {
        t.xdotool(session, ["mousemove", "500", "500", "click", "--repeat", "3", "--delay", "30", i % 2 ? "4" : "5"]);
        await t.sleep(800);  // the fling's own time: the browser's smooth scroll runs out
      }
    }
  });
  const child = t.launchBrowser(browser, { work, session, bin, url: `${server.url}/bench.html`, extension });
  await t.waitFor("the page's frames", () => result.log, 300000);
  watcher.kill();
  await t.stop(child);
  server.close();
  return { ...result.log, ready: result.ready, watched: fs.readFileSync(out, "utf8") };
}

// Each window move between `from` and `to`, matched with the first frame of the run of frames
// in which the element stood where the window went.
function lags({ ready, log, watched }, from, to) {
  const samples = watched.trim().split(/\r?\n/).map((l) => l.split(" ").map(Number));
  const offset = samples[0][1] - ready.y;
  const frames = log.filter((f) => f.t >= from - 1000 && f.t <= to + 1000);
  const found = [];
  let unmatched = 0;
  for (const [tw, yw] of samples.slice(1).filter(([tw]) => tw >= from && tw <= to + 1000)) {
    let i = frames.findLastIndex((f) => f.t <= tw + 2 && f.y + offset === yw);
    if (i < 0) { unmatched++; continue; }
    while (i > 0 && frames[i - 1].y === frames[i].y) i--;
    found.push(tw - frames[i].t);
  }
  const rest = samples.filter(([tw]) => tw <= to + 1000).pop();
  const settled = rest[1] === frames[frames.length - 1].y + offset;
  return { found, unmatched, settled };
}

const linkmon = await t.startLinkmon(session, bin, path.join(work, "linkmon.jsonl"));
const release = await t.allowSites(["http://127.0.0.1/*"]);
const f = (v) => v.toFixed(1).padStart(6);
for (const browser of ["chromium", "firefox"]) {
  const run = await play(browser);
  for (const [phase, from, to] of [["steady", run.steady, run.wheel], ["wheel", run.wheel, run.end]]) {
    const l = lags(run, from, to);
    console.log(`today ${browser.padEnd(8)} ${phase.padEnd(6)} window behind the page (ms): p50 ${f(quantile(l.found, 0.5))}` +
                ` p95 ${f(quantile(l.found, 0.95))}  (${l.found.length} moves, ${l.unmatched} no frame explains;` +
                ` ${l.settled ? "came to rest over the element" : "LEFT BEHIND"})`);
  }
}
await release();
await t.stop(linkmon);
