// The browser version in headless Chromium: the test mode's canvas must be
// the native runner's --shot picture, pixel for pixel; then a player's
// session: click to play, Shift, Right, a sound, pause, Escape with the
// save, the record after a reload, a click on the game, play again.
//
// PM_WEB_SITE: the built site folder; PM_NATIVE_SIM: the native runner;
// PM_CHROMIUM: the browser (default /usr/bin/chromium); PM_WEB_FIGURES: a
// file for the measured figures (optional).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { serve } from "./static_server.mjs";
import { launch, pageFigures, probe, required, scriptParam, sleep, waitFor } from "./helpers.mjs";

const site = required("PM_WEB_SITE");
const nativeSim = required("PM_NATIVE_SIM");
const golden = resolve(import.meta.dirname ?? new URL(".", import.meta.url).pathname, "..", "golden");
const figures = {};

let server, browser, closeBrowser, scratch;

before(async () => {
  server = await serve(site);
  scratch = mkdtempSync(join(tmpdir(), "pm-web-"));
  ({ browser, close: closeBrowser } = await launch());
});

after(async () => {
  if (closeBrowser) await closeBrowser();
  if (server) await server.close();
  if (scratch) rmSync(scratch, { recursive: true, force: true });
  if (process.env.PM_WEB_FIGURES) writeFileSync(process.env.PM_WEB_FIGURES, JSON.stringify(figures, null, 2) + "\n");
  console.log("figures: " + JSON.stringify(figures));
});

async function openPage(query = "") {
  const page = await browser.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(server.url + query, { waitUntil: "load" });
  return { page, errors };
}

// The runner's shot as RGB bytes, top row first.
function nativeShot(seed, scriptFile, frame) {
  const shot = join(scratch, `shot-${seed}-${frame}.bmp`);
  execFileSync(nativeSim, ["--seed", String(seed), "--script", scriptFile, "--frames", String(frame),
                           "--trace", "none", "--score", join(scratch, `none-${seed}-${frame}.dat`),
                           "--shot", `${frame}:${shot}`]);
  const bmp = readFileSync(shot);
  assert.equal(bmp.readUInt32LE(18), 800);
  assert.equal(bmp.readInt32LE(22), 600);
  const offset = bmp.readUInt32LE(10);
  const rgb = Buffer.alloc(800 * 600 * 3);
  for (let y = 0; y < 600; y++) {
    const row = offset + (599 - y) * 2400;
    for (let x = 0; x < 800; x++) {
      rgb[(y * 800 + x) * 3] = bmp[row + x * 3 + 2];
      rgb[(y * 800 + x) * 3 + 1] = bmp[row + x * 3 + 1];
      rgb[(y * 800 + x) * 3 + 2] = bmp[row + x * 3];
    }
  }
  return rgb;
}

// What the canvas shows, as RGB bytes (WebGL's or the 2D canvas's).
async function canvasRgb(page) {
  return Buffer.from(await page.evaluate(() => window.pellimunch.pixels()), "base64");
}

function assertSamePicture(actual, expected, what) {
  let differ = 0, first = null;
  for (let i = 0; i < expected.length; i += 3) {
    if (actual[i] !== expected[i] || actual[i + 1] !== expected[i + 1] || actual[i + 2] !== expected[i + 2]) {
      if (first === null) first = [(i / 3) % 800, Math.floor(i / 3 / 800)];
      differ++;
    }
  }
  assert.equal(differ, 0, `${what}: ${differ} pixels differ from the native shot, the first at ${first}`);
}



// Holds a key for `ms` (at least a few frames: the game reads keys once a
// tick). A press that came before any tick heard the last release would be
// the same held key to the game, so the hold ends only when a tick has read
// the release, or the session is over.
async function hold(page, key, ms = 120) {
  await page.keyboard.down(key);
  await sleep(ms);
  await page.keyboard.up(key);
  const ticks = await probe(page, "ticks");
  await waitFor(page, `a tick after ${key} was let go`, (n) => window.pellimunch.probe("ticks") > n || !window.pellimunch.probe("running"), ticks);
}

async function runTestMode(seed, scriptFile, stop) {
  const keys = scriptFile ? scriptParam(readFileSync(scriptFile, "utf8")) : "";
  const query = `?test&seed=${seed}&stop=${stop}&keys=${encodeURIComponent(keys)}`;
  const { page, errors } = await openPage(query);
  await waitFor(page, "the test run", () => window.pellimunch && window.pellimunch.figures.testDone, undefined, 60000);
  const f = await pageFigures(page);
  assert.equal(f.testFrame, stop, "the test run stopped early");
  assert.deepEqual(errors, []);
  return { page, figures: f };
}

