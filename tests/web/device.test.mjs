// The browser version on phones, tablets and desktops, in headless Chromium:
// the layout at four screen sizes (screenshots kept for a look), the touch
// keys driven by real touch events, a gamepad, the installable and offline
// site, the sound's two paths, and the page's faults (bad test-mode values,
// failed downloads, clicks, a record kept across tabs, a failed save).
//
// PM_WEB_SITE: the built site folder; PM_NATIVE_SIM: the native runner;
// PM_WEB_SHOTS: a folder for the screenshots (optional); PM_REPO: the
// repository, for tools/web/serve.py (default: two folders up).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { gunzipSync, inflateSync } from "node:zlib";
import { createHash } from "node:crypto";
import { serve } from "./static_server.mjs";
import { launch, pageFigures, probe, required, sleep, waitFor } from "./helpers.mjs";

const site = required("PM_WEB_SITE");
const nativeSim = required("PM_NATIVE_SIM");
const here = import.meta.dirname ?? new URL(".", import.meta.url).pathname;
const repo = resolve(process.env.PM_REPO || join(here, "..", ".."));
const shots = process.env.PM_WEB_SHOTS ? resolve(process.env.PM_WEB_SHOTS) : null;

let server, browser, closeBrowser, scratch;

before(async () => {
  server = await serve(site);
  scratch = mkdtempSync(join(tmpdir(), "pm-device-"));
  ({ browser, close: closeBrowser } = await launch());
  if (shots) mkdirSync(shots, { recursive: true });
});

