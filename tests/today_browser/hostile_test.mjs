// node hostile_test.mjs chromium|firefox: the table of pages below, in one browser. The windows
// are read from the system (object_windows.exe), the viewport from two magenta marks on the
// screen, the elements' boxes from the pages: every shown window must cover its element's
// visible part, inside the viewport. Environment: WINE_SESSION, ZUROV_BIN, ZUROV_WORK.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import * as t from "./today_browser.mjs";

const [browser, session, bin] = [process.argv[2], process.env.WINE_SESSION, process.env.ZUROV_BIN];
const work = path.join(process.env.ZUROV_WORK, `hostile-${browser}`);
const log = path.join(work, "linkmon.jsonl");
fs.mkdirSync(work, { recursive: true });
const K = 'type="application/x-kvla"';

// Each page's body; a page steps on when the harness answers; its last step goes to the next.
const PAGES = {
  consent: `<embed data-name=a ${K} server=consent width=320 height=60 style="margin:40px">`,  // on 127.0.0.2
  css: `<style>#box{position:relative;width:400px;height:90px} #box embed{width:100%;height:100%}
    .placed{position:absolute;left:450px;top:30px;width:200px;height:90px} #sized{width:250px;height:70px}
    .row{display:flex;width:600px} .grid{display:grid;grid-template-columns:100px 220px;grid-template-rows:60px}</style>
    <div id=box><embed data-name=fill ${K}></div><embed class=placed data-name=class ${K}><embed id=sized data-name=id ${K}>
    <div class=row><p>a</p><embed style="flex:1;height:50px" data-name=flex ${K}></div><div class=grid><p>b</p>
    <embed style="width:100%;height:100%" data-name=grid ${K}></div><embed style="float:right;width:150px;height:40px;transform:translate(-30px,10px)" data-name=moved ${K}>`,
  above: `<iframe data-name=aframe src="/above-inner.html?as=aframe" style="position:absolute;top:-300px;left:20px;width:820px;height:400px;border:0"></iframe>`,
  "above-inner": `<embed data-name=above ${K} style="display:block;margin:200px 0 0;width:800px;height:250px">`,
  wide: `<embed data-name=wide ${K} style="position:absolute;left:700px;top:50px;width:500px;height:80px">`,  // no doctype
  xorigin: `<iframe data-name=xframe src="{other}/xorigin-inner.html?as=xframe" style="position:absolute;left:100px;top:80px;width:500px;height:300px;border:0"></iframe>`,
  "xorigin-inner": `<embed data-name=x1 ${K} width=200 height=80 style="position:absolute;left:20px;top:30px">
    <embed data-name=x2 ${K} width=200 height=80 style="position:absolute;left:400px;top:150px">`,
  script: `<embed id=e data-name=s ${K} width=320 height=40><script data-own>(async () => { const e = document.getElementById("e");
      await step("ready"); e.width = 400; e.height = 60; await step("resized"); e.style.display = "none"; await step("gone");
      e.style.display = ""; await step("ready"); e.style.visibility = "hidden"; await step("gone");
      e.style.visibility = ""; await step("ready"); location.href = await step("done"); })();</script>`,
  bfcache: `<embed data-name=b1 ${K} width=320 height=40><embed data-name=b2 ${K} width=200 height=40>
    <script data-own>addEventListener("pageshow", async (e) => { if (sessionStorage.left) {
      await step(e.persisted ? "back" : "reloaded"); location.href = await step("done"); } else {
      await step("ready"); sessionStorage.left = 1; location.href = "/away.html"; } });</script>`,
  away: `<p>away</p><script data-own>step("gone").then(() => history.back());</script>`,
  hidden: `<embed data-name=h ${K} width=320 height=60><script>addEventListener("visibilitychange", (e) => {
      e.stopImmediatePropagation(); for (const end = Date.now() + 4000; Date.now() < end;); }, true);</script>`,
  busy: `<embed data-name=k ${K} width=320 height=60><script data-own>(async () => { await step("ready");
      for (const end = Date.now() + 4000; Date.now() < end;); await step("back"); location.href = await step("done"); })();</script>`,
  zoom: `<style>.z{width:240px;height:50px;margin:10px}</style><embed class=z data-name=z1 ${K}><embed data-name=z2 ${K} width=180 height=40>`,
};
const ORDER = ["consent", "css", "above", "wide", "xorigin", "script", "bfcache", "hidden", "busy", "zoom"];
// Test instrumentation in every page: the marks, the boxes of elements with data-name (device
// pixels in the page's viewport) whenever they change, and steps the harness answers.
const PROBE = `const me = new URLSearchParams(location.search).get("as") || "top";
  window.step = (name) => fetch("/report?step=" + name + "&page=" + location.pathname.slice(1, -5) + "&as=" + me, { method: "POST" }).then((r) => r.text());
  if (me === "top") for (const c of ["left:0;top:0", "right:0;bottom:0"]) {
    const m = document.createElement("div"); m.style.cssText = "position:fixed;width:6px;height:6px;background:#f0f;z-index:9;" + c;
    document.documentElement.appendChild(m); }
  let last = "", sent = 0; (function tick() {
    const list = [...document.querySelectorAll("[data-name]")].map((e) => { const r = e.getBoundingClientRect();
      return [e.dataset.name, e.localName, e.checkVisibility({ visibilityProperty: true }),
              ...[r.left + e.clientLeft, r.top + e.clientTop, e.clientWidth, e.clientHeight].map((v) => Math.round(v * devicePixelRatio))]; });
    const text = JSON.stringify({ me, dpr: devicePixelRatio, list,
      view: [visualViewport.width, visualViewport.height].map((v) => Math.round(v * devicePixelRatio)) });
    if (text !== last || Date.now() - sent > 500) fetch("/report?step=boxes", { method: "POST", body: (last = text) }), (sent = Date.now());
    requestAnimationFrame(tick); })();
  addEventListener("load", () => me === "top" && !document.querySelector("script[data-own]") &&
    step("ready").then(() => step("done")).then((next) => (location.href = next)));`;