test("test mode: the title frame is the native runner's shot, text included", { timeout: 120000 }, async () => {
  const empty = join(scratch, "none.keys");
  writeFileSync(empty, "60 -\n");
  const { page, figures: f } = await runTestMode(1, empty, 60);
  assertSamePicture(await canvasRgb(page), nativeShot(1, empty, 60), "title, seed 1, frame 60");
  figures.firstFrameAfterLoadMs = Math.round(f.firstFrameAt);
  figures.moduleReadyAfterLoadMs = Math.round(f.readyAt);
  await page.close();
});

test("test mode: play frames are the native runner's shots", { timeout: 240000 }, async () => {
  for (const [name, seed, frame] of [["play", 8, 128], ["fevers", 11, 3000]]) {
    const keys = join(golden, `${name}.keys`);
    const { page } = await runTestMode(seed, keys, frame);
    assertSamePicture(await canvasRgb(page), nativeShot(seed, keys, frame), `${name}, seed ${seed}, frame ${frame}`);
    const frames = await probe(page, "frames");
    figures[`testMode_${name}`] = { frames, meanMs: +(await probe(page, "workMs") / frames).toFixed(3),
                                    presentMeanMs: +(await probe(page, "presentMs") / frames).toFixed(3),
                                    maxMs: +(await probe(page, "maxWorkMs")).toFixed(3),
                                    over1Ms: await probe(page, "framesOver1Ms") };
    await page.close();
  }
});

test("test mode: a bad key script is one clear message", { timeout: 60000 }, async () => {
  const { page } = await openPage("?test&seed=1&stop=5&keys=" + encodeURIComponent("10 Sideways"));
  await waitFor(page, "the failure message", () => window.pellimunch && window.pellimunch.figures.failed);
  const f = await pageFigures(page);
  assert.match(f.failed, /^key script line 1: .*Sideways/);
  assert.equal(await page.$eval("#message", (e) => e.hidden), false);
  await page.close();
});