after(async () => {
  if (closeBrowser) await closeBrowser();
  if (server) await server.close();
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

// A page in a browser context of its own (its own storage and service
// workers; `shared`: the browser's own, which installs), at a screen size,
// with or without a touch screen.
async function openPage({ width = 1024, height = 768, touch = false, dpr = 1, query = "", url = server.url, before, shared } = {}) {
  const context = shared ? null : await browser.createBrowserContext();
  const page = await (context || browser).newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  await page.setViewport({ width, height, hasTouch: touch, isMobile: touch, deviceScaleFactor: dpr });
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url + query, { waitUntil: "load" });
  return { page, errors, close: () => (context ? context.close() : page.close()) };
}

const ready = (page) => waitFor(page, "the play button", () => !document.getElementById("play").disabled, undefined, 20000);

async function startSession(page) {
  await ready(page);
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
}

// Where everything is, in CSS pixels.
function layout(page) {
  return page.evaluate(() => {
    const box = (el) => { const r = el.getBoundingClientRect(); return { x: r.left, y: r.top, w: r.width, h: r.height }; };
    const shown = (el) => getComputedStyle(el).display !== "none" && !el.closest("[hidden]") && el.getBoundingClientRect().width > 0;
    const canvas = document.getElementById("canvas");
    return {
      vw: window.innerWidth, vh: window.innerHeight, canvas: box(canvas), dpr: window.devicePixelRatio,
      rendering: getComputedStyle(canvas).imageRendering,
      keys: [...document.querySelectorAll(".touch-key")].map((el) => ({ key: el.dataset.key, shown: shown(el), ...box(el),
                                                                     fits: el.scrollWidth <= el.clientWidth })),
      tools: [...document.querySelectorAll("#bar button")].map((el) => ({ key: el.id, shown: shown(el), ...box(el) })),
    };
  });
}

const inside = (b, vw, vh) => b.x >= -0.5 && b.y >= -0.5 && b.x + b.w <= vw + 0.5 && b.y + b.h <= vh + 0.5;
const overlap = (a, b) => a.x < b.x + b.w - 0.5 && b.x < a.x + a.w - 0.5 && a.y < b.y + b.h - 0.5 && b.y < a.y + a.h - 0.5;

test("layout: the picture whole, sharp when enlarged and smooth when shrunk, at seven screen sizes; touch keys only on a touch screen, inside the screen, off the picture; a tablet lying gives the picture 85 % of its height", { timeout: 180000 }, async () => {
  const keys = readFileSync(join(here, "..", "golden", "play.keys"), "utf8")
    .split("\n").map((l) => l.replace(/#.*/, "").trim()).filter((l) => l).join(";");
  const screens = [
    { name: "phone-portrait", width: 390, height: 844, touch: true },
    { name: "small-phone", width: 320, height: 568, touch: true, dpr: 2 },
    { name: "phone-landscape", width: 844, height: 390, touch: true },
    { name: "tablet-portrait", width: 768, height: 1024, touch: true },
    { name: "tablet-landscape", width: 1024, height: 768, touch: true },
    { name: "desktop", width: 1920, height: 1080, touch: false },
    { name: "desktop-4x3", width: 1024, height: 768, touch: false },
  ];
  for (const s of screens) {
    const { page, errors, close } = await openPage({ ...s, query: `?test&seed=8&stop=128&keys=${encodeURIComponent(keys)}` });
    await waitFor(page, "the test run", () => window.pellimunch && window.pellimunch.figures.testDone, undefined, 30000);
    const l = await layout(page);
    const what = `${s.name} ${s.width}x${s.height}`;
    assert.ok(inside(l.canvas, l.vw, l.vh), `${what}: the picture is whole: ${JSON.stringify(l.canvas)}`);
    assert.ok(Math.abs(l.canvas.w * 3 - l.canvas.h * 4) < 4, `${what}: the picture keeps 4:3: ${JSON.stringify(l.canvas)}`);
    const enlarged = l.canvas.w * l.dpr >= 800;
    assert.equal(l.rendering, enlarged ? "pixelated" : "auto", `${what}: nearest pixel only when enlarging`);
    for (const t of l.tools.filter((t) => t.shown)) {
      assert.ok(inside(t, l.vw, l.vh), `${what}: ${t.key} inside the screen`);
      assert.ok(!overlap(t, l.canvas), `${what}: ${t.key} covers the picture`);
      assert.ok(t.w >= 48 && t.h >= 48, `${what}: ${t.key} is ${t.w}x${t.h}`);
    }
    if (s.touch) {
      for (const k of l.keys) {
        assert.ok(k.shown, `${what}: touch key ${k.key} shown`);
        assert.ok(inside(k, l.vw, l.vh), `${what}: touch key ${k.key} inside the screen: ${JSON.stringify(k)}`);
        assert.ok(!overlap(k, l.canvas), `${what}: touch key ${k.key} covers the picture`);
        assert.ok(k.w >= 48 && k.h >= 48, `${what}: touch key ${k.key} is ${k.w}x${k.h}`);
        assert.ok(k.fits, `${what}: the label of ${k.key} is wider than its key`);
        // Where thumbs rest: the lower half of the screen.
        assert.ok(k.y + k.h > l.vh / 2, `${what}: touch key ${k.key} sits high: ${JSON.stringify(k)}`);
      }
      if (s.height > s.width) assert.ok(l.canvas.w >= l.vw - 1, `${what}: upright, the picture takes the full width`);
      else if (s.width / s.height >= 1.6) assert.ok(l.canvas.h >= 0.95 * l.vh, `${what}: lying, the picture is as tall as the screen: ${l.canvas.h}`);
      else assert.ok(l.canvas.h >= 0.85 * l.vh, `${what}: a tablet lying, the picture takes 85 % of the height: ${l.canvas.h}`);
    } else {
      assert.ok(l.keys.every((k) => !k.shown), `${what}: no touch keys without a touch screen`);
      assert.ok(l.canvas.h >= 0.9 * l.vh, `${what}: the picture fills the height`);
    }
    if (shots) await page.screenshot({ path: join(shots, `${s.name}.png`) });
    assert.deepEqual(errors, []);
    await close();
  }
});

test("faults: test-mode values out of range, a key script too long, a failed download: each one clear message, no hang", { timeout: 120000 }, async () => {
  const refused = [
    ["?test&seed=1&stop=-1", /bad value "-1" for stop \(expected 1 to \d+\)/],
    ["?test&seed=1&stop=1e12", /bad value "1e12" for stop/],
    ["?test&seed=1&stop=0", /bad value "0" for stop/],
    ["?test&seed=1&stop=abc", /bad value "abc" for stop/],
    ["?test&seed=-1&stop=5", /bad value "-1" for seed \(expected 0 to 4294967295\)/],
    ["?test&seed=abc&stop=5", /bad value "abc" for seed/],
    ["?test&seed=4294967296&stop=5", /bad value "4294967296" for seed/],
    [`?test&seed=8&stop=100&keys=${"x".repeat(1400000)}`, /the key script is 1400000 characters long; at most \d+ are taken/],
  ];
  for (const [query, message] of refused) {
    const { page, close } = await openPage({ query });
    await waitFor(page, `the message for ${query.slice(0, 40)}`, () => window.pellimunch && window.pellimunch.figures.failed, undefined, 20000);
    assert.match((await pageFigures(page)).failed, message);
    assert.equal(await page.$eval("#message", (e) => e.hidden), false);
    await close();
  }
  // The largest seed is taken as it is, not wrapped.
  {
    const { page, errors, close } = await openPage({ query: "?test&seed=4294967295&stop=3&keys=" });
    await waitFor(page, "the test run", () => window.pellimunch && window.pellimunch.figures.testDone, undefined, 20000);
    assert.deepEqual(errors, []);
    await close();
  }
  // A file missing on the server: the page says which, instead of "Loading…" for ever.
  for (const name of ["pellimunch.data", "pellimunch.wasm", "pellimunch.js"]) {
    const broken = await serve(site, { missing: [name] });
    const { page, close } = await openPage({ url: broken.url, query: "?no-offline" });
    await waitFor(page, `the failure for a missing ${name}`, () => window.pellimunch && window.pellimunch.figures.failed);
    assert.match((await pageFigures(page)).failed, new RegExp(`could not load: the download of ${name.replace(".", "\\.")} failed \\(404`));
    assert.equal(await page.$eval("#message", (e) => e.hidden), false);
    await close();
    await broken.close();
  }
  // The progress reaches the whole, counted in the files' own sizes even when they come gzipped.
  const { page, close } = await openPage();
  await ready(page);
  const f = await pageFigures(page);
  const sizes = JSON.parse(readFileSync(join(site, "build.json"), "utf8")).files;
  assert.equal(f.total, sizes["pellimunch.js"] + sizes["pellimunch.wasm"] + sizes["pellimunch.data"]);
  assert.equal(f.loaded, f.total);
  assert.equal(await page.$eval("#progress", (e) => e.hidden), true);
  assert.ok(server.stats.gzipped > 0, "the test server sent the precompressed files");
  await close();
});

test("installable and offline: the manifest parses, no installability error, the worker keeps the site, a reload without network plays, a new build takes over", { timeout: 120000 }, async () => {
  // A server of its own, which goes away: the network switched off.
  let own = await serve(site);
  const { page, errors, close } = await openPage({ url: own.url, touch: true, width: 844, height: 390, shared: true });
  const manifest = await page.evaluate(async () => {
    const href = document.querySelector('link[rel="manifest"]').href;
    return (await fetch(href)).text();
  });
  const m = JSON.parse(manifest);
  assert.equal(m.name, "Pellimunch");
  assert.ok(["fullscreen", "standalone"].includes(m.display));
  for (const icon of m.icons) {
    const size = await page.evaluate(async (src) => {
      const img = new Image();
      img.src = src;
      await img.decode();
      return `${img.naturalWidth}x${img.naturalHeight}`;
    }, icon.src);
    assert.equal(size, icon.sizes, `icon ${icon.src}`);
  }
  await waitFor(page, "the service worker in charge", () => !!navigator.serviceWorker.controller, undefined, 20000);
  const cdp = await page.createCDPSession();
  const { installabilityErrors } = await cdp.send("Page.getInstallabilityErrors");
  assert.deepEqual(installabilityErrors, [], "Chromium's installability check");
  const build = JSON.parse(readFileSync(join(site, "build.json"), "utf8")).build;
  assert.deepEqual(await page.evaluate(() => caches.keys()), [`pellimunch-${build}`]);

  await own.close();
  await page.setOfflineMode(true);
  await page.reload({ waitUntil: "load" });
  await startSession(page);
  assert.equal(await probe(page, "gameState"), 0, "offline: the title");
  await page.keyboard.down("ShiftLeft");
  await sleep(100);
  await page.keyboard.up("ShiftLeft");
  await waitFor(page, "offline: a run", () => window.pellimunch.probe("gameState") === 1);
  await page.keyboard.press("Escape");
  await waitFor(page, "the end of the session", () => window.pellimunch.figures.ended === 1);

  // A new build on the same address: it installs beside the old one, takes
  // over on the start screen with a reload, and the old cache is gone.
  const next = join(scratch, "next-site");
  cpSync(site, next, { recursive: true });
  for (const f of ["sw.js", "sw.js.gz"]) rmSync(join(next, f));
  for (const f of ["index.html", "index.html.gz"]) rmSync(join(next, f));
  const index = readFileSync(join(site, "index.html"), "utf8").replace("<title>Pellimunch</title>", "<title>Pellimunch next</title>");
  writeFileSync(join(next, "index.html"), index);
  const sha = (data) => createHash("sha256").update(data).digest("hex");
  writeFileSync(join(next, "sw.js"), readFileSync(join(site, "sw.js"), "utf8").replace(`"${build}"`, '"next-build"')
    .replace(sha(readFileSync(join(site, "index.html"))), sha(index)));
  own = await serve(next, { port: own.port });
  await page.setOfflineMode(false);
  await page.reload({ waitUntil: "load" });
  await waitFor(page, "the new build in charge", () => document.title === "Pellimunch next", undefined, 30000);
  await waitFor(page, "the old cache gone", () => caches.keys().then((k) => k.length === 1 && k[0] === "pellimunch-next-build"), undefined, 10000);
  await ready(page);
  assert.deepEqual(errors.filter((e) => !/ERR_INTERNET_DISCONNECTED|Failed to fetch|sw\.js/.test(e)), []);
  await close();
  await own.close();
});

test("serve.sh sends the precompressed files with their types", { timeout: 30000 }, async () => {
  const port = 18000 + Math.floor(Math.random() * 2000);
  const child = spawn("python3", [join(repo, "tools/web/serve.py"), site, String(port)], { stdio: "ignore" });
  try {
    let response;
    for (let i = 0; i < 50 && !response; i++) {
      try { response = await fetch(`http://127.0.0.1:${port}/pellimunch.wasm`, { headers: { "Accept-Encoding": "gzip" } }); } catch { await sleep(100); }
    }
    assert.ok(response, "serve.py answers");
    assert.equal(response.headers.get("content-type"), "application/wasm");
    assert.equal(response.headers.get("content-encoding"), "gzip");
    const wasm = Buffer.from(await response.arrayBuffer());   // fetch undoes the gzip
    assert.deepEqual(wasm, readFileSync(join(site, "pellimunch.wasm")));
    const raw = await fetch(`http://127.0.0.1:${port}/manifest.webmanifest`, { headers: { "Accept-Encoding": "identity" } });
    assert.equal(raw.headers.get("content-type"), "application/manifest+json");
    assert.equal(raw.headers.get("content-encoding"), null);
    assert.equal((await fetch(`http://127.0.0.1:${port}/pellimunch.wasm.gz`)).status, 404);
    assert.equal((await fetch(`http://127.0.0.1:${port}/?test&seed=1`)).status, 200);
  } finally {
    child.kill();
  }
});

test("sound: the audio worklet plays the mix; without one the script processor does", { timeout: 60000 }, async () => {
  for (const [path, before] of [["worklet", undefined], ["script", () => { delete window.AudioWorkletNode; }]]) {
    const { page, errors, close } = await openPage({ before, query: "?no-offline" });
    await startSession(page);
    await page.keyboard.down("ShiftLeft");
    await sleep(100);
    await page.keyboard.up("ShiftLeft");
    await waitFor(page, "a run", () => window.pellimunch.probe("gameState") === 1);
    await page.keyboard.down("Space");
    await sleep(150);
    await page.keyboard.up("Space");
    await waitFor(page, `a sound through the ${path}`, () => window.pellimunch.figures.audioLoudFrames > 0, undefined, 5000);
    const f = await pageFigures(page);
    assert.equal(f.audioPath, path);
    assert.equal(f.audioRate, 44100);
    assert.deepEqual(errors, []);
    await close();
  }
});

test("clicks: a right or middle press on the picture does not end the game and opens no menu; a click anywhere on the pause overlay goes on", { timeout: 60000 }, async () => {
  const { page, errors, close } = await openPage({ query: "?no-offline" });
  await startSession(page);
  const menu = await page.evaluate(() => {
    const e = new MouseEvent("contextmenu", { bubbles: true, cancelable: true, button: 2 });
    return document.getElementById("canvas").dispatchEvent(e);
  });
  assert.equal(menu, false, "the context menu is refused");
  await page.click("#canvas", { button: "right" });
  await page.click("#canvas", { button: "middle" });
  await sleep(200);
  assert.equal(await probe(page, "running"), 1, "still running after right and middle presses");
  await page.keyboard.press("KeyP");
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  await page.mouse.click(20, 20);   // the overlay's corner, far from its button
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  assert.equal(await probe(page, "running"), 1);
  assert.deepEqual(errors, []);
  await close();
});

// Where an element's centre is, for a finger.
const centre = (page, sel) => page.$eval(sel, (e) => { const r = e.getBoundingClientRect(); return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; });

// The session so far as the game read it (a replay), played back by the
// native runner: its last state line.
async function runnerState(page) {
  const replay = await page.evaluate(() => window.pellimunch.replay());
  const file = join(scratch, `session-${Date.now()}.replay`);
  writeFileSync(file, replay);
  const trace = execFileSync(nativeSim, ["--replay", file, "--trace", "state"], { maxBuffer: 1 << 28 }).toString().trim().split("\n");
  const last = trace.map((l) => JSON.parse(l)).filter((l) => l.state).pop();
  return { replay, last };
}

test("touch: real touch events start a run, run right and jump with two fingers, a finger sliding off lets go; the runner replays the session to the same state", { timeout: 90000 }, async () => {
  const { page, errors, close } = await openPage({ touch: true, width: 390, height: 844, query: "?no-offline" });
  await ready(page);
  await page.tap("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
  // Each finger is a real touch of the DevTools protocol (Input.dispatchTouchEvent).
  const finger = (p) => page.touchscreen.touchStart(p.x, p.y);
  const picture = await centre(page, "#canvas"), right = await centre(page, '[data-key="ArrowRight"]');
  const jump = await centre(page, '[data-key="Space"]'), special = await centre(page, '[data-key="ArrowUp"]');
  const held = () => page.$$eval(".touch-key.down", (els) => els.map((e) => e.dataset.key));

  let a = await finger(picture);
  await sleep(80);
  await a.end();
  await waitFor(page, "a run started by a tap on the picture", () => window.pellimunch.probe("gameState") === 1);
  const x0 = await probe(page, "ballX");

  a = await finger(right);
  await sleep(300);
  const b = await finger(jump);
  assert.deepEqual(await held(), ["ArrowRight", "Space"], "two fingers at once");
  await sleep(250);
  const x1 = await probe(page, "ballX");
  assert.ok(x1 > x0 + 20, `the ball ran right: ${x0} -> ${x1}`);
  await b.end();
  await sleep(150);
  await a.move(right.x, right.y - 200);   // slides off the key, still down
  assert.deepEqual(await held(), [], "sliding off lets go");
  await sleep(200);
  await a.end();
  const c = await finger(special);
  await sleep(80);
  await c.end();

  await page.tap("#pause-button");
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  const { replay, last } = await runnerState(page);
  // The game read Right and Space together, and Right no more while the finger was still down.
  assert.match(replay, /^\d+ LShift$/m);
  assert.match(replay, /^\d+ Right\+Space$|^\d+ Space\+Right$/m);
  assert.match(replay, /^\d+ Up$/m);
  const spans = replay.split("\n").filter((l) => /^\d+ /.test(l)).map((l) => l.split(" ")[1]);
  const lastRight = spans.lastIndexOf("Right");
  assert.ok(lastRight > 0 && spans.slice(lastRight + 1).some((k) => !k.includes("Right")), "Right let go");
  assert.equal(last.frame, await probe(page, "frame"));
  // The trace writes a Single with 9 digits.
  assert.equal(last.state.BallX, Number((await probe(page, "ballX")).toPrecision(9)));
  assert.equal(last.state.Score, await probe(page, "score"));
  assert.equal(last.state.GameState, await probe(page, "gameState"));
  await page.tap("#pause-button");
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  await page.tap("#mute-button");
  await waitFor(page, "muted by the button", () => window.pellimunch.muted === true);
  await page.tap("#mute-button");
  await waitFor(page, "sound again", () => window.pellimunch.muted === false);
  assert.equal(await page.evaluate(() => window.pellimunch.touchShown), true);
  await page.keyboard.press("ArrowLeft");
  assert.equal(await page.evaluate(() => window.pellimunch.touchShown), false, "a key hides the touch keys");
  assert.deepEqual(errors, []);
  await close();
});

test("gamepad: a pad standing in for navigator.getGamepads() starts with Start, runs with the d-pad and the stick, jumps with A, pauses with Start", { timeout: 60000 }, async () => {
  const fakePad = () => {
    const buttons = Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 }));
    const pad = { id: "Test pad (STANDARD GAMEPAD)", index: 0, connected: true, mapping: "standard",
                  timestamp: 0, axes: [0, 0, 0, 0], buttons };
    window.testPad = {
      press(b, on) { buttons[b].pressed = on; buttons[b].value = on ? 1 : 0; pad.timestamp = performance.now(); },
      stick(x) { pad.axes[0] = x; pad.timestamp = performance.now(); },
    };
    navigator.getGamepads = () => [pad, null, null, null];
  };
  const { page, errors, close } = await openPage({ touch: true, width: 844, height: 390, before: fakePad, query: "?no-offline" });
  await startSession(page);
  const press = async (b, ms = 120) => {
    await page.evaluate((n) => window.testPad.press(n, true), b);
    await sleep(ms);
    await page.evaluate((n) => window.testPad.press(n, false), b);
  };
  await press(9);   // Start on the title: a run
  await waitFor(page, "a run started by Start", () => window.pellimunch.probe("gameState") === 1);
  assert.equal(await page.evaluate(() => window.pellimunch.touchShown), false, "a pad in use hides the touch keys");
  const x0 = await probe(page, "ballX");
  await press(15, 400);   // d-pad right
  const x1 = await probe(page, "ballX");
  assert.ok(x1 > x0 + 20, `the d-pad ran right: ${x0} -> ${x1}`);
  await page.evaluate(() => window.testPad.stick(-0.9));
  await sleep(500);
  await page.evaluate(() => window.testPad.stick(0.2));   // inside the dead zone
  const x2 = await probe(page, "ballX");
  assert.ok(x2 < x1, `the stick ran left: ${x1} -> ${x2}`);
  await press(0, 150);   // A jumps
  await press(9);        // Start in play pauses
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  const { replay } = await runnerState(page);
  assert.match(replay, /^\d+ LShift$/m);
  assert.match(replay, /^\d+ Right$/m);
  assert.match(replay, /^\d+ Left$/m);
  assert.match(replay, /^\d+ Space$/m);
  await press(9);        // and goes on
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  assert.deepEqual(errors, []);
  await close();
});

test("the record: another tab's higher record survives this tab's save; a storage that refuses the save is told on the page", { timeout: 60000 }, async () => {
  const context = await browser.createBrowserContext();
  const tabA = await context.newPage();
  await tabA.goto(server.url + "?no-offline", { waitUntil: "load" });
  await tabA.evaluate(() => localStorage.setItem("pellimunch/score.dat", " 1 \r\n"));
  await tabA.reload({ waitUntil: "load" });
  await startSession(tabA);
  assert.equal(await probe(tabA, "highScore"), 1);
  // Tab B beats the record meanwhile.
  const tabB = await context.newPage();
  await tabB.goto(server.url + "?no-offline", { waitUntil: "load" });
  await tabB.evaluate(() => localStorage.setItem("pellimunch/score.dat", " 14 \r\n"));
  await tabA.bringToFront();
  await tabA.keyboard.press("Escape");
  await waitFor(tabA, "the end of the session", () => window.pellimunch.figures.ended === 1);
  assert.equal(await tabA.evaluate(() => localStorage.getItem("pellimunch/score.dat")), " 14 \r\n");
  await context.close();

  // Storage that throws (full, or switched off): the end of the session says so.
  const refuse = () => {
    Storage.prototype.setItem = function (key) {
      if (key === "pellimunch/score.dat") throw new DOMException("the quota is exceeded", "QuotaExceededError");
    };
  };
  const { page, close } = await openPage({ before: refuse, query: "?no-offline" });
  await startSession(page);
  await page.keyboard.press("Escape");
  await waitFor(page, "the end of the session", () => window.pellimunch.figures.ended === 1);
  const f = await pageFigures(page);
  assert.match(f.saveFailed || "", /quota/);
  assert.equal(await page.$eval("#save-failed", (e) => e.hidden), false);
  assert.match(await page.$eval("#save-failed", (e) => e.textContent), /storage/);
  await close();
});

// ---- Touch players' ways, small screens, the first visit.

// One finger of the DevTools protocol, moved in steps (a slide).
function fingerOf(cdp, id = 1) {
  let at = null;
  const send = (type, points) => cdp.send("Input.dispatchTouchEvent", { type, touchPoints: points });
  return {
    down: async (p) => { at = p; await send("touchStart", [{ x: p.x, y: p.y, id }]); },
    slide: async (to, steps = 8) => {
      const from = at;
      for (let i = 1; i <= steps; i++) {
        at = { x: from.x + (to.x - from.x) * i / steps, y: from.y + (to.y - from.y) * i / steps };
        await send("touchMove", [{ x: at.x, y: at.y, id }]);
      }
    },
    up: () => send("touchEnd", []),
  };
}
const heldKeys = (page) => page.$$eval(".touch-key.down", (els) => els.map((e) => e.dataset.key));
// Waits until the game has read `n` more ticks of keys (never a sleep: the tick is the game's clock).
async function ticks(page, n) {
  const now = await probe(page, "ticks");
  await waitFor(page, `${n} ticks`, (t) => window.pellimunch.probe("ticks") >= t, now + n);
}
async function startRunByTouch(page, cdp) {
  await ready(page);
  await page.tap("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
  const f = fingerOf(cdp, 9);
  await f.down(await centre(page, "#canvas"));
  await ticks(page, 3);
  await f.up();
  await waitFor(page, "a run started by a tap on the picture", () => window.pellimunch.probe("gameState") === 1);
}

test("touch: a finger sliding from ◀ across the gap to ▶ turns the ball; the flag gives up the run; ✕ ends the session after a question; the end panel shows", { timeout: 90000 }, async () => {
  const { page, errors, close } = await openPage({ touch: true, width: 390, height: 844, query: "?no-offline" });
  const cdp = await page.createCDPSession();
  await startRunByTouch(page, cdp);
  // The page looks at the game's state every few refreshes for the hint.
  await waitFor(page, "no hint once the run goes", () => document.getElementById("touch-hint").hidden);
  const left = await centre(page, '[data-key="ArrowLeft"]'), right = await centre(page, '[data-key="ArrowRight"]');
  const f = fingerOf(cdp);
  await f.down(left);
  await ticks(page, 20);
  assert.deepEqual(await heldKeys(page), ["ArrowLeft"]);
  await f.slide(right);   // through the gap between the keys
  assert.deepEqual(await heldKeys(page), ["ArrowRight"], "the finger reached ▶ and holds it");
  await ticks(page, 30);
  await f.up();
  await ticks(page, 2);
  assert.deepEqual(await heldKeys(page), []);
  await page.tap("#pause-button");
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  assert.equal(await page.$eval("#resume", (e) => e.innerText), "Paused: tap here to go on", "the pause notice says tap");
  // The runner, given the session, saw the ball run left, then right.
  const replay = await page.evaluate(() => window.pellimunch.replay());
  const file = join(scratch, "slide.replay");
  writeFileSync(file, replay);
  const states = execFileSync(nativeSim, ["--replay", file, "--trace", "state"], { maxBuffer: 1 << 28 }).toString()
    .trim().split("\n").map((l) => JSON.parse(l)).filter((l) => l.state).map((l) => l.state);
  const leftAt = states.findIndex((st) => st.BallVX < 0);
  assert.ok(leftAt >= 0, "the ball ran left");
  assert.ok(states.slice(leftAt).some((st) => st.BallVX > 0), "then turned and ran right");
  await page.tap("#resume");
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);

  // Give up: back to the title, the session goes on.
  await page.tap("#give-up");
  await waitFor(page, "the title after giving up", () => window.pellimunch.probe("gameState") === 0);
  await waitFor(page, "the touch hint on the title", () => !document.getElementById("touch-hint").hidden);
  assert.equal(await probe(page, "running"), 1);
  // End: asked first; "keep playing" goes on, "end it" ends with the save.
  await page.tap("#end-session");
  await waitFor(page, "the question", () => !document.getElementById("confirm-end").hidden && window.pellimunch.probe("paused") === 1);
  await page.tap("#confirm-no");
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  assert.equal(await probe(page, "running"), 1);
  await page.tap("#end-session");
  await waitFor(page, "the question", () => !document.getElementById("confirm-end").hidden);
  await page.tap("#confirm-yes");
  await waitFor(page, "the end of the session", () => window.pellimunch.figures.ended === 1);
  assert.equal(await page.$eval("#over", (e) => e.hidden), false, "the end panel");
  assert.equal(await page.$eval("#confirm-end", (e) => e.hidden), true);
  assert.deepEqual(errors, []);
  await close();
});

test("touch: the device turned while a finger holds ▶ lets the key go and pauses", { timeout: 60000 }, async () => {
  const { page, errors, close } = await openPage({ touch: true, width: 844, height: 390, query: "?no-offline" });
  const cdp = await page.createCDPSession();
  await startRunByTouch(page, cdp);
  const f = fingerOf(cdp);
  await f.down(await centre(page, '[data-key="ArrowRight"]'));
  await ticks(page, 10);
  await page.setViewport({ width: 390, height: 844, hasTouch: true, isMobile: true, deviceScaleFactor: 1 });
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  assert.deepEqual(await heldKeys(page), [], "no key stays lit");
  await f.up();
  await page.tap("#resume");
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  await ticks(page, 10);
  // The game read Right no more after the turn.
  const spans = (await page.evaluate(() => window.pellimunch.replay())).split("\n").filter((l) => /^\d+ /.test(l));
  assert.ok(!spans[spans.length - 1].includes("Right"), `Right let go: ${spans.slice(-3).join(" | ")}`);
  assert.deepEqual(errors, []);
  await close();
});

// A PNG screenshot's pixels (8-bit RGB or RGBA, not interlaced) as RGB.
function decodePng(png) {
  let at = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at), kind = png.toString("ascii", at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (kind === "IHDR") {
      width = body.readUInt32BE(0); height = body.readUInt32BE(4);
      assert.equal(body[8], 8, "8 bits a channel");
      channels = { 2: 3, 6: 4 }[body[9]];
      assert.ok(channels && body[12] === 0, "RGB or RGBA, not interlaced");
    } else if (kind === "IDAT") idat.push(body);
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(idat)), stride = width * channels;
  const px = Buffer.alloc(height * stride), rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? px[y * stride + i - channels] : 0, b = y > 0 ? px[(y - 1) * stride + i] : 0;
      const c = i >= channels && y > 0 ? px[(y - 1) * stride + i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predict = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      px[y * stride + i] = (line[i] + predict) & 255;
    }
    for (let x = 0; x < width; x++) for (let k = 0; k < 3; k++) rgb[(y * width + x) * 3 + k] = px[y * stride + x * channels + k];
  }
  return { width, height, rgb };
}

