// The table page and the browser game beside a real board server, in
// headless Chromium: a name with markup is shown as text; a game over that
// sets the player's best is sent from the game and lands on the table; a
// best.replay file is taken by the table page; the run is watched from the table to its recorded end; on a static host
// without a board, none of it shows.
//
// PM_WEB_SITE: the built site folder; PM_BOARD: the pellimunch-board program;
// PM_CHROMIUM: the browser (default /usr/bin/chromium).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { existsSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { createInterface } from "node:readline";
import { serve } from "../web/static_server.mjs";

const require = createRequire(new URL("../web/package.json", import.meta.url));
const puppeteer = require("puppeteer-core");

function required(name) {
  const value = process.env[name];
  if (!value || !existsSync(value)) throw new Error(`${name} must name an existing file or folder (got ${value})`);
  return resolve(value);
}
const site = required("PM_WEB_SITE");
const boardProgram = required("PM_BOARD");
const chromium = process.env.PM_CHROMIUM || "/usr/bin/chromium";
const sleep = (ms) => new Promise((ok) => setTimeout(ok, ms));

let scratch, db, board, url, browser;

before(async () => {
  scratch = mkdtempSync(join(tmpdir(), "pm-board-page-"));
  db = join(scratch, "scores.db");
  board = spawn(boardProgram, ["--port", "0", "--db", db, "--site", site, "--quiet"], { stdio: ["ignore", "pipe", "inherit"] });
  const line = await new Promise((ok, fail) => {
    createInterface({ input: board.stdout }).once("line", ok);
    board.once("exit", (code) => fail(new Error(`the board exited (${code})`)));
  });
  url = line.split("listening on ")[1].split(" ")[0] + "/";
  browser = await puppeteer.launch({
    executablePath: chromium, headless: true, userDataDir: join(scratch, "profile"),
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--autoplay-policy=no-user-gesture-required"],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (board) {
    board.kill("SIGTERM");
    await new Promise((ok) => board.once("exit", ok));
  }
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

async function open(address) {
  const page = await browser.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(address, { waitUntil: "load" });
  return { page, errors };
}

async function waitFor(page, what, fn, arg, timeout = 15000) {
  try {
    await page.waitForFunction(fn, { timeout, polling: 50 }, arg);
  } catch {
    throw new Error(`timed out waiting for ${what}`);
  }
}

test("the table shows a name with markup as text, never as markup", { timeout: 60000 }, async () => {
  // Only the database itself could hold such a name (the API refuses it):
  // the page must stay safe even then.
  const markup = `<img src=x onerror="window.pwned=1">`;
  execFileSync("sqlite3", [db, `INSERT INTO runs (name, score, level, frames, session_frames, seed, start_record,
    replay_hash, replay, address, submitted_at) VALUES ('${markup.replace(/'/g, "''")}', 123456, 9, 3600, 3600, 1,
    1000, 'forged-row', 'x', 'test', '2026-01-01T00:00:00Z')`]);
  const { page, errors } = await open(url);
  await waitFor(page, "the table's rows", () => document.querySelectorAll("#rows tr").length > 0);
  const shown = await page.evaluate(() => ({
    name: document.querySelector("#rows tr td.name").textContent,
    images: document.querySelectorAll("#rows img").length,
    pwned: window.pwned === 1,
  }));
  assert.deepEqual(shown, { name: markup, images: 0, pwned: false });
  assert.deepEqual(errors, []);
  execFileSync("sqlite3", [db, "DELETE FROM runs WHERE replay_hash = 'forged-row'"]);
  await page.close();
});

test("a game over that sets the best goes from the game onto the table, and is watched back to its end", { timeout: 180000 }, async () => {
  const { page, errors } = await open(url + "index.html");
  // A record of 0: a run given up after a few hops is a new best as soon as
  // it ate anything; one that did not is played again.
  await page.evaluate(() => window.localStorage.setItem("pellimunch/score.dat", "0 \r\n"));
  await page.reload({ waitUntil: "load" });
  await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
  await page.click("#play");
  await waitFor(page, "the first frames", () => window.pellimunch.probe("frame") > 10);
  const offered = () => { const p = document.getElementById("board-offer"); return !!p && !p.hidden; };
  for (let run = 0; run < 5 && !(await page.evaluate(offered)); run++) {
    await page.keyboard.down("ShiftLeft");
    await sleep(120);
    await page.keyboard.up("ShiftLeft");
    await waitFor(page, "the run", () => window.pellimunch.probe("gameState") === 1);
    await page.keyboard.down("ArrowRight");
    await sleep(830);
    await page.keyboard.down("Space");
    await sleep(60);
    await page.keyboard.up("Space");
    await page.keyboard.up("ArrowRight");
    await page.keyboard.down("ArrowLeft");
    await sleep(660);
    await page.keyboard.up("ArrowLeft");
    await page.keyboard.press("Delete");
    await waitFor(page, "the title again", () => window.pellimunch.probe("gameState") === 0, undefined, 60000);
    await sleep(200);
  }
  assert.ok(await page.evaluate(offered), "the offer at the game over that set the best");
  await page.type("#board-name", "Tester <b>");   // the markup is refused by the board...
  await page.click("#board-send");
  await waitFor(page, "the refusal", () => /Refused/.test(document.getElementById("board-result").textContent));
  assert.equal(await page.evaluate(() => window.pellimunch.probe("gameState")), 0, "typing never reached the game");
  await page.evaluate(() => { document.getElementById("board-name").value = ""; });
  await page.type("#board-name", "Tester");        // ...a plain name is taken
  await page.click("#board-send");
  await waitFor(page, "the rank", () => /rank 1\b/.test(document.getElementById("board-result").textContent));
  const top = await (await fetch(url + "api/top")).json();
  assert.equal(top.runs.length, 1);
  assert.equal(top.runs[0].name, "Tester");
  const replay = await (await fetch(url + `api/runs/${top.runs[0].id}/replay`)).text();
  const recordedEnd = replay.trim().split("\n").pop().split(" ");
  const record = await page.evaluate(() => window.localStorage.getItem("pellimunch/score.dat"));
  await page.close();

  // The same run as a best.replay file picked on the table page: looked at,
  // and refused with the board's reason (it is on the table already).
  const file = join(scratch, "best.replay");
  writeFileSync(file, replay);
  const picker = await open(url);
  await picker.page.type("#send-name", "Desk");
  const input = await picker.page.$("#send-file");
  await input.uploadFile(file);
  await picker.page.click("#send-button");
  await waitFor(picker.page, "the answer", () => /already/.test(document.getElementById("send-result").textContent));
  await picker.page.close();

  // A row of the table opens the run in the game, which plays it back.
  const table = await open(url);
  await waitFor(table.page, "the row", () => document.querySelectorAll("#rows tr").length === 1);
  await Promise.all([table.page.waitForNavigation(), table.page.click("#rows tr")]);
  assert.match(table.page.url(), /index\.html\?watch=\d+$/);
  await waitFor(table.page, "the watch button", () => /Watch run/.test(document.getElementById("play").textContent));
  await table.page.click("#play");
  await waitFor(table.page, "watching", () => window.pellimunch.probe("frame") > 30);
  await waitFor(table.page, "the run's end", () => window.pellimunch.figures.ended > 0, undefined, 90000);
  const watched = await table.page.evaluate(() => ({ frames: window.pellimunch.probe("frame"),
                                                     highScore: window.pellimunch.probe("highScore") }));
  assert.equal(watched.frames, Number(recordedEnd[1]), "watched to the recorded frame");
  assert.equal(watched.highScore, Number(recordedEnd[3]), "with the recorded high score");
  assert.equal(await table.page.evaluate(() => window.localStorage.getItem("pellimunch/score.dat")), record,
               "watching left the player's record alone");
  assert.deepEqual([...errors, ...table.errors], []);
  await table.page.close();
});

test("on a static host without a board nothing of the table shows", { timeout: 60000 }, async () => {
  const server = await serve(site);
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on("pageerror", (e) => errors.push(String(e)));
    page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });   // a 404 shows here
    await page.goto(server.url + "index.html?watch=1", { waitUntil: "load" });
    await waitFor(page, "click to play", () => !document.getElementById("play").disabled);
    await sleep(500);
    const state = await page.evaluate(() => ({ board: window.pmBoard.present, play: document.getElementById("play").textContent,
                                               offer: !!document.getElementById("board-offer") }));
    assert.deepEqual(state, { board: false, play: "Click to play", offer: false });
    assert.deepEqual(errors, []);
    await page.close();
  } finally {
    await server.close();
  }
});
