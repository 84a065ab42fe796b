// Frame times of the same frames natively, in wasm under node and in wasm
// in headless Chromium, one after the other on this machine. A measurement
// for docs/performance.md, not a test: it checks nothing but that the three
// agree on the last frame.
//
//   node frame_times.js PAGE_DIR NATIVE_RENDERER NODE_RENDERER_JS [ROUNDS]
//
// The frames: tests/goldens/spin-round.script four times over (1,080 frames
// turning at 60 Hz). Each command-line run is timed whole and the time of a
// one-frame run (start-up) is taken off; the page times scanvane.step() in
// its manual script mode, which includes putting each frame on the canvas.
// Each figure is the best of ROUNDS (default 5).
//
// Given BENCH (a native scanvane-bench), it also compares the drawing work
// (the counter's figure: begin frame to last triangle) of the start view in
// the page on one thread and on every hardware thread (cross-origin isolated,
// so the clock steps by 5 us, not 100) with scanvane-bench's on the same
// threads, at 512 x 384 and 1920 x 1080: min / p25 / median of 600 frames
// after 60 warm-up frames.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const [pageDir, nativeRenderer, nodeRenderer, roundsText, bench] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const repeats = 4;
const spin = fs.readFileSync(path.join(__dirname, '..', 'goldens', 'spin-round.script'), 'utf8')
  .split('\n').filter((line) => line.trim() && !line.startsWith('#'));
const frames = [].concat(...Array(repeats).fill(spin));

function runOnce(command, args, lines) {
  const start = process.hrtime.bigint();
  const out = execFileSync(command, [...args, '--script', '-'], { input: lines.join('\n') + '\n' });
  return { ms: Number(process.hrtime.bigint() - start) / 1e6, result: JSON.parse(out.toString()) };
}

function commandLine(command, args) {
  let best = Infinity, result;
  for (let i = 0; i < rounds; i++) {
    const whole = runOnce(command, args, frames), startUp = runOnce(command, args, frames.slice(0, 1));
    best = Math.min(best, whole.ms - startUp.ms);
    result = whole.result;
  }
  return { perFrameMs: best / (frames.length - 1), colour: result.colour_crc32 };
}

async function withBrowser(use) {
  const { serve } = require(path.resolve(pageDir, 'serve.js'));
  const server = await serve(path.resolve(pageDir), 0);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'scanvane-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, userDataDir: profile,
    defaultViewport: { width: 512, height: 384, deviceScaleFactor: 1 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  try {
    return await use(browser, `http://127.0.0.1:${server.address().port}`);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

async function chromium() {
  return withBrowser(async (browser, base) => {
    let best = Infinity, colour;
    for (let i = 0; i < rounds; i++) {
      const page = await browser.newPage();
      await page.goto(`${base}/?manual=1&script=${encodeURIComponent(frames.join(';'))}`);
      await page.waitForFunction(() => scanvane.state === 'controls');
      await page.click('#controls-ok');
      await page.waitForFunction(() => scanvane.state === 'running');
      const ms = await page.evaluate(() => {
        scanvane.step(1); // the first frame pays for warming up
        const start = performance.now();
        scanvane.step(Infinity);
        return performance.now() - start;
      });
      best = Math.min(best, ms);
      colour = await page.evaluate(() => scanvane.colourCrc());
      await page.close();
    }
    return { perFrameMs: best / (frames.length - 1), colour };
  });
}

const warmUpFrames = 60, timedFrames = 600;

function spread(micros) {
  const sorted = [...micros].sort((a, b) => a - b);
  return { min: sorted[0], p25: sorted[Math.floor(sorted.length / 4)], median: sorted[sorted.length >> 1] };
}

// The start view's drawing work in the page, in microseconds.
async function pageDrawingWork(browser, base, size, threads) {
  const page = await browser.newPage();
  await page.goto(`${base}/?manual=1&frametime=0.016667&size=${size}&threads=${threads}`);
  await page.waitForFunction(() => scanvane.state === 'controls');
  await page.click('#controls-ok');
  await page.waitForFunction(() => scanvane.state === 'running');
  const seen = await page.evaluate((warmUp, timed) => {
    scanvane.step(warmUp);
    const micros = [];
    for (let i = 0; i < timed; i++) {
      scanvane.step(1);
      micros.push(scanvane.clockCount());
    }
    return { micros, info: scanvane.info(), colour: scanvane.colourCrc() };
  }, warmUpFrames, timedFrames);
  await page.close();
  return { ...spread(seen.micros), info: seen.info, colour: seen.colour };
}

// With the page's span fill, so that the ratio is the cost of WebAssembly.
function benchDrawingWork(size, threads, fill) {
  const out = execFileSync(bench, ['--json', '--size', size, '--threads', String(threads), '--fill', fill]);
  const start = JSON.parse(out.toString()).views.find((view) => view.name === 'start');
  return { min: start.min_ns / 1000, p25: start.p25_ns / 1000, median: start.median_ns / 1000 };
}

async function drawingWork() {
  const all = os.cpus().length;
  const sizes = ['512x384', '1920x1080'];
  const rows = await withBrowser(async (browser, base) => {
    const found = [];
    for (const size of sizes)
      for (const threads of [1, all]) found.push({ size, threads, page: await pageDrawingWork(browser, base, size, threads) });
    return found;
  });
  console.log(`start view drawing work, us (min / p25 / median of ${timedFrames}), ${os.cpus()[0].model}; ` +
    'ratios of min (p25)');
  const figures = (r) => `${r.min.toFixed(0)} / ${r.p25.toFixed(0)} / ${r.median.toFixed(0)}`;
  const ratio = (a, b) => `${(a.min / b.min).toFixed(2)} (${(a.p25 / b.p25).toFixed(2)})`;
  for (const { size, threads, page } of rows) {
    const one = rows.find((row) => row.size === size && row.threads === 1).page;
    const native = benchDrawingWork(size, threads, page.info.fill);
    console.log(`${page.info.width} x ${page.info.height}, ${page.info.threads} thread(s), ${page.info.fill}: ` +
      `page ${figures(page)}, native ${figures(native)}; page/native ${ratio(page, native)}, ` +
      `page one thread/this ${ratio(one, page)}; last frame ${page.colour}`);
  }
}

(async () => {
  const native = commandLine(nativeRenderer, []);
  const node = commandLine('node', ['--no-experimental-fetch', nodeRenderer]);
  const browser = await chromium();
  const row = (name, r) =>
    console.log(`${name.padEnd(26)} ${(r.perFrameMs * 1000).toFixed(0).padStart(6)} us  ` +
      `${(r.perFrameMs / native.perFrameMs).toFixed(2).padStart(5)} x native  last frame ${r.colour}`);
  console.log(`${frames.length} frames, best of ${rounds}, ${os.cpus()[0].model}`);
  row('native scanvane-render', native);
  row('wasm, node', node);
  row('wasm, Chromium page', browser);
  const agree = node.colour === native.colour && browser.colour === native.colour;
  if (!agree) console.log('the last frames differ');
  if (bench) await drawingWork();
  process.exit(agree ? 0 : 1);
})();
