// The browser version's figures for docs/performance.md: the site's size,
// the first visit's bytes, the time to the first frame, and a frame's work in the browser (the game's
// Step with its drawing and the picture handed to the canvas), in the test
// mode flat out and in live play at 60 frames a second; then a phone: its
// screen size with touch, the processor slowed down four times.
//
//     node tests/web/measure.mjs SITE_DIR [LIVE_SECONDS]
import { readFileSync, mkdtempSync, rmSync } from "node:fs";
import { gzipSync } from "node:zlib";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import puppeteer from "puppeteer-core";
import { serve } from "./static_server.mjs";

const site = resolve(process.argv[2] || "build-web/site");
const liveSeconds = Number(process.argv[3] || 20);
const here = new URL(".", import.meta.url).pathname;
const sleep = (ms) => new Promise((ok) => setTimeout(ok, ms));

let raw = 0, gz = 0;
const files = [...Object.keys(JSON.parse(readFileSync(join(site, "build.json"), "utf8")).files), "sw.js", "build.json"];
for (const f of files) {
  const bytes = readFileSync(join(site, f));
  const z = gzipSync(bytes, { level: 9 }).length;
  raw += bytes.length;
  gz += z;
  console.log(`${f.padEnd(20)} ${String(bytes.length).padStart(9)} bytes ${String(z).padStart(8)} gzipped`);
}
console.log(`${"site".padEnd(20)} ${String(raw).padStart(9)} bytes ${String(gz).padStart(8)} gzipped (a PNG counts as it is)`);

const server = await serve(site);
const profile = mkdtempSync(join(tmpdir(), "pm-measure-"));
const browser = await puppeteer.launch({
  executablePath: process.env.PM_CHROMIUM || "/usr/bin/chromium", headless: true, userDataDir: profile,
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"],
});

async function stats(page) {
  return page.evaluate(() => {
    const p = window.pellimunch.probe;
    const frames = p("frames");
    return { frames, meanMs: p("workMs") / frames, presentMeanMs: p("presentMs") / frames,
             maxMs: p("maxWorkMs"), over1Ms: p("framesOver1Ms") / frames };
  });
}
const fmt = (s) => `${s.frames} frames: mean ${s.meanMs.toFixed(3)} ms (showing the picture ${s.presentMeanMs.toFixed(3)} ms), ` +
                   `max ${s.maxMs.toFixed(1)} ms, ${(100 * s.over1Ms).toFixed(1)} % over 1 ms`;

// The first visit: every byte the server sent until the offline copy is in
// charge, the worker's install included (a server of its own, counting).
{
  const own = await serve(site);
  const page = await browser.newPage();
  await page.goto(own.url, { waitUntil: "load" });
  await page.waitForFunction(() => !!navigator.serviceWorker.controller, { timeout: 60000 });
  await page.waitForNetworkIdle({ idleTime: 500 }).catch(() => {});
  const twice = Object.entries(own.stats.paths).filter(([, n]) => n > 1).map(([p, n]) => `${p} ${n}x`);
  console.log(`first visit: ${own.stats.bytes} bytes in ${own.stats.requests} requests` +
              (twice.length ? ` (more than once: ${twice.join(", ")})` : ""));
  await page.close();
  await own.close();
}

// First frame: navigation start to the first picture on the canvas.
const firsts = [];
for (let i = 0; i < 5; i++) {
  const page = await browser.newPage();
  await page.goto(server.url + "?test&seed=1&stop=1&keys=", { waitUntil: "load" });
  await page.waitForFunction(() => window.pellimunch && window.pellimunch.figures.testDone, { timeout: 30000 });
  firsts.push(await page.evaluate(() => window.pellimunch.figures.firstFrameAt));
  await page.close();
}
firsts.sort((a, b) => a - b);
console.log(`first frame after the page starts loading: median ${firsts[2].toFixed(0)} ms (of ${firsts.map((t) => t.toFixed(0)).join(", ")})`);

