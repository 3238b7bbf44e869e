// The offline copy of the game. On its first visit the page installs this
// worker, which keeps every file of the site in a cache named after the
// build; from then on the game loads from there, with or without a network.
// A new build has another name here, so the browser installs it beside the
// old one; it takes over when the page asks (no session is running), and the
// old build's cache is deleted then. The build fills in the two lines below.
"use strict";
const Build = "@BUILD@";
const Files = @FILES@;
const CacheName = "pellimunch-" + Build;

self.addEventListener("install", (event) => {
  // Every file fresh from the server, never from the browser's own cache:
  // a half-old copy would mix two builds.
  event.waitUntil(caches.open(CacheName).then((cache) =>
    cache.addAll(["./", ...Files].map((f) => new Request(f, { cache: "reload" })))));
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
