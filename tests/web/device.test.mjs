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
import { gunzipSync } from "node:zlib";
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
async function openPage({ width = 1024, height = 768, touch = false, query = "", url = server.url, before, shared } = {}) {
  const context = shared ? null : await browser.createBrowserContext();
  const page = await (context || browser).newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  await page.setViewport({ width, height, hasTouch: touch, isMobile: touch, deviceScaleFactor: 1 });
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
      vw: window.innerWidth, vh: window.innerHeight, canvas: box(canvas),
      rendering: getComputedStyle(canvas).imageRendering,
      keys: [...document.querySelectorAll(".touch-key")].map((el) => ({ key: el.dataset.key, shown: shown(el), ...box(el) })),
      tools: [...document.querySelectorAll("#bar button")].map((el) => ({ key: el.id, shown: shown(el), ...box(el) })),
    };
  });
}

const inside = (b, vw, vh) => b.x >= -0.5 && b.y >= -0.5 && b.x + b.w <= vw + 0.5 && b.y + b.h <= vh + 0.5;
const overlap = (a, b) => a.x < b.x + b.w - 0.5 && b.x < a.x + a.w - 0.5 && a.y < b.y + b.h - 0.5 && b.y < a.y + a.h - 0.5;

test("layout: the picture whole and sharp at four screen sizes; touch keys only on a touch screen, inside the screen, off the picture", { timeout: 180000 }, async () => {
  const keys = readFileSync(join(here, "..", "golden", "play.keys"), "utf8")
    .split("\n").map((l) => l.replace(/#.*/, "").trim()).filter((l) => l).join(";");
  const screens = [
    { name: "phone-portrait", width: 390, height: 844, touch: true },
    { name: "phone-landscape", width: 844, height: 390, touch: true },
    { name: "tablet-portrait", width: 768, height: 1024, touch: true },
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
    assert.equal(l.rendering, "pixelated", `${what}: nearest-pixel scaling`);
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
        // Where thumbs rest: the lower half of the screen.
        assert.ok(k.y + k.h > l.vh / 2, `${what}: touch key ${k.key} sits high: ${JSON.stringify(k)}`);
      }
      if (s.height > s.width) assert.ok(l.canvas.w >= l.vw - 1, `${what}: upright, the picture takes the full width`);
      else assert.ok(l.canvas.h >= 0.95 * l.vh, `${what}: lying, the picture is as tall as the screen: ${l.canvas.h}`);
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
  writeFileSync(join(next, "sw.js"), readFileSync(join(site, "sw.js"), "utf8").replace(`"${build}"`, '"next-build"'));
  for (const f of ["index.html", "index.html.gz"]) rmSync(join(next, f));
  writeFileSync(join(next, "index.html"), readFileSync(join(site, "index.html"), "utf8").replace("<title>Pellimunch</title>", "<title>Pellimunch next</title>"));
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
