// The daily run in the browser game beside a real board, in headless
// Chromium: "Daily run" plays the day's seed (by the formula, worked out
// here) and starts its game on frame 60 whatever is held; at the end of its
// one game the page gives the line to share and keeps the attempt as the
// day's best; sent to the board, it leads the day's table; "Race the leader"
// fetches it and plays it beside the player as a ghost (its own game, in
// step, drawn over the frames). The ghost's cost a frame goes to the figures.
//
// PM_WEB_SITE: the built site folder; PM_BOARD: the pellimunch-board program;
// PM_CHROMIUM: the browser (default /usr/bin/chromium); PM_WEB_FIGURES: a
// JSON file the ghost's figures are added to (optional).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";
import { launch, probe, required, waitFor } from "../web/helpers.mjs";

const site = required("PM_WEB_SITE");
const boardProgram = required("PM_BOARD");

// The low 32 bits of SplitMix64 of the number YYYYMMDD.
function dailySeed(number) {
  const M = (1n << 64n) - 1n;
  let z = (BigInt(number) + 0x9E3779B97F4A7C15n) & M;
  z = ((z ^ (z >> 30n)) * 0xBF58476D1CE4E5B9n) & M;
  z = ((z ^ (z >> 27n)) * 0x94D049BB133111EBn) & M;
  return Number((z ^ (z >> 31n)) & 0xFFFFFFFFn);
}
const now = new Date();
const today = `${now.getUTCFullYear()}-${String(now.getUTCMonth() + 1).padStart(2, "0")}-${String(now.getUTCDate()).padStart(2, "0")}`;
const todayNumber = Number(today.replaceAll("-", ""));

let scratch, board, url, chromium;

before(async () => {
  scratch = mkdtempSync(join(tmpdir(), "pm-daily-page-"));
  board = spawn(boardProgram, ["--port", "0", "--db", join(scratch, "scores.db"), "--site", site, "--quiet"],
                { stdio: ["ignore", "pipe", "inherit"] });
  const line = await new Promise((ok, fail) => {
    createInterface({ input: board.stdout }).once("line", ok);
    board.once("exit", (code) => fail(new Error(`the board exited (${code})`)));
  });
  url = line.split("listening on ")[1].split(" ")[0] + "/";
  chromium = await launch();
});

