// serve.mjs -- serves a folder on 127.0.0.1 (make web-serve): node tools/web/serve.mjs DIR [PORT]
//
// A static server and nothing more; localhost counts as a secure context, so the pages get
// their AudioWorklet. The check (web-check.mjs) uses the same server on a port of its own.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.xm': 'application/octet-stream',
};

export function serve(folder, port, host = '127.0.0.1') {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
    if (!file.startsWith(root)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, {'Content-Type': TYPES[extname(file)] || 'application/octet-stream',
                               'Cache-Control': 'no-cache'});
      response.end(body);
    } catch {
      response.writeHead(404, {'Content-Type': 'text/plain'}).end('not found\n');
    }
  });
  return new Promise((done, failed) => {
    server.once('error', failed);
    server.listen(port, host, () => done(server));
  });
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const [folder = 'build-web', port = '8000'] = process.argv.slice(2);
  serve(folder, Number(port)).then((server) => {
    const address = server.address();
    console.log(`serving ${folder}/ on http://${address.address}:${address.port}/ ` +
                `(the show: /index.html, the player: /player.html); Ctrl-C stops`);
  }, (error) => {
    console.error(`web-serve: cannot serve on port ${port}: ${error.message}`);
    process.exit(1);
  });
}
