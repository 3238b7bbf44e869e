// The browser version's figures for docs/performance.md: the site's size,
// the time to the first frame, and a frame's work in the browser (the game's
// Step with its drawing and the picture handed to the canvas), in the test
// mode flat out and in live play at 60 frames a second.
//
//     node tests/web/measure.mjs SITE_DIR [LIVE_SECONDS]
import { readdirSync, readFileSync, mkdtempSync, rmSync } from "node:fs";
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
for (const f of readdirSync(site)) {
  const bytes = readFileSync(join(site, f));
  const z = gzipSync(bytes, { level: 9 }).length;
  raw += bytes.length;
  gz += z;
  console.log(`${f.padEnd(16)} ${String(bytes.length).padStart(9)} bytes ${String(z).padStart(8)} gzipped`);
}
console.log(`${"site".padEnd(16)} ${String(raw).padStart(9)} bytes ${String(gz).padStart(8)} gzipped`);

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

await browser.close();
await server.close();
rmSync(profile, { recursive: true, force: true });
