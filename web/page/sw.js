// The page's service worker: asks the server first, so a new build is seen at once, and answers
// from the cache the page filled when the server cannot be reached. Only this page's own files
// pass through it; it never sends a request anywhere else.

const kCache = 'quavrex-page';

self.addEventListener('install', () => self.skipWaiting());
self.addEventListener('activate', (e) => e.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) {
    return;
  }
  event.respondWith((async () => {
    const cache = await caches.open(kCache);
    try {
      const response = await fetch(request);
      if (response.ok) {
        await cache.put(request, response.clone());
      }
      return response;
    } catch (error) {
      const cached = await cache.match(request, {ignoreSearch: true});
      if (cached) {
        return cached;
      }
      throw error;
    }
  })());
});