// An 800 x 600 RGB picture shrunk to w x h: by area (each output pixel the
// mean of what it covers), or by nearest pixel.
function shrink(rgb, w, h, nearest) {
  const out = Buffer.alloc(w * h * 3), sx = 800 / w, sy = 600 / h;
  for (let oy = 0; oy < h; oy++) {
    for (let ox = 0; ox < w; ox++) {
      const acc = [0, 0, 0];
      let area = 0;
      if (nearest) {
        const i = (Math.floor((oy + 0.5) * sy) * 800 + Math.floor((ox + 0.5) * sx)) * 3;
        for (let k = 0; k < 3; k++) acc[k] = rgb[i + k];
        area = 1;
      } else {
        for (let y = Math.floor(oy * sy); y < (oy + 1) * sy; y++) {
          const hy = Math.min(y + 1, (oy + 1) * sy) - Math.max(y, oy * sy);
          for (let x = Math.floor(ox * sx); x < (ox + 1) * sx; x++) {
            const wgt = hy * (Math.min(x + 1, (ox + 1) * sx) - Math.max(x, ox * sx));
            for (let k = 0; k < 3; k++) acc[k] += wgt * rgb[(y * 800 + x) * 3 + k];
            area += wgt;
          }
        }
      }
      for (let k = 0; k < 3; k++) out[(oy * w + ox) * 3 + k] = Math.round(acc[k] / area);
    }
  }
  return out;
}
const meanDifference = (a, b) => { let d = 0; for (let i = 0; i < a.length; i++) d += Math.abs(a[i] - b[i]); return d / a.length; };