test("live play: start, full screen, run, sound, pause, P, M, Escape saves, the record survives a reload, leaving saves, a click quits", { timeout: 180000 }, async () => {
  const { page, errors } = await openPage();
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  assert.equal(await probe(page, "running"), 0, "nothing runs before the click");
  const clickedAt = await page.evaluate(() => performance.now());
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 10);
  const f0 = await pageFigures(page);
  figures.firstFrameAfterClickMs = +(f0.firstFrameAt - clickedAt).toFixed(1);
  assert.equal(await probe(page, "gameState"), 0, "the title comes first");
  assert.equal(await probe(page, "highScore"), 1000, "a fresh browser has the default record");

  // Full screen by the corner button, back by Alt+Enter; the game goes on.
  await page.click("#fullscreen");
  await waitFor(page, "full screen", () => !!document.fullscreenElement);
  await page.keyboard.down("AltLeft");
  await page.keyboard.press("Enter");
  await page.keyboard.up("AltLeft");
  await waitFor(page, "the window again", () => !document.fullscreenElement);
  assert.equal(await probe(page, "paused"), 0);

  // Shift starts a run; Right moves the ball.
  await hold(page, "ShiftLeft");
  await waitFor(page, "the run", () => window.pellimunch.probe("gameState") === 1);
  const x0 = await probe(page, "ballX");
  await hold(page, "ArrowRight", 500);
  const x1 = await probe(page, "ballX");
  assert.ok(x1 > x0 + 20, `the ball moved right: ${x0} -> ${x1}`);

  // A jump lands with a sound, which reaches WebAudio as real samples.
  await hold(page, "Space", 150);
  await waitFor(page, "a sound", () => window.pellimunch.figures.audioLoudFrames > 0, undefined, 5000);
  const sound = await pageFigures(page);
  assert.equal(sound.audioRate, 44100);

  // Losing the keyboard pauses: no frame runs and the sound is held.
  await page.evaluate(() => window.dispatchEvent(new Event("blur")));
  await waitFor(page, "the pause at the next tick", () => window.pellimunch.probe("paused") === 1);
  const held = await probe(page, "frame");
  await sleep(300);
  assert.equal(await probe(page, "frame"), held, "a paused game runs no frame");
  assert.equal(await page.$eval("#pause", (e) => e.hidden), false);
  await waitFor(page, "the sound held", () => window.pellimunch.audioState === "suspended");
  await page.click("#resume");
  await waitFor(page, "frames again", (n) => window.pellimunch.probe("frame") > n + 5, held);

  // P pauses and goes on as well; M mutes, remembered by the browser. The
  // session hears a key at its next tick.
  await hold(page, "KeyP", 50);
  await waitFor(page, "the pause by P", () => window.pellimunch.probe("paused") === 1);
  await hold(page, "KeyP", 50);
  await waitFor(page, "going on by P", () => window.pellimunch.probe("paused") === 0);
  await hold(page, "KeyM", 50);
  await waitFor(page, "muted by M", () => window.pellimunch.muted === true);
  assert.equal(await page.evaluate(() => localStorage.getItem("pellimunch/mute")), "yes");
  await hold(page, "KeyM", 50);
  await waitFor(page, "sound again by M", () => window.pellimunch.muted === false);

  // Escape quits with the save; the page offers another session.
  const live = await probe(page, "frames");
  figures.live = { frames: live, meanMs: +(await probe(page, "workMs") / live).toFixed(3),
                   presentMeanMs: +(await probe(page, "presentMs") / live).toFixed(3),
                   maxMs: +(await probe(page, "maxWorkMs")).toFixed(3), over1Ms: await probe(page, "framesOver1Ms") };
  await hold(page, "Escape");
  await waitFor(page, "the end of the session", () => window.pellimunch.figures.ended === 1);
  assert.equal(await probe(page, "running"), 0);
  assert.equal(await page.$eval("#over", (e) => e.hidden), false);
  assert.equal(await page.evaluate(() => localStorage.getItem("pellimunch/score.dat")), " 1000 \r\n");

  // The record is the browser's: another one put there is read after a reload.
  await page.evaluate(() => localStorage.setItem("pellimunch/score.dat", " 2345 \r\n"));
  await page.reload({ waitUntil: "load" });
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
  assert.equal(await probe(page, "highScore"), 2345);

  // Leaving the page in the middle of a session saves, as closing the window does.
  await page.evaluate(() => localStorage.removeItem("pellimunch/score.dat"));
  await page.reload({ waitUntil: "load" });
  assert.equal(await page.evaluate(() => localStorage.getItem("pellimunch/score.dat")), " 2345 \r\n");
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);

  // A mouse press on the game ends the session too; "play again" starts anew.
  await page.click("#canvas");
  await waitFor(page, "the end of the session", () => window.pellimunch.figures.ended === 1);
  assert.equal(await page.evaluate(() => localStorage.getItem("pellimunch/score.dat")), " 2345 \r\n");
  await page.click("#again");
  await waitFor(page, "a new session", () => window.pellimunch.probe("running") === 1 && window.pellimunch.probe("frame") > 5);
  assert.equal(await probe(page, "gameState"), 0);
  assert.deepEqual(errors, []);
  await page.close();
});

test("watching a long replay: the text reaches the game whole, and the page's pause works on it", { timeout: 60000 }, async () => {
  const { page, errors } = await openPage();
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  // 30,000 key spans: far more text than the program's stack holds.
  const spans = [];
  for (let i = 0; i < 15000; i++) spans.push("1 Left", "1 -");
  const text = ["pellimunch-replay 1", "seed 7", "highscore 1000", ...spans, "end 30000 escape 1000", ""].join("\n");
  await page.evaluate((t) => window.pellimunch.watch(t), text);
  await waitFor(page, "watching", () => window.pellimunch.probe("watching") === 1 && window.pellimunch.probe("frame") > 30);
  await page.click("#pause-button");
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  await page.click("#resume");
  await waitFor(page, "going on", () => window.pellimunch.probe("paused") === 0);
  assert.equal(await probe(page, "running"), 1);
  assert.deepEqual(errors, []);
  await page.close();
});

test("test mode: the longest run goes in slices with a progress line; the tab answers meanwhile", { timeout: 60000 }, async () => {
  const { page, errors } = await openPage("?test&seed=3&stop=216000&keys=");
  await waitFor(page, "the progress line", () => /^Test run: frame \d+ of 216000$/.test(document.getElementById("test-progress").textContent)
    && !document.getElementById("test-progress").hidden, undefined, 30000);
  const frameOf = () => page.$eval("#test-progress", (e) => Number(e.textContent.match(/frame (\d+)/)[1]));
  const first = await frameOf();
  // The page's own script runs between slices: a display refresh comes, and the line moves on.
  await page.evaluate(() => new Promise((ok) => requestAnimationFrame(ok)));
  await waitFor(page, "the run going on", (n) => Number(document.getElementById("test-progress").textContent.match(/frame (\d+)/)[1]) > n, first);
  assert.ok(first < 216000 && !(await pageFigures(page)).testDone);
  assert.deepEqual(errors, []);
  await page.close();
});