const [boxes, failures] = [{}, []];
const intersect = ([ax, ay, aw, ah], [bx, by, bw, bh], x = Math.max(ax, bx), y = Math.max(ay, by)) =>
  Math.min(ax + aw, bx + bw) > x && Math.min(ay + ah, by + bh) > y ? [x, y, Math.min(ax + aw, bx + bw) - x, Math.min(ay + ah, by + bh) - y] : null;
const windows = () => t.objectWindows(session, bin).filter((w) => w[0] === "shown").map((w) => w.slice(5).map(Number))
  .filter((p) => p[2] > 0 && p[3] > 0);
const near = (a, b) => a.length === b.length && a.every((v, i) => Math.abs(v - b[i]) <= 2);

// The viewport from the marks (their bottom-right corners: a browser's bar may shade the
// viewport's top edge); what should show: each shown element's box in the screen, cut by its
// frame's viewport and the top one.
function viewport(screen) {
  const corner = [[-1, -1], [-1, -1]];
  for (let y = 0; y < screen.height; y++)
    for (let x = 0; x < screen.width; x++) {
      const [r, g, b] = screen.at(x, y);
      if (r > 240 && g < 16 && b > 240) corner[x > screen.width / 2 ? 1 : 0] = [x + 1, y + 1];
    }
  // Below 100 % the top mark (3 px at 50 %) can be wholly under the bar's shade: then the
  // viewport's size is the page's own report, counted back from the bottom mark.
  const [mark, size] = [Math.round(6 * (boxes.top?.dpr || 1)), boxes.top?.view];
  const [x1, y1] = corner[1];
  const [x0, y0] = corner[0][0] >= 0 ? [corner[0][0] - mark, corner[0][1] - mark] : size ? [x1 - size[0], y1 - size[1]] : [];
  return x1 < 0 || x0 === undefined ? null : [x0, y0, x1 - x0, y1 - y0];
}
function expected(view) {
  const parts = [];
  for (const { me, list, view: own } of Object.values(boxes)) {
    const at = me === "top" ? [0, 0] : (boxes.top?.list || []).find((b) => b[0] === me)?.slice(3);
    const frame = at && intersect([at[0], at[1], ...own], me === "top" ? [0, 0, view[2], view[3]] : at);
    if (!frame) continue;
    for (const [, kind, shown, ...box] of list) {
      const part = kind !== "iframe" && shown && intersect([box[0] + at[0], box[1] + at[1], box[2], box[3]], frame);
      const cut = part && intersect(part, [0, 0, view[2], view[3]]);
      if (cut) parts.push([cut[0] + view[0], cut[1] + view[1], cut[2], cut[3]]);
    }
  }
  return parts.sort((a, b) => a[1] - b[1] || a[0] - b[0]);
}
// Waits until the shown windows are exactly the visible parts of the page's elements, of which
// there are some unless `none` are wanted (steps named "gone").
async function placed(what, none = false) {
  let seen = "";
  await t.waitFor(what, () => {
    const view = viewport(t.screenshot(session));
    const want = view ? expected(view) : [];
    const got = windows().sort((a, b) => a[1] - b[1] || a[0] - b[0]);
    seen = `viewport ${view}; windows ${JSON.stringify(got)}; elements ${JSON.stringify(want)}`;
    return view && got.length === want.length && (want.length > 0) !== none && got.every((g, i) => near(g, want[i])) &&
      got.every((g) => intersect(g, view) && near(intersect(g, view), g));
  }, 30000).catch(() => { throw new Error(`${what}: ${seen}`); });
}
const shot = (when) => path.join(process.env.ZUROV_WORK, "..", `consent-${when}-${browser}.png`);
let busy;
const key = (keys) => t.xdotool(session, ["mousemove", "500", "600", "key", "--delay", "150", ...keys]);

