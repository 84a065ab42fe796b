// The page in Debian's Chromium, driven over the DevTools protocol and
// served from 127.0.0.1: the controls box, the start view, the canvas and a
// screenshot against the wasm colour buffer, keys held and released (and
// dropped on focus loss) against scanvane-render --script with the same
// frame times, nearest-neighbour scaling, Escape, URL mistakes, a message
// in words whichever step of loading fails (opened from disk too), and the
// frames on WebAssembly threads (cross-origin isolated) or on one thread
// where the server leaves the isolation headers out.
//
//   node page_test.js PAGE_DIR RENDERER
//
// PAGE_DIR is build/web/platform/web; RENDERER is a scanvane-render command
// (split on blanks). Prints one line per check; exits 1 if any failed.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const [pageDir, rendererCommand] = process.argv.slice(2);
if (!pageDir || !rendererCommand) {
  console.error('usage: node page_test.js PAGE_DIR RENDERER');
  process.exit(2);
}
const { serve } = require(path.resolve(pageDir, 'serve.js'));
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const waitLimit = { timeout: 30000 };
const frameTime = '0.1';

let failures = 0;
function check(ok, what, detail = '') {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : `: ${detail}`}`);
  if (!ok) failures++;
}

function golden(name) {
  const file = path.join(__dirname, '..', 'goldens', 'goldens.txt');
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    const fields = line.split('|').map((field) => field.trim());
    if (fields[0] === name) return { colour: fields[3], depth: fields[4] };
  }
  throw new Error(`no golden '${name}'`);
}

function render(scriptLines, options = []) {
  const [command, ...args] = rendererCommand.split(/\s+/);
  const out = execFileSync(command, [...args, ...options, '--script', '-'], { input: scriptLines.join('\n') + '\n' });
  const result = JSON.parse(out.toString());
  return { colour: result.colour_crc32, depth: result.depth_crc32 };
}

async function crcs(page) {
  return page.evaluate(() => ({ colour: scanvane.colourCrc(), depth: scanvane.depthCrc() }));
}

function sameCrcs(got, want, what) {
  check(got.colour === want.colour && got.depth === want.depth, what,
    `page ${got.colour}/${got.depth}, expected ${want.colour}/${want.depth}`);
}

// A screenshot of the page, decoded by the browser itself and left in the
// page as window.screenshot (an ImageData) for the checks that follow.
async function takeScreenshot(page) {
  const png = await page.screenshot({ type: 'png', encoding: 'base64' });
  await page.evaluate(async (base64) => {
    const image = new Image();
    image.src = `data:image/png;base64,${base64}`;
    await image.decode();
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    window.screenshot = context.getImageData(0, 0, image.width, image.height);
  }, png);
}

// Opens the page and waits for the controls box (or a message).
async function openPage(browser, base, query = '') {
  const page = await browser.newPage();
  // Every file the browser asked for and did not get (a favicon included).
  page.missing = [];
  page.on('response', (response) => {
    if (response.status() >= 400) page.missing.push(`${response.status()} ${response.url()}`);
  });
  page.on('requestfailed', (request) => page.missing.push(`failed ${request.url()}`));
  await page.goto(`${base}/${query}`);
  await page.waitForFunction(() => ['controls', 'error'].includes(scanvane.state), waitLimit);
  return page;
}

// A short script may have run to its end by the time the page is asked.
async function dismissControls(page) {
  await page.click('#controls-ok');
  await page.waitForFunction(() => ['running', 'finished'].includes(scanvane.state), waitLimit);
}

async function startView(browser, base) {
  const page = await openPage(browser, base);
  const box = await page.evaluate(() => ({
    state: scanvane.state,
    frames: scanvane.framesShown(),
    caption: document.getElementById('controls-caption').textContent,
    text: document.getElementById('controls-text').textContent,
    title: document.title,
  }));
  check(box.state === 'controls' && box.frames === 0, 'the controls box comes before the first frame',
    JSON.stringify(box));
  check(box.caption === 'Scanvane V 1.02 - Controls' && box.title === 'Scanvane V 1.02 by Quorrel' &&
    box.text.startsWith('Welcome, controls are as follows: \n\nup - move forward\n') &&
    box.text.endsWith('esc - quit\n\n'), 'controls caption, text and page title', JSON.stringify(box));

  await dismissControls(page);
  await page.waitForFunction(() => scanvane.framesShown() >= 3, waitLimit);
  sameCrcs(await crcs(page), golden('start'), 'start view CRCs after the controls box (frames run on their own)');
  check(page.missing.length === 0, 'the page asks for no file it lacks', page.missing.join(', '));

  // The canvas holds exactly the wasm colour buffer, made opaque. Frames go
  // on meanwhile, but with no key held every frame is the same picture.
  const readBack = await page.evaluate(() => {
    const canvas = document.getElementById('frame');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const buffer = scanvane.colourBuffer();
    let differ = 0;
    for (let i = 0; i < buffer.length; i++) {
      const p = buffer[i];
      if (data[4 * i] !== (p >>> 16 & 255) || data[4 * i + 1] !== (p >>> 8 & 255) ||
          data[4 * i + 2] !== (p & 255) || data[4 * i + 3] !== 255) differ++;
    }
    return { differ, pixels: buffer.length };
  });
  check(readBack.differ === 0 && readBack.pixels === 512 * 384, 'canvas read-back equals the wasm colour buffer',
    `${readBack.differ} of ${readBack.pixels} pixels differ`);

  // The screenshot, decoded by the browser itself: outside the counter's
  // box every pixel is the frame's; inside it there is red text.
  await takeScreenshot(page);
  const shot = await page.evaluate(() => {
    const image = screenshot, data = screenshot.data;
    const buffer = scanvane.colourBuffer();
    const counterRows = 16, counterColumns = 160;
    const info = document.getElementById('info').getBoundingClientRect();
    const overInfo = (x, y) => x < info.right && y >= info.top && y < info.bottom;
    let infoText = 0;
    let differ = 0, red = 0, white = 0, doorPixels = 0, doorLeft = 512, doorRight = -1;
    for (let y = 0; y < 384; y++)
      for (let x = 0; x < 512; x++) {
        const i = y * 512 + x, r = data[4 * i], g = data[4 * i + 1], b = data[4 * i + 2];
        if (y < counterRows && x < counterColumns) {
          if (r === 255 && g === 0 && b === 0) red++;
          if (r === 255 && g === 255 && b === 255) white++;
          continue;
        }
        if (overInfo(x, y)) {
          if (r === 0 && g === 0 && b === 0) infoText++;
          continue;
        }
        const p = buffer[i];
        if (r !== (p >>> 16 & 255) || g !== (p >>> 8 & 255) || b !== (p & 255)) differ++;
        // The door's brown-orange: green about half of red, no blue.
        if (r >= 64 && 2 * g >= 0.8 * r && 2 * g <= 1.2 * r && b <= 8) {
          doorPixels++;
          doorLeft = Math.min(doorLeft, x);
          doorRight = Math.max(doorRight, x);
        }
      }
    return { width: image.width, height: image.height, differ, red, white, doorPixels, doorLeft, doorRight,
      infoText, info: document.getElementById('info').innerText, infoTop: info.top };
  });
  check(shot.width === 512 && shot.height === 384 && shot.differ === 0,
    'screenshot equals the frame outside the counter', JSON.stringify(shot));
  check(shot.red >= 20 && shot.white >= 200, 'screenshot shows the red counter on its opaque box',
    JSON.stringify(shot));
  check(shot.infoTop >= 16 && shot.infoText >= 20 && /^512 x 384, 1 thread, sse2/.test(shot.info),
    'size, threads and fill are shown under the counter, over the frame', JSON.stringify(shot));
  // About 37 x 74 pixels just left of the centre column.
  check(shot.doorPixels >= 2000 && shot.doorLeft > 200 && shot.doorRight < 256, 'screenshot shows the door',
    JSON.stringify(shot));

  // Twice the size in both directions: every frame pixel becomes a 2 x 2
  // block of the same colour (nearest-neighbour, no smoothing).
  await page.setViewport({ width: 1024, height: 768, deviceScaleFactor: 1 });
  await page.waitForFunction((shown) => scanvane.framesShown() > shown + 2, waitLimit,
    await page.evaluate(() => scanvane.framesShown()));
  await takeScreenshot(page);
  const scaled = await page.evaluate(() => {
    const image = screenshot, data = screenshot.data;
    const buffer = scanvane.colourBuffer();
    let differ = 0;
    for (let y = Math.ceil(document.getElementById('info').getBoundingClientRect().bottom); y < 768; y++)
      for (let x = 0; x < 1024; x++) {
        const i = 4 * (y * 1024 + x), p = buffer[(y >> 1) * 512 + (x >> 1)];
        if (data[i] !== (p >>> 16 & 255) || data[i + 1] !== (p >>> 8 & 255) || data[i + 2] !== (p & 255)) differ++;
      }
    return { width: image.width, height: image.height, differ };
  });
  check(scaled.width === 1024 && scaled.height === 768 && scaled.differ === 0,
    'at twice the size the frame is scaled with nearest-neighbour sampling', JSON.stringify(scaled));

  // Escape stops the frames and says so.
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => scanvane.state === 'stopped', waitLimit);
  const before = await page.evaluate(() => scanvane.framesShown());
  await page.evaluate(() => new Promise((done) => setTimeout(done, 300)));
  const after = await page.evaluate(() => ({
    frames: scanvane.framesShown(),
    message: document.getElementById('message').hidden ? '' : document.getElementById('message').textContent,
  }));
  check(after.frames === before && /stopped/.test(after.message) && /Escape/.test(after.message),
    'Escape stops the frames and says so', JSON.stringify({ before, ...after }));
  await page.close();
}

// Keys pressed, held and released at the browser, with every frame fed the
// same time, against the same frames as a script.
async function keySequence(browser, base) {
  const page = await openPage(browser, base, `?frametime=${frameTime}&manual=1`);
  await dismissControls(page);
  const step = (n) => page.evaluate((count) => scanvane.step(count), n);
  // Heard after the page's own handler: was the browser's default (scrolling) stopped?
  await page.evaluate(() => {
    window.keysLeftToBrowser = [];
    window.addEventListener('keydown', (event) => event.defaultPrevented || keysLeftToBrowser.push(event.code));
  });
  await step(1);
  await page.keyboard.down('ArrowUp');
  await step(3);
  await page.keyboard.down('KeyA');
  await page.keyboard.down('ArrowLeft');
  await page.keyboard.down('ArrowLeft'); // auto-repeat: held, not faster
  await step(2);
  await page.keyboard.up('ArrowUp');
  await page.keyboard.up('ArrowLeft');
  await step(1);
  await page.keyboard.up('KeyA');
  await step(1);
  const script = [frameTime, `${frameTime} up`, `${frameTime} up`, `${frameTime} up`,
    `${frameTime} up a left`, `${frameTime} up a left`, `${frameTime} a`, frameTime];
  const want = render(script);
  sameCrcs(await crcs(page), want, 'keys held and released give the same frame as scanvane-render --script');
  check(want.colour !== golden('start').colour, 'the key sequence moved the camera', want.colour);
  const leftToBrowser = await page.evaluate(() => keysLeftToBrowser);
  check(leftToBrowser.length === 0, 'the keys do not reach the browser (arrows would scroll)', leftToBrowser.join());
  await page.close();

  // The script mode runs the same frames by itself and then stops.
  const scripted = await openPage(browser, base, `?script=${encodeURIComponent(script.join(';'))}`);
  await dismissControls(scripted);
  await scripted.waitForFunction(() => scanvane.state === 'finished', waitLimit);
  const frames = await scripted.evaluate(() => scanvane.framesShown());
  check(frames === script.length, 'script mode draws one frame per line and stops', `${frames} frames`);
  sameCrcs(await crcs(scripted), want, 'script mode gives the same frame');
  await scripted.close();
}

// Losing the focus releases every held key: the key-up that follows
// elsewhere never reaches the page.
async function focusLoss(browser, base) {
  const page = await openPage(browser, base, `?frametime=${frameTime}&manual=1`);
  await dismissControls(page);
  await page.keyboard.down('ArrowRight');
  await page.evaluate(() => scanvane.step(2));
  const other = await browser.newPage();
  await other.bringToFront();
  await page.evaluate(() => document.hasFocus() || new Promise((done) => setTimeout(done, 100)));
  const focused = await page.evaluate(() => document.hasFocus());
  if (focused) {
    // Some headless builds keep every page focused; the event is then sent
    // by hand, as the browser would send it.
    await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
  }
  await page.bringToFront();
  await page.evaluate(() => scanvane.step(2));
  sameCrcs(await crcs(page), render([`${frameTime} right`, `${frameTime} right`, frameTime, frameTime]),
    'focus loss releases the held keys');
  await other.close();
  await page.keyboard.up('ArrowRight');
  await page.close();
}

async function badParameters(browser, base) {
  const cases = [
    ['?frametime=abc', /frametime.*'abc'/],
    ['?frametime=-0.1', /sign/],
    ['?frametime=0.1%20up', /frametime/],
    ['?script=0.1%20up;0.2%20sideways', /script line 2: unknown key 'sideways'/],
    ['?script=%23only%20a%20comment', /no frames/],
    ['?frametime=0.1&script=0.1', /cannot be used together/],
    ['?manual=yes', /manual/],
    ['?speed=2', /unknown URL parameter 'speed'/],
    // The module's own reading and words, as scanvane-render's --threads.
    ['?threads=two', /URL parameter threads wants a whole number from 1 to 256, or 0 for every hardware thread; got 'two'/],
    ['?threads=-1', /threads wants a whole number .*; got '-1'/],
    ['?threads=257', /threads wants a whole number .*; got '257'/],
    ['?threads=0256', /threads wants a whole number .*; got '0256'/],
    ['?threads=', /threads wants a whole number .*; got ''/],
    ['?threads=2&threads=3', /'threads' is given more than once/],
    ['?size=0x0', /size: '0x0' is outside the sizes drawn/],
    ['?size=7681x100', /size: '7681x100' is outside the sizes drawn/],
    ['?size=big', /size: 'big' is not a size/],
    ['?size=640x480&threads=2&size=native', /'size' is given more than once/],
    ['?model=dragon', /model: no sample model 'dragon' \(the page ships: bunny\)/],
    ['?model=../index.html', /model: no sample model '\.\.\/index\.html'/],
    ['?model=constructor', /model: no sample model 'constructor'/],
    ['?model=', /model: no sample model ''/],
    ['?model=bunny&model=bunny', /'model' is given more than once/],
  ];
  for (const [query, expected] of cases) {
    const page = await openPage(browser, base, query);
    const seen = await page.evaluate(() => ({
      state: scanvane.state,
      message: document.getElementById('message').hidden ? '' : document.getElementById('message').innerText,
    }));
    check(seen.state === 'error' && expected.test(seen.message), `URL ${query} gives a clear message`,
      JSON.stringify(seen));
    await page.close();
  }
}

async function pageInfo(page) {
  return page.evaluate(() => ({
    isolated: crossOriginIsolated, info: scanvane.info(), text: document.getElementById('info').innerText,
    cores: navigator.hardwareConcurrency, helpers: window.Module.PThread ? Module.PThread.runningWorkers.length : 0,
  }));
}

// threads=N on the isolated page: helper threads started at start-up, the
// same frames as one thread natively, whatever the keys do.
async function threads(browser, base) {
  const script = [frameTime, `${frameTime} up`, `${frameTime} up left`, `${frameTime} up left a`,
    `${frameTime} right z`, `${frameTime} down`, frameTime];
  const want = render(script);
  for (const count of [2, 3]) {
    const page = await openPage(browser, base, `?threads=${count}&script=${encodeURIComponent(script.join(';'))}`);
    await dismissControls(page);
    await page.waitForFunction(() => scanvane.state === 'finished', waitLimit);
    const seen = await pageInfo(page);
    check(seen.isolated && seen.info.threads === count && seen.helpers === count - 1 &&
      seen.text.startsWith(`512 x 384, ${count} threads, `), `threads=${count}: ${count - 1} helper threads on the isolated page`,
      JSON.stringify(seen));
    sameCrcs(await crcs(page), want, `threads=${count}: the key script's frames equal scanvane-render's on one thread`);
    await page.close();
  }

  // threads=0 is every hardware thread; the switch goes back to one thread.
  const page = await openPage(browser, base, '?threads=0&frametime=0.1');
  await dismissControls(page);
  await page.waitForFunction(() => scanvane.framesShown() >= 3, waitLimit);
  const all = await pageInfo(page);
  check(all.info.threads === all.cores && all.helpers === all.cores - 1, 'threads=0 draws on every hardware thread',
    JSON.stringify(all));
  sameCrcs(await crcs(page), golden('start'), 'threads=0: the start view CRCs');
  await Promise.all([page.waitForNavigation(), page.click('#info-switch')]);
  await page.waitForFunction(() => ['controls', 'error'].includes(scanvane.state), waitLimit);
  check(page.url().endsWith('/?frametime=0.1'), 'the switch goes back to one thread, keeping the other parameters',
    page.url());
  await dismissControls(page);
  await page.waitForFunction(() => scanvane.framesShown() >= 3, waitLimit);
  const one = await pageInfo(page);
  check(one.info.threads === 1 && one.helpers === 0, 'after the switch: one thread', JSON.stringify(one));
  await Promise.all([page.waitForNavigation(), page.click('#info-switch')]);
  check(page.url().endsWith('/?frametime=0.1&size=native&threads=0'),
    'and the switch from one thread asks for native size on every core', page.url());
  await page.close();
}

// Other sizes, odd ones included, on one thread and on several: the same
// frames as scanvane-render at that size; native follows the window's
// device pixels; the switch goes from the specified look to native size on
// every core and back.
async function sizes(browser, base) {
  const script = [frameTime, `${frameTime} up`, `${frameTime} up left`, `${frameTime} a right`, frameTime];
  for (const [size, count] of [['641x363', 1], ['97x211', 2], ['1920x1080', 2]]) {
    const [width, height] = size.split('x').map(Number);
    const page = await openPage(browser, base, `?size=${size}&threads=${count}&script=${encodeURIComponent(script.join(';'))}`);
    await dismissControls(page);
    await page.waitForFunction(() => scanvane.state === 'finished', waitLimit);
    const seen = await page.evaluate(() => ({
      info: scanvane.info(), canvas: [document.getElementById('frame').width, document.getElementById('frame').height],
      pixels: scanvane.colourBuffer().length, text: document.getElementById('info').innerText,
    }));
    check(seen.info.width === width && seen.info.height === height && seen.info.threads === count &&
      seen.canvas.join('x') === size && seen.pixels === width * height &&
      seen.text.startsWith(`${width} x ${height}, ${count} thread`), `size=${size} on ${count} thread(s): frame and canvas`,
      JSON.stringify(seen));
    sameCrcs(await crcs(page), render(script, ['--size', size]), `size=${size}: the frames equal scanvane-render --size's`);
    await page.close();
  }

  const page = await browser.newPage();
  await page.setViewport({ width: 400, height: 300, deviceScaleFactor: 1.5 });
  await page.goto(`${base}/?frametime=0.1`);
  await page.waitForFunction(() => scanvane.state === 'controls', waitLimit);
  await dismissControls(page);
  await Promise.all([page.waitForNavigation(), page.click('#info-switch')]);
  check(page.url().endsWith('/?frametime=0.1&size=native&threads=0'),
    'the switch goes from the specified look to native size on every core', page.url());
  await page.waitForFunction(() => scanvane.state === 'controls', waitLimit);
  await dismissControls(page);
  await page.waitForFunction(() => scanvane.framesShown() >= 3, waitLimit);
  const native = await pageInfo(page);
  check(native.info.width === 600 && native.info.height === 450 && native.info.threads === native.cores,
    'size=native: the canvas in device pixels (400 x 300 at 1.5), on every core', JSON.stringify(native));
  sameCrcs(await crcs(page), render([frameTime], ['--size', '600x450']), 'size=native: the start view at 600 x 450');
  await Promise.all([page.waitForNavigation(), page.click('#info-switch')]);
  check(page.url().endsWith('/?frametime=0.1'), 'and back to the specified look', page.url());
  await page.close();
}