// Flat out: a long stored replay with fevers.
{
  const keys = readFileSync(join(here, "..", "golden", "fevers.keys"), "utf8")
    .split("\n").map((l) => l.replace(/#.*/, "").trim()).filter((l) => l).join(";");
  const page = await browser.newPage();
  await page.goto(server.url + `?test&seed=11&stop=4000&keys=${encodeURIComponent(keys)}`, { waitUntil: "load" });
  await page.waitForFunction(() => window.pellimunch && window.pellimunch.figures.testDone, { timeout: 120000 });
  console.log("test mode, the fevers replay: " + fmt(await stats(page)));
  await page.close();
}

// Live: a session played with keys for a while.
{
  const page = await browser.newPage();
  await page.goto(server.url, { waitUntil: "load" });
  await page.waitForFunction(() => !document.getElementById("play").disabled, { timeout: 30000 });
  await page.click("#play");
  await sleep(500);
  await page.keyboard.down("ShiftLeft"); await sleep(100); await page.keyboard.up("ShiftLeft");
  const start = Date.now();
  const moves = ["ArrowRight", "ArrowLeft", "Space", "ArrowUp"];
  let i = 0;
  while (Date.now() - start < liveSeconds * 1000) {
    const key = moves[i++ % moves.length];
    await page.keyboard.down(key); await sleep(key.startsWith("Arrow") && key !== "ArrowUp" ? 600 : 120);
    await page.keyboard.up(key);
    // A lost run starts again.
    if (await page.evaluate(() => window.pellimunch.probe("gameState")) === 0) {
      await page.keyboard.down("ShiftLeft"); await sleep(100); await page.keyboard.up("ShiftLeft");
    }
  }
  const elapsed = (Date.now() - start) / 1000;
  const s = await stats(page);
  console.log(`live play, ${elapsed.toFixed(0)} s: ` + fmt(s) + `; ${(s.frames / (elapsed + 0.6)).toFixed(1)} frames/s`);
  await page.close();
}

// A phone: 390x844 with touch, the processor four times slower. The first
// frame after loading (the test mode shows frame 1 at once), then a session
// played by touch for a while: the frames it held per second.
{
  const throttled = async () => {
    const page = await browser.newPage();
    await page.setViewport({ width: 390, height: 844, hasTouch: true, isMobile: true, deviceScaleFactor: 3 });
    const cdp = await page.createCDPSession();
    await cdp.send("Emulation.setCPUThrottlingRate", { rate: 4 });
    return { page, cdp };
  };
  const firstPhone = [];
  for (let i = 0; i < 3; i++) {
    const { page } = await throttled();
    await page.goto(server.url + "?test&seed=1&stop=1&keys=&no-offline", { waitUntil: "load" });
    await page.waitForFunction(() => window.pellimunch && window.pellimunch.figures.testDone, { timeout: 60000 });
    firstPhone.push(await page.evaluate(() => window.pellimunch.figures.firstFrameAt));
    await page.close();
  }
  firstPhone.sort((a, b) => a - b);
  console.log(`phone, CPU 4x slower: first frame after the page starts loading: median ${firstPhone[1].toFixed(0)} ms (of ${firstPhone.map((t) => t.toFixed(0)).join(", ")})`);

  const { page, cdp } = await throttled();
  await page.goto(server.url + "?no-offline", { waitUntil: "load" });
  await page.waitForFunction(() => !document.getElementById("play").disabled, { timeout: 60000 });
  await page.tap("#play");
  await page.waitForFunction(() => window.pellimunch.probe("frame") > 5, { timeout: 30000 });
  const centre = (sel) => page.$eval(sel, (e) => { const r = e.getBoundingClientRect(); return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; });
  const touch = async (type, points) => cdp.send("Input.dispatchTouchEvent", { type, touchPoints: points });
  const tap = async (p, ms) => { await touch("touchStart", [{ ...p, id: 1 }]); await sleep(ms); await touch("touchEnd", []); };
  await tap(await centre("#canvas"), 100);
  const f0 = await page.evaluate(() => window.pellimunch.probe("frame"));
  const start = Date.now();
  const moves = ['[data-key="ArrowRight"]', '[data-key="ArrowLeft"]', '[data-key="Space"]', '[data-key="ArrowUp"]'];
  let i = 0;
  while (Date.now() - start < liveSeconds * 1000) {
    await tap(await centre(moves[i % moves.length]), i % 4 < 2 ? 600 : 120);
    i++;
    if (await page.evaluate(() => window.pellimunch.probe("gameState")) === 0) await tap(await centre("#canvas"), 100);
  }
  const elapsed = (Date.now() - start) / 1000;
  const frames = await page.evaluate(() => window.pellimunch.probe("frame")) - f0;
  console.log(`phone, CPU 4x slower, played by touch for ${elapsed.toFixed(0)} s: ${(frames / elapsed).toFixed(1)} frames/s; ` + fmt(await stats(page)));
  await page.close();
}

await browser.close();
await server.close();
rmSync(profile, { recursive: true, force: true });
