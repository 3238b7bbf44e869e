// A static file server on 127.0.0.1 for the page tests: the site folder as
// a static web host serves it (the build's precompressed NAME.gz for NAME
// when the browser takes gzip, "no-cache" as serve.py says), on a port the
// system picks. `count` tells how
// many requests reached it, `close` stops it (the network gone). Options:
// `port` (0: any), `missing` (file names answered with 404, as a broken upload).
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { existsSync } from "node:fs";
import { extname, join, normalize } from "node:path";

const types = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".mjs": "text/javascript",
  ".css": "text/css", ".wasm": "application/wasm", ".data": "application/octet-stream",
  ".json": "application/json", ".webmanifest": "application/manifest+json", ".png": "image/png",
};

export async function serve(folder, { port = 0, missing = [] } = {}) {
  // bytes: what went over the wire (compressed where it was); paths: requests per path.
  const stats = { requests: 0, gzipped: 0, bytes: 0, paths: {} };
  // Long addresses pass, as on the hosts the test mode's long key scripts were tried on.
  const server = createServer({ maxHeaderSize: 4 << 20 }, async (req, res) => {
    stats.requests++;
    const path = normalize(decodeURIComponent(new URL(req.url, "http://x").pathname));
    stats.paths[path] = (stats.paths[path] || 0) + 1;
    const file = join(folder, path.endsWith("/") ? path + "index.html" : path);
    if (!file.startsWith(folder) || file.endsWith(".gz")) { res.writeHead(403).end(); return; }
    if (missing.some((m) => file.endsWith("/" + m))) { res.writeHead(404).end("not found"); return; }
    const gz = /\bgzip\b/.test(req.headers["accept-encoding"] || "") && existsSync(file + ".gz");
    try {
      const body = await readFile(gz ? file + ".gz" : file);
      const headers = { "Content-Type": types[extname(file)] || "application/octet-stream",
                        "Cache-Control": "no-cache", "Vary": "Accept-Encoding" };
      if (gz) { headers["Content-Encoding"] = "gzip"; stats.gzipped++; }
      stats.bytes += body.length;
      res.writeHead(200, headers);
      res.end(body);
    } catch {
      res.writeHead(404).end("not found");
    }
  });
  await new Promise((ok) => server.listen(port, "127.0.0.1", ok));
  return { url: `http://127.0.0.1:${server.address().port}/`, port: server.address().port, stats,
           close: () => new Promise((ok) => { server.closeAllConnections?.(); server.close(ok); }) };
}
