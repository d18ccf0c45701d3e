// A static web server for trying the built site locally: serves one folder
// on 127.0.0.1 only, GET and HEAD, nothing outside the folder, with the
// cache rules a host should use (docs/web.md): a file whose name carries a
// content hash kept for a year, every other one revalidated.
//   node web/serve.mjs [folder (build-web/site)] [port (8080; 0 picks a free one)]
import { createReadStream } from 'node:fs';
import { stat } from 'node:fs/promises';
import { createServer } from 'node:http';
import { extname, join, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const kTypes = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
  '.txt': 'text/plain; charset=utf-8',
};

const kHashed = /\.[0-9a-f]{10}\.[a-z]+$/;

// Starts serving `folder` on 127.0.0.1:`port`, with `headers` added to every
// answer; resolves to the server and its address:
// await serve('build-web/site', 0) -> {server, url: 'http://127.0.0.1:41234/'}.
export function serve(folder, port = 0, headers = {}) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const fail = (status) => response.writeHead(status, { 'Content-Type': 'text/plain' }).end(`${status}\n`);
    if (request.method !== 'GET' && request.method !== 'HEAD') return fail(405);
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    } catch {
      return fail(400);
    }
    let file = join(root, path);
    if (file !== root && !file.startsWith(root + sep)) return fail(403);
    try {
      if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
      const { size } = await stat(file);
      response.writeHead(200, {
        'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream',
        'Content-Length': size,
        'Cache-Control': kHashed.test(file) ? 'public, max-age=31536000, immutable' : 'no-cache',
        'X-Content-Type-Options': 'nosniff',
        ...headers,
      });
      if (request.method === 'HEAD') return response.end();
      createReadStream(file).pipe(response);
    } catch {
      fail(404);
    }
  });
  return new Promise((done, failed) => {
    server.once('error', failed);
    server.listen(port, '127.0.0.1', () => done({ server, url: `http://127.0.0.1:${server.address().port}/` }));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2] ?? 'build-web/site';
  const { url } = await serve(folder, Number(process.argv[3] ?? 8080));
  console.log(`Textquirl: ${url} (${folder}); Strg+C beendet.`);
}
