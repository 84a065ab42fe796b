// Serves the page's build folder on 127.0.0.1, nothing else.
//   node serve.js [PORT]    (0 or none: any free port)
// Prints the address once it listens. Also used by the page tests, which
// require() it and call serve(folder, port[, { isolated: false }]).
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.ply': 'application/octet-stream', // the sample models
};

// Cross-origin isolation: without it the browser gives the page no
// SharedArrayBuffer, and so no WebAssembly threads.
const isolationHeaders = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
};

// isolated: false leaves the isolation headers out (the page then draws on
// one thread, as where a server does not send them).
function serve(folder, port, { isolated = true } = {}) {
  // Room for a long script= in the address (node's default is 16 KB).
  const server = http.createServer({ maxHeaderSize: 1 << 20 }, (request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      response.writeHead(400).end('bad request');
      return;
    }
    const file = path.join(folder, name === '/' ? 'index.html' : name);
    // Only the page's own files, never anything outside its folder.
    if (path.dirname(file) !== folder || !types[path.extname(file)]) {
      response.writeHead(404).end('not found');
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) return response.writeHead(404).end('not found');
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)],
        'Cache-Control': 'no-store',
        ...(isolated ? isolationHeaders : {}),
      });
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = { serve };

if (require.main === module) {
  const port = Number(process.argv[2] || 0);
  serve(__dirname, port).then(
    (server) => console.log(`Scanvane is at http://127.0.0.1:${server.address().port}/ (Ctrl-C stops the server)`),
    (error) => {
      console.error(`serve.js: ${error.message}`);
      process.exit(1);
    });
}