after(async () => {
  if (chromium) await chromium.close();
  if (board) {
    board.kill("SIGTERM");
    await new Promise((ok) => board.once("exit", ok));
  }
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

async function open() {
  const page = await chromium.browser.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  await page.setViewport({ width: 1024, height: 768 });
  // The 2D canvas, whose pixels the ghost's band is read from (WebGL's
  // drawing buffer is gone once it is shown).
  await page.goto(url + "index.html?no-offline&no-webgl", { waitUntil: "load" });
  await waitFor(page, "the daily button", () => !!document.getElementById("daily-run"), undefined, 30000);
  return { page, errors };
}

// One daily game: Shift held from the start (not given to the game), a run
// to the right, a rest, then given up; back on the title the attempt is over.
async function playDaily(page) {
  await page.keyboard.down("ShiftLeft");
  await waitFor(page, "the game the session starts", () => window.pellimunch.probe("gameState") === 1);
  await page.keyboard.up("ShiftLeft");
  await page.keyboard.down("ArrowRight");
  await waitFor(page, "a second of running", () => window.pellimunch.probe("frame") > 120);
  await page.keyboard.up("ArrowRight");
  await waitFor(page, "five more seconds", () => window.pellimunch.probe("frame") > 420);
  await page.keyboard.press("Delete");
  await waitFor(page, "the end of the daily game", () => !!window.pmDailyFigures, undefined, 60000);
  return page.evaluate(() => window.pmDailyFigures);
}

test("a daily run goes to the day's table, and the leader is raced as a ghost", { timeout: 240000 }, async () => {
  const first = await open();
  const { page } = first;
  assert.match(await page.$eval("#daily-run", (b) => b.textContent), new RegExp(`Daily run ${today}`));
  assert.match(await page.$eval("#daily-next", (s) => s.textContent), /^next in \d+:\d\d:\d\d$/);
  await page.click("#daily-run");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 5);
  assert.equal(await probe(page, "dailySeed"), dailySeed(todayNumber), "the day's seed");
  const done = await playDaily(page);
  assert.match(done.share, new RegExp(`^Pellimunch daily ${today}: [0-9,]+ \\(level \\d+\\)$`));
  assert.equal(done.newBest, true);
  assert.equal(await page.$eval("#daily-share", (s) => s.textContent), done.share);
  const kept = await page.evaluate((d) => JSON.parse(window.localStorage.getItem("pellimunch/daily/" + d)), today);
  assert.equal(kept.score, done.score);
  assert.match(kept.replay, /^pellimunch-replay 1\nseed (\d+)\nhighscore -?\d+\n59 -\n\d+ LShift\n/);

  // The attempt on the board: it leads the day's table.
  await page.evaluate(() => { window.prompt = () => "daily leader"; });
  await page.click("#daily-send");
  await waitFor(page, "the rank", () => /rank 1\b/.test(document.getElementById("daily-result").textContent));
  const table = await (await fetch(url + `api/top?day=${today}&limit=1`)).json();
  assert.equal(table.runs.length, 1);
  assert.equal(table.runs[0].name, "daily leader");
  const daily = await (await fetch(url + "api/daily")).json();
  assert.equal(daily.seed, dailySeed(todayNumber));

  // The table page: today's tab has the run with a Race link, yesterday's is
  // empty, and the next day is counted down to.
  const scores = await chromium.browser.newPage();
  await scores.goto(url, { waitUntil: "load" });
  await waitFor(scores, "the all-time table", () => document.querySelectorAll("#rows tr").length === 1);
  await scores.click('#tabs button[data-tab="yesterday"]');
  await waitFor(scores, "yesterday's table", () => document.querySelectorAll("#rows tr").length === 0);
  await scores.click('#tabs button[data-tab="today"]');
  await waitFor(scores, "today's table with its Race", () => document.querySelectorAll("#rows a.race").length === 1);
  assert.equal(await scores.$eval("#rows a.race", (a) => a.getAttribute("href")), `index.html?race=${table.runs[0].id}`);
  assert.match(await scores.$eval("#countdown", (s) => s.textContent), /^Next daily in \d+:\d\d:\d\d$/);
  await scores.close();

  // Race the leader from a fresh page: the ghost plays the leader's run in
  // step with the player's, who stands still (the leader gave up at about frame 125).
  const second = await open();
  await waitFor(second.page, "the leader's button", () => !document.getElementById("daily-leader").hidden);
  await second.page.click("#daily-leader");
  await waitFor(second.page, "the ghost in play", () => window.pellimunch.probe("ghostFrames") > 90).catch(async (e) => {
    const state = await second.page.evaluate(() => ({
      failed: window.pellimunch.figures.failed, frame: window.pellimunch.probe("frame"),
      ghost: window.pellimunch.probe("ghostFrames"), status: document.getElementById("daily-status").textContent }));
    throw new Error(`${e.message}: ${JSON.stringify(state)}`);
  });
  const [frame, ghostFrames] = await second.page.evaluate(
    () => [window.pellimunch.probe("frame"), window.pellimunch.probe("ghostFrames")]);
  assert.ok(Math.abs(frame - ghostFrames) <= 1, `in step: player ${frame}, ghost ${ghostFrames}`);
  assert.ok((await probe(second.page, "ghostX")) > 400, "the ghost ran right as the leader did");
  // The ghost's band along the bottom of the picture: darkened, with its
  // pale blue text.
  const band = await second.page.evaluate(() => {
    const c = document.getElementById("canvas");
    const pixels = c.getContext("2d").getImageData(0, 582, 200, 18).data;
    let pale = 0;
    for (let i = 0; i < pixels.length; i += 4) if (pixels[i + 2] > 200 && pixels[i + 1] > 180) pale++;
    return pale;
  });
  assert.ok(band > 20, `the GHOST band shows (${band} pale pixels)`);

  // The ghost's cost a frame: frames 100 to 400 of a daily run with nobody
  // at the keys, alone and then racing the page's own best.
  const third = await open();
  const work = (p) => p.evaluate(() => [window.pellimunch.probe("frames"), window.pellimunch.probe("workMs")]);
  const msPerFrame = async (p) => {
    await waitFor(p, "frame 100", () => window.pellimunch.probe("frame") >= 100);
    const [f0, w0] = await work(p);
    await waitFor(p, "frame 400", () => window.pellimunch.probe("frame") >= 400);
    const [f1, w1] = await work(p);
    return (w1 - w0) / (f1 - f0);
  };
  await third.page.click("#daily-run");
  const alone = await msPerFrame(third.page);
  await third.page.keyboard.press("Escape");
  await waitFor(third.page, "the session's end", () => !document.getElementById("over").hidden);
  await waitFor(third.page, "Race my best", () => !document.getElementById("daily-mine").hidden);
  await third.page.click("#daily-mine");
  const raced = await msPerFrame(third.page);
  assert.ok((await probe(third.page, "ghostFrames")) >= 400, "the ghost ran all the while");
  console.log(`browser: ${raced.toFixed(3)} ms a frame racing a ghost, ${alone.toFixed(3)} ms alone`);
  if (process.env.PM_WEB_FIGURES && existsSync(process.env.PM_WEB_FIGURES)) {
    const figures = JSON.parse(readFileSync(process.env.PM_WEB_FIGURES, "utf8"));
    figures.ghost = { racedMsPerFrame: raced, aloneMsPerFrame: alone };
    writeFileSync(process.env.PM_WEB_FIGURES, JSON.stringify(figures, null, 2));
  }
  assert.deepEqual(third.errors, []);
  assert.deepEqual(first.errors, []);
  assert.deepEqual(second.errors, []);
});
