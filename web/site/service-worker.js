// Textquirl's service worker: keeps the site's files, so that a visitor who
// came once can open the page without a network and install it. The built
// file names the files (their names carry a hash of their content, so a new
// site never mixes with an old one's) and the cache (after those names).
// The page itself comes from the network while there is one, so that a new
// version shows at once; without one, the copy kept here.
'use strict';

const kCache = 'textquirl-@VERSION@';
const kFiles = @FILES@;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)));
});

// Drops the caches of earlier versions once this one is in charge.
self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys().then((keys) =>
      Promise.all(keys.filter((key) => key.startsWith('textquirl-') && key !== kCache).map((key) => caches.delete(key))),
    ),
  );
});

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  if (request.mode === 'navigate') {
    event.respondWith(fetch(request).catch(() => caches.open(kCache).then((cache) => cache.match('./'))));
  } else {
    event.respondWith(caches.open(kCache).then((cache) => cache.match(request)).then((kept) => kept ?? fetch(request)));
  }
});