test("small phone: at 320x568 with 2 device pixels a CSS pixel the title is shrunk smoothly, as the native shot shrunk by area", { timeout: 60000 }, async () => {
  const empty = join(scratch, "title.keys");
  writeFileSync(empty, "60 -\n");
  const shot = join(scratch, "title.bmp");
  execFileSync(nativeSim, ["--seed", "1", "--script", empty, "--frames", "60", "--trace", "none",
                           "--score", join(scratch, "none.dat"), "--shot", `60:${shot}`]);
  const bmp = readFileSync(shot), offset = bmp.readUInt32LE(10), native = Buffer.alloc(800 * 600 * 3);
  for (let y = 0; y < 600; y++) {
    for (let x = 0; x < 800; x++) for (let k = 0; k < 3; k++) native[(y * 800 + x) * 3 + k] = bmp[offset + (599 - y) * 2400 + x * 3 + 2 - k];
  }
  const { page, errors, close } = await openPage({ touch: true, width: 320, height: 568, dpr: 2, query: "?test&seed=1&stop=60&keys=&no-offline" });
  await waitFor(page, "the test run", () => window.pellimunch && window.pellimunch.figures.testDone, undefined, 30000);
  const box = await page.$eval("#canvas", (e) => { const r = e.getBoundingClientRect(); return { x: r.left, y: r.top, width: r.width, height: r.height }; });
  assert.deepEqual([box.width, box.height], [320, 240]);
  const png = decodePng(Buffer.from(await page.screenshot({ clip: { ...box, scale: 1 }, type: "png" })));
  assert.deepEqual([png.width, png.height], [640, 480]);
  if (shots) writeFileSync(join(shots, "small-phone-title.png"), Buffer.from(await page.screenshot({ type: "png" })));
  const smooth = meanDifference(png.rgb, shrink(native, 640, 480, false));
  const dropped = meanDifference(png.rgb, shrink(native, 640, 480, true));
  console.log(`small phone: mean difference from the area-shrunk shot ${smooth.toFixed(2)}, from the nearest-pixel one ${dropped.toFixed(2)}`);
  // Nearest pixel drops every fifth row and column: far from the area's mean.
  assert.ok(smooth < 1.5, `the page's picture is the native one shrunk smoothly (mean difference ${smooth.toFixed(2)})`);
  assert.ok(smooth < dropped / 2, `smooth ${smooth.toFixed(2)} against dropped columns ${dropped.toFixed(2)}`);
  assert.deepEqual(errors, []);
  await close();
});

