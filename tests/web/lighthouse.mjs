// Lighthouse's scores for the built site, served by tools/web/serve.py as a
// real host would serve it, in headless Chromium: the phone profile (slowed
// network and processor) and the computer's. Prints the four scores of each,
// the layout shift and the first paints; a figure, not a test.
//
//     node tests/web/lighthouse.mjs SITE_DIR [RUNS]
//
// With RUNS > 1 each profile runs that many times and the median is printed.
import { spawn } from "node:child_process";
import { resolve, join } from "node:path";
import * as chromeLauncher from "chrome-launcher";
import lighthouse from "lighthouse";
import desktopConfig from "lighthouse/core/config/desktop-config.js";

const site = resolve(process.argv[2] || "build-web/site");
const runs = Number(process.argv[3] || 1);
const here = import.meta.dirname ?? new URL(".", import.meta.url).pathname;
const port = 18500 + Math.floor(Math.random() * 1000);
const server = spawn("python3", [join(here, "..", "..", "tools", "web", "serve.py"), site, String(port)], { stdio: "ignore" });
const url = `http://127.0.0.1:${port}/`;

for (let i = 0; i < 50; i++) {
  try { if ((await fetch(url)).ok) break; } catch { await new Promise((ok) => setTimeout(ok, 100)); }
}

const chrome = await chromeLauncher.launch({
  chromePath: process.env.PM_CHROMIUM || "/usr/bin/chromium",
  chromeFlags: ["--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run"],
});
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
try {
  for (const [name, config] of [["phone", undefined], ["computer", desktopConfig]]) {
    const results = [];
    for (let r = 0; r < runs; r++) {
      const { lhr } = await lighthouse(url, { port: chrome.port, output: "json", logLevel: "error" }, config);
      const a = lhr.audits;
      results.push({
        performance: Math.round(100 * lhr.categories.performance.score),
        accessibility: Math.round(100 * lhr.categories.accessibility.score),
        bestPractices: Math.round(100 * lhr.categories["best-practices"].score),
        seo: Math.round(100 * lhr.categories.seo.score),
        cls: a["cumulative-layout-shift"].numericValue,
        fcpMs: a["first-contentful-paint"].numericValue,
        lcpMs: a["largest-contentful-paint"].numericValue,
        tbtMs: a["total-blocking-time"].numericValue,
        failed: Object.values(lhr.categories).flatMap((c) => c.auditRefs)
          .map((ref) => a[ref.id]).filter((x) => x && x.score !== null && x.score < 0.9 && x.scoreDisplayMode !== "informative")
          .map((x) => x.id),
        tasks: ((a["long-tasks"].details || {}).items || []).map((t) => `${t.url} at ${t.startTime.toFixed(0)} ms for ${t.duration.toFixed(0)} ms`),
        shifts: ((a["layout-shifts"] || {}).details || {}).items || [],
        lcpElement: JSON.stringify((a["largest-contentful-paint-element"] || {}).details || {}).slice(0, 400),
      });
    }
    const pick = (k) => median(results.map((x) => x[k]));
    console.log(`${name}: performance ${pick("performance")}, accessibility ${pick("accessibility")}, ` +
                `best practices ${pick("bestPractices")}, SEO ${pick("seo")}; layout shift ${pick("cls").toFixed(3)}, ` +
                `first contentful paint ${pick("fcpMs").toFixed(0)} ms, largest ${pick("lcpMs").toFixed(0)} ms, ` +
                `blocking ${pick("tbtMs").toFixed(0)} ms` + (runs > 1 ? ` (median of ${runs})` : ""));
    const failed = [...new Set(results.flatMap((x) => x.failed))];
    if (failed.length) console.log(`  below 90: ${failed.join(", ")}`);
    if (process.env.PM_LIGHTHOUSE_TASKS) {
      for (const t of results[0].tasks) console.log(`  long task: ${t}`);
      console.log(`  largest paint: ${results[0].lcpElement}`);
      for (const x of results[0].shifts) console.log(`  layout shift: ${JSON.stringify(x).slice(0, 300)}`);
    }
  }
} finally {
  await chrome.kill();
  server.kill();
}
