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
// workers), at a screen size, with or without a touch screen.
async function openPage({ width = 1024, height = 768, touch = false, query = "", url = server.url, before } = {}) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  await page.setViewport({ width, height, hasTouch: touch, isMobile: touch, deviceScaleFactor: 1 });
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url + query, { waitUntil: "load" });
  return { page, errors, close: () => context.close() };
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
