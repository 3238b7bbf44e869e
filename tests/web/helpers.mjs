// What the page tests share: the browser, the served site, waiting for the
// page's own figures, and key scripts as the page's URL takes them.
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import puppeteer from "puppeteer-core";

export function required(name) {
  const value = process.env[name];
  if (!value || !existsSync(value)) throw new Error(`${name} must name an existing file or folder (got ${value})`);
  return resolve(value);
}

export const chromium = process.env.PM_CHROMIUM || "/usr/bin/chromium";

// A headless Chromium with a profile of its own; `close` removes the profile too.
export async function launch() {
  if (!existsSync(chromium)) throw new Error(`no browser at ${chromium} (install Debian's chromium)`);
  const profile = mkdtempSync(join(tmpdir(), "pm-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
  });
  return { browser, close: async () => { await browser.close(); rmSync(profile, { recursive: true, force: true }); } };
}

export const sleep = (ms) => new Promise((ok) => setTimeout(ok, ms));
export const probe = (page, name) => page.evaluate((n) => window.pellimunch.probe(n), name);
export const pageFigures = (page) => page.evaluate(() => ({ ...window.pellimunch.figures }));

export async function waitFor(page, what, fn, arg, timeout = 10000) {
  try {
    await page.waitForFunction(fn, { timeout, polling: 20 }, arg);
  } catch {
    throw new Error(`timed out waiting for ${what}`);
  }
}

// A key script file as the page's URL takes it: comments dropped, lines joined with ';'.
export function scriptParam(text) {
  return text.split("\n").map((l) => l.replace(/#.*/, "").trim()).filter((l) => l).join(";");
}
