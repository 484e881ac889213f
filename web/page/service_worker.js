// Offline use: the page's files (listed in files.json at build time) are cached on install, and answered from the
// cache first, so a page once visited opens without a network. A new version of the page comes with a new cache.
const CACHE = 'tavelmir-@TAVELMIR_VERSION@-@TAVELMIR_PAGE_DIGEST@';

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const files = await (await fetch('files.json', { cache: 'no-store' })).json();
    const cache = await caches.open(CACHE);
    await cache.addAll(['./', ...files]);
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) if (name !== CACHE) await caches.delete(name);
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cached = await caches.match(request, { ignoreSearch: true });
    return cached || fetch(request);
  })());
});