test("the first visit: under 300 KiB over the network in all, the worker's install included; the program, code and data downloaded once", { timeout: 60000 }, async () => {
  const own = await serve(site);
  const { page, errors, close } = await openPage({ url: own.url, touch: true, width: 390, height: 844, shared: true });
  try {
    await ready(page);
    await waitFor(page, "the service worker in charge", () => !!navigator.serviceWorker.controller, undefined, 30000);
    const build = JSON.parse(readFileSync(join(site, "build.json"), "utf8"));
    const kept = await page.evaluate(async (name) => (await (await caches.open(name)).keys()).length, `pellimunch-${build.build}`);
    assert.equal(kept, Object.keys(build.files).length + 2, "the worker keeps every file, build.json and the page's address");
    for (const f of ["/pellimunch.js", "/pellimunch.wasm", "/pellimunch.data"]) assert.equal(own.stats.paths[f], 1, `${f} downloaded once`);
    console.log(`first visit: ${own.stats.bytes} bytes in ${own.stats.requests} requests`);
    // Everything twice (the page's downloads, then the worker's) was 542 KB.
    assert.ok(own.stats.bytes < 300 * 1024, `the first visit sent ${own.stats.bytes} bytes`);
    assert.deepEqual(errors, []);
  } finally {
    // A failed check must not leave the browser and the server holding the
    // test run open.
    await close();
    await own.close();
  }
});