// Served without the isolation headers, threads=N runs on one thread and
// says why; never a blank page.
async function oneThreadFallback(browser, plainBase) {
  const page = await openPage(browser, plainBase, '?threads=2');
  await dismissControls(page);
  await page.waitForFunction(() => scanvane.framesShown() >= 3, waitLimit);
  const seen = await pageInfo(page);
  check(!seen.isolated && seen.info.threads === 1 && seen.helpers === 0 &&
    /^512 x 384, 1 thread, .*not cross-origin isolated/.test(seen.text),
    'without the isolation headers threads=2 runs on one thread and says so', JSON.stringify(seen));
  sameCrcs(await crcs(page), golden('start'), 'the one-thread fallback draws the start view');
  await page.close();

  // threads=0 on a machine with more hardware threads than the bands take:
  // as many as they take, as the programs do, not a refusal.
  const many = await browser.newPage();
  await many.evaluateOnNewDocument(() => Object.defineProperty(navigator, 'hardwareConcurrency', { get: () => 300 }));
  await many.goto(`${plainBase}/?threads=0`);
  await many.waitForFunction(() => ['controls', 'error'].includes(scanvane.state), waitLimit);
  await dismissControls(many);
  const capped = await pageInfo(many);
  check(capped.info && capped.info.threads === 1 && /not 256: the page is not cross-origin isolated/.test(capped.text),
    'threads=0 with 300 hardware threads asks for 256, as the programs do', JSON.stringify(capped));
  await many.close();
}

