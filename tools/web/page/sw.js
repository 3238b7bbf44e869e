// The offline copy of the game. On its first visit the page puts the files
// it downloaded anyway (the program, its code and its data) into a cache
// named after the build, then installs this worker, which adds the rest of
// the site; from then on the game loads from there, with or without a
// network. Each file must be this build's (its SHA-256 is listed below): the
// page's copies are checked, the browser's own copy of a small file is taken
// when it matches, and anything else comes fresh from the server, so that a
// first visit downloads nothing twice and a half-old copy never mixes two
// builds. A new build has another name here, so the browser installs it
// beside the old one; it takes over when the page asks (no session is
// running), and the old build's cache is deleted then. The build fills in
// the two lines below.
"use strict";
const Build = "@BUILD@";
const Files = @FILES@;
const CacheName = "pellimunch-" + Build;

async function sha256(response) {
  const digest = await crypto.subtle.digest("SHA-256", await response.arrayBuffer());
  return [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, "0")).join("");
}

// One file into the cache, this build's or none.
async function keep(cache, name) {
  const want = Files[name === "./" ? "index.html" : name];
  const kept = await cache.match(name);
  if (kept && await sha256(kept) === want) return;
  const known = await fetch(name, { cache: "force-cache" }).catch(() => null);
  if (known && known.ok && await sha256(known.clone()) === want) {
    await cache.put(name, known);
    return;
  }
  const fresh = await fetch(new Request(name, { cache: "reload" }));
  if (!fresh.ok) throw new Error(`${name}: ${fresh.status}`);
  if (await sha256(fresh.clone()) !== want) throw new Error(`${name}: not this build's`);
  await cache.put(name, fresh);
}

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(CacheName).then((cache) =>
    Promise.all(["./", ...Object.keys(Files)].map((name) => keep(cache, name)))));
});

self.addEventListener("activate", (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith("pellimunch-") && name !== CacheName) await caches.delete(name);
    }
    await self.clients.claim();
  })());
});

self.addEventListener("message", (event) => { if (event.data === "take-over") self.skipWaiting(); });

self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CacheName);
    // The page's address may carry a query (the test mode): it is the same page.
    const kept = await cache.match(request, { ignoreSearch: request.mode === "navigate" });
    return kept || fetch(request);
  })());
});
