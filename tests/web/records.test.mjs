// The page's record and replays, as a player meets them: a stored record
// that is no number is set aside with a word (never written over, never a
// block on saving), one with a byte order mark or a blank first line is
// read; a full storage at a game over is told at once; the end panel shows
// another tab's higher record; a session left while paused (P then Escape,
// a lost focus then the page going away) verifies in the native runner.
//
// PM_WEB_SITE: the built site folder; PM_NATIVE_SIM: the native runner.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { serve } from "./static_server.mjs";
import { launch, probe, required, sleep, waitFor } from "./helpers.mjs";

const site = required("PM_WEB_SITE");
const nativeSim = required("PM_NATIVE_SIM");
let server, browser, closeBrowser, scratch;

before(async () => {
  server = await serve(site);
  scratch = mkdtempSync(join(tmpdir(), "pm-web-records-"));
  ({ browser, close: closeBrowser } = await launch());
});
after(async () => {
  if (closeBrowser) await closeBrowser();
  if (server) await server.close();
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

const stored = (page, name = "pellimunch/score.dat") => page.evaluate((n) => localStorage.getItem(n), name);
const hold = async (page, code, ms = 120) => { await page.keyboard.down(code); await sleep(ms); await page.keyboard.up(code); };

// A fresh page with `record` in its storage (null: none), a session started.
async function play(record) {
  const page = await browser.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  await page.goto(server.url, { waitUntil: "load" });
  await page.evaluate((r) => {
    localStorage.clear();
    if (r !== null) localStorage.setItem("pellimunch/score.dat", r);
  }, record);
  await page.reload({ waitUntil: "load" });
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
  return { page, errors };
}

// The session's replay played by the native runner: its exit status.
function verifies(text, name) {
  const file = join(scratch, name + ".replay");
  writeFileSync(file, text);
  try {
    execFileSync(nativeSim, ["--replay", file, "--trace", "none", "--dir", dirname(nativeSim) + "/"], { stdio: "pipe" });
    return "";
  } catch (e) {
    return String(e.stderr || e);
  }
}

test("a stored record that is no number is set aside and told; a BOM or a blank line is read through", { timeout: 120000 }, async () => {
  for (const text of ["\uFEFF 7000 \r\n", "\r\n 7000\r\n"]) {
    const { page } = await play(text);
    assert.equal(await probe(page, "highScore"), 7000, JSON.stringify(text));
    assert.equal(await page.evaluate(() => window.pellimunch.figures.recordNotice), null);
    await page.close();
  }
  // "!x" was once taken for a storage error and blocked every save.
  for (const text of ["!x", "abc"]) {
    const { page, errors } = await play(text);
    await waitFor(page, "the notice", () => window.pellimunch.figures.recordNotice !== null);
    assert.equal(await page.$eval("#notice", (e) => e.hidden), false);
    assert.match(await page.$eval("#notice", (e) => e.textContent), /kept aside as pellimunch\/score\.dat\.unreadable/);
    assert.equal(await stored(page, "pellimunch/score.dat.unreadable"), text);
    assert.equal(await probe(page, "highScore"), 1000);
    await hold(page, "Escape");
    await waitFor(page, "the end", () => window.pellimunch.figures.ended === 1);
    assert.equal(await stored(page), " 1000 \r\n", "the save is no longer blocked");
    assert.equal(await stored(page, "pellimunch/score.dat.unreadable"), text, "the odd record is still kept");
    assert.deepEqual(errors, []);
    await page.close();
  }
});

test("a full storage at a game over is told at once; the end panel shows another tab's higher record", { timeout: 120000 }, async () => {
  const { page, errors } = await play(" 0 \r\n");
  await hold(page, "ShiftLeft");
  await waitFor(page, "the run", () => window.pellimunch.probe("gameState") === 1);
  for (let i = 0; i < 20 && (await probe(page, "score")) === 0; i++) {
    await page.keyboard.down("ArrowRight");
    await hold(page, "Space", 80);
    await hold(page, "ArrowUp", 50);
    await page.keyboard.up("ArrowRight");
  }
  assert.ok((await probe(page, "score")) > 0, "the run scored");
  // The storage is full from now on.
  await page.evaluate(() => {
    window.realSetItem = Storage.prototype.setItem;
    Storage.prototype.setItem = function () { throw new DOMException("the quota has been exceeded", "QuotaExceededError"); };
  });
  await hold(page, "Delete");
  await waitFor(page, "the word of the failed save", () => window.pellimunch.figures.saveFailed !== null, undefined, 20000);
  assert.equal(await probe(page, "running"), 1, "told while the session goes on");
  const notice = await page.$eval("#notice", (e) => (e.hidden ? "" : e.textContent));
  assert.match(notice, /could not be kept in this browser's storage .*QuotaExceededError.*free some space/);
  assert.doesNotMatch(notice, /score\.dat|[\u3040-\u30ff]/, "the page's words, not the desktop's");
  assert.equal(await stored(page), " 0 \r\n");

  // Room again; another tab keeps a higher record meanwhile. The session's
  // end keeps that one and the panel shows it.
  await page.evaluate(() => {
    Storage.prototype.setItem = window.realSetItem;
    localStorage.setItem("pellimunch/score.dat", " 99999 \r\n");
  });
  await hold(page, "Escape");
  await waitFor(page, "the end", () => window.pellimunch.figures.ended === 1);
  assert.equal(await page.$eval("#best", (e) => e.textContent), "High score: 99999");
  assert.equal(await page.$eval("#save-failed", (e) => e.hidden), true, "the last save succeeded");
  assert.equal(await stored(page), " 99999 \r\n");
  assert.deepEqual(errors, []);
  await page.close();
});

test("a session left while paused verifies: P then Escape, a lost focus then the page going away", { timeout: 120000 }, async () => {
  const { page, errors } = await play(null);
  await hold(page, "ShiftLeft");
  await hold(page, "ArrowRight", 400);
  await hold(page, "KeyP", 50);
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  await hold(page, "Escape");
  await waitFor(page, "the end", () => window.pellimunch.figures.ended === 1);
  const left = await page.evaluate(() => window.pellimunch.replay());
  assert.match(left, /\nend \d+ escape \d+\n$/);
  assert.equal(verifies(left, "escape"), "");

  await page.click("#again");
  await waitFor(page, "a new session", () => window.pellimunch.probe("running") === 1 && window.pellimunch.probe("frame") > 5);
  await hold(page, "ShiftLeft");
  await page.evaluate(() => window.dispatchEvent(new Event("blur")));
  await waitFor(page, "the pause", () => window.pellimunch.probe("paused") === 1);
  await page.evaluate(() => window.dispatchEvent(new Event("pagehide")));
  await waitFor(page, "the end", () => window.pellimunch.figures.ended === 2);
  const closed = await page.evaluate(() => window.pellimunch.replay());
  assert.match(closed, /\nend \d+ close \d+\n$/);
  assert.equal(verifies(closed, "close"), "");
  assert.deepEqual(errors, []);
  await page.close();
});