// Each step of loading made to fail, by opening the page from disk or by
// answering its requests here: the page must say what failed, in words.
async function loadingFailures(browser, base) {
  const cases = [
    ['opened from disk', null, /served over http.*bash scripts\/run\.sh --web/],
    ['scanvane.js refused', { 'scanvane.js': (request) => request.abort() }, /scanvane\.js could not be loaded/],
    ['scanvane.wasm missing', { 'scanvane.wasm': (request) => request.respond({ status: 404, body: '' }) },
      /scanvane\.wasm could not be loaded \(HTTP 404/],
    ['scanvane.wasm not WebAssembly',
      { 'scanvane.wasm': (request) => request.respond({ status: 200, contentType: 'application/wasm', body: 'garbage' }) },
      /scanvane\.wasm could not be started/],
    // Never answered: the page says it is still loading rather than staying black.
    ['scanvane.wasm never arrives', { 'scanvane.wasm': () => {} }, /still loading.*reload/s],
    // The threaded module, on the isolated page.
    ['scanvane-threads.wasm missing',
      { 'scanvane-threads.wasm': (request) => request.respond({ status: 404, body: '' }) },
      /scanvane-threads\.wasm could not be loaded \(HTTP 404/, '?threads=2'],
  ];
  for (const [name, answers, expected, query = ''] of cases) {
    const page = await browser.newPage();
    if (answers) {
      await page.setRequestInterception(true);
      page.on('request', (request) => {
        const answer = answers[path.basename(new URL(request.url()).pathname)];
        if (answer) answer(request);
        else request.continue();
      });
    }
    const url = answers ? `${base}/${query}` : `file://${path.resolve(pageDir, 'index.html')}`;
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    const shown = await page.waitForFunction(() => {
      const box = document.getElementById('message');
      return !box.hidden && box.innerText;
    }, waitLimit).then((handle) => handle.jsonValue(), () => '');
    check(expected.test(shown), `loading fails (${name}): the page says so`, JSON.stringify(shown));
    await page.close();
  }
}

// Model files in the page: the sample from the URL, a file dropped onto the
// frame and one opened with the control (both read in the browser), each
// drawing what scanvane-render draws of it; bad files are refused with the
// reason while the frames go on with what they showed.
async function models(browser, base) {
  const sample = path.resolve(pageDir, 'bunny.ply');
  const script = [frameTime, `${frameTime} up`, `${frameTime} up left`];
  if (!fs.existsSync(sample)) {
    // A page built without the loader refuses every file and says why.
    const page = await openPage(browser, base, `?frametime=${frameTime}&manual=1`);
    await dismissControls(page);
    const refusal = await page.evaluate(() => scanvane.openModel('x.ply', new Uint8Array([1, 2, 3])));
    check(/cannot open model files/.test(refusal), 'a page without the loader refuses a model and says why', refusal);
    await page.close();
    return;
  }
  const want = render(script, ['--model', sample]);
  check(want.colour !== render(script).colour, 'the sample model draws other frames than the built-in scene');

  // ?model=bunny: the sample from the first frame on.
  const scripted = await openPage(browser, base, `?model=bunny&script=${encodeURIComponent(script.join(';'))}`);
  await dismissControls(scripted);
  await scripted.waitForFunction(() => scanvane.state === 'finished', waitLimit);
  check(await scripted.evaluate(() => scanvane.showsModel()), '?model=bunny draws the sample');
  sameCrcs(await crcs(scripted), want, '?model=bunny gives the frames of scanvane-render --model');
  check(scripted.missing.length === 0, 'the page has the sample it names', scripted.missing.join(', '));
  await scripted.close();

  const page = await openPage(browser, base, `?frametime=${frameTime}&manual=1`);
  await dismissControls(page);
  const step = (n) => page.evaluate((count) => scanvane.step(count), n);
  const bytes = fs.readFileSync(sample);
  // Dropped onto the frame: a DataTransfer holding the file, as a drag from
  // the desktop delivers it.
  const drop = (name, content) => page.evaluate((fileName, data) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(data)], fileName));
    const frame = document.getElementById('frame');
    for (const type of ['dragenter', 'dragover', 'drop'])
      frame.dispatchEvent(new DragEvent(type, { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, name, Array.from(content));
  const refusal = () => page.waitForFunction(() => {
    const box = document.getElementById('model-message');
    return !box.hidden && document.getElementById('model-message-text').textContent;
  }, waitLimit).then((handle) => handle.jsonValue());
  const dismiss = () => page.click('#model-message-ok');

  await drop('bunny.ply', bytes);
  await page.waitForFunction(() => scanvane.showsModel(), waitLimit);
  await step(1);
  await page.keyboard.down('ArrowUp');
  await step(1);
  await page.keyboard.down('ArrowLeft');
  await step(1);
  await page.keyboard.up('ArrowUp');
  await page.keyboard.up('ArrowLeft');
  sameCrcs(await crcs(page), want, 'a dropped model gives the frames of scanvane-render --model');
  const shown = await crcs(page);

  // Hostile files: each refused with its name and a reason, the model kept.
  const bad = [
    ['garbage.ply', Buffer.from('not a model\n')],
    ['empty.obj', Buffer.alloc(0)],
    ['truncated.ply', bytes.subarray(0, Math.floor(bytes.length / 2))],
    ['huge.ply', Buffer.from('ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\n' +
      'property float x\nproperty float y\nproperty float z\nend_header\n')],
    ['no-extension', bytes],
    ['bad "name" <b>.stl', Buffer.from('solid x\nfacet normal 0 0 1\n')],
  ];
  for (const [name, content] of bad) {
    await drop(name, content);
    const said = await refusal();
    check(said.startsWith(name) && said.length > name.length + 2, `a bad dropped file (${name}) is refused with the reason`,
      said);
    await dismiss();
    await step(1);
    sameCrcs(await crcs(page), shown, `after ${name} the frames go on with the model`);
  }
  // Through the control: a file chosen with "Open a model".
  const input = await page.$('#model-file');
  await input.uploadFile(path.join(__dirname, '..', 'web', 'package.json'));
  const fromControl = await refusal();
  check(/package\.json/.test(fromControl), 'a file chosen with the control that is no model is refused', fromControl);
  await dismiss();
  await page.close();
}

(async () => {
  const server = await serve(path.resolve(pageDir), 0);
  const base = `http://127.0.0.1:${server.address().port}`;
  const plainServer = await serve(path.resolve(pageDir), 0, { isolated: false });
  const plainBase = `http://127.0.0.1:${plainServer.address().port}`;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'scanvane-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    defaultViewport: { width: 512, height: 384, deviceScaleFactor: 1 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--force-color-profile=srgb'],
  });
  try {
    await startView(browser, base);
    await keySequence(browser, base);
    await focusLoss(browser, base);
    await badParameters(browser, base);
    await threads(browser, base);
    await sizes(browser, base);
    await oneThreadFallback(browser, plainBase);
    await loadingFailures(browser, base);
    await models(browser, base);
  } catch (error) {
    check(false, 'the page tests ran to the end', error.stack);
  } finally {
    await browser.close();
    server.close();
    plainServer.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(failures ? `${failures} page check(s) failed` : 'all page checks passed');
  process.exit(failures ? 1 : 0);
})();