const STEPS = {
  async "consent/ready"() {
    let view, x, y, w, h;
    await t.waitFor("the placeholder asking for a click", () => {
      const screen = t.screenshot(session);
      [view, [, , , x, y, w, h] = []] = [viewport(screen), boxes.top?.list[0]];
      return view && x !== undefined && screen.at(view[0] + x + 2, view[1] + y + 2).join() === "48,58,72";
    });
    t.screenshot(session, shot("before"));
    assert.equal(t.count(log, "LINKMSG_NEW"), 0, "nothing of a site reaches the client before it is allowed");
    t.xdotool(session, ["mousemove", String(view[0] + x + w / 2), String(view[1] + y + h / 2), "click", "1"]);
    await placed("the allowed site's window");
    t.screenshot(session, shot("after"));
  },
  async "away/gone"() {
    await t.allObjectsEnded(log, "the left page's objects ended");
    await placed("no window once the page is left", true);
  },
  async "hidden/ready"() {
    await placed("the windows before the tab is hidden");
    const start = (key(["ctrl+t"]), Date.now());
    await t.waitFor("no window over the new tab", () => windows().length === 0, 5000);
    console.log(`  hidden: windows gone ${Date.now() - start} ms after the new tab's key`);
    key(["ctrl+w"]);
    await placed("the windows again with their tab");
  },
  // The page blocks its own thread with no tab switch: its reports stop, its windows hide
  // while it is still blocked, and come back once it reports again.
  async "busy/ready"() {
    await placed("the windows before the page blocks its thread");
    const start = Date.now();
    busy = t.waitFor("no window while the page's thread is blocked", () => windows().length === 0, 3500)
      .then(() => console.log(`  busy: windows gone ${Date.now() - start} ms after the page blocked`), (e) => e);
  },
  async "busy/back"() {
    const failed = await busy;
    if (failed) throw failed;
    await placed("the windows again once the page reports");
  },
  // Both browsers' zoom steps: Chromium's 110 125 150 175 200 250 300, Firefox's 110 120 133
  // 150 170 200 240 300; below 100, 90 80 75 67 50 and 90 80 67 50.
  async "zoom/ready"() {
    await placed("the windows at 100 %");
    for (const [zoom, keys] of [["150", Array(browser === "chromium" ? 3 : 4).fill("ctrl+plus")],
      ["300", Array(4).fill("ctrl+plus")], ["50", Array(12).fill("ctrl+minus")]]) {
      key(keys);
      await placed(`the windows at ${zoom} %`);
    }
  },
};

const [linkmon, release] = [await t.startLinkmon(session, bin, log), await t.allowSites(["http://127.0.0.1/*", "http://localhost/*"])];
const [pages, servers] = [fs.mkdtempSync(path.join(work, "pages-")), []];
async function onReport(query, body) {
  const [step, page] = [query.get("step"), query.get("page")];
  if (step === "boxes") return void (boxes[JSON.parse(body).me] = JSON.parse(body));
  if (step === "done") {
    for (const frame of Object.keys(boxes)) delete boxes[frame];
    const next = ORDER[ORDER.indexOf(page) + 1];
    if (!next) setImmediate(finish);
    return next ? `${servers[0].url}/${next}.html` : "about:blank";
  }
  await (STEPS[`${page}/${step}`] || (() => placed(`${page}, ${step}`, step === "gone")))().catch((e) => failures.push(e.message));
  return "ok";
}
for (const host of ["127.0.0.1", "localhost", "127.0.0.2"]) servers.push(await t.serve(pages, onReport, host));
for (const [name, body] of Object.entries(PAGES))
  fs.writeFileSync(path.join(pages, `${name}.html`), `${name === "wide" ? "" : "<!DOCTYPE html>"}<html${name === "wide" ? ' style="width:6000px"' : ""}>` +
    `<meta charset="utf-8"><script>${PROBE}</script><body style="margin:8px">${body.replace("{other}", servers[1].url)}</body></html>`);
const child = t.launchBrowser(browser, { work, session, bin, url: `${servers[2].url}/consent.html` });
let finish;
await Promise.race([new Promise((r) => (finish = r)), new Promise((r) => child.once("exit", r))]);
servers.forEach((s) => s.close());
await t.stop(child);
await t.allObjectsEnded(log).catch((e) => failures.push(e.message));
await t.stop(linkmon);
await release();
assert.deepEqual(failures, [], `${browser}: hostile pages`);
console.log(`${browser}: every hostile page's windows over its elements, inside the viewport`);
