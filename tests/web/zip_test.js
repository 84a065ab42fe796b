// The web zip as a user gets it: unzipped into a folder of its own (nothing
// from the build tree beside it), served with the isolation headers and
// without, opened in Debian's Chromium. Isolated, threads=2 and the page's
// own "native size, all cores" address draw on WebAssembly threads the
// frames scanvane-render draws natively; without the headers threads=2
// falls back to one thread and says so.
//
//   node zip_test.js SITE_DIR SERVE_JS RENDERER
//
// SITE_DIR is the unzipped scanvane-<version>-web/; SERVE_JS the build's
// serve.js (the zip leaves it out: any static host serves the page);
// RENDERER a native scanvane-render command. Exits 1 if any check failed.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const [siteDir, serveJs, rendererCommand] = process.argv.slice(2);
if (!siteDir || !serveJs || !rendererCommand) {
  console.error('usage: node zip_test.js SITE_DIR SERVE_JS RENDERER');
  process.exit(2);
}
const { serve } = require(path.resolve(serveJs));
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const waitLimit = { timeout: 60000 };

let failures = 0;
function check(ok, what, detail = '') {
  console.log(`${ok ? 'ok  ' : 'FAIL'} zip: ${what}${ok || !detail ? '' : `: ${detail}`}`);
  if (!ok) failures++;
}

// The native renderer's CRCs for options (and a key script on stdin).
function native(options, scriptLines = null) {
  const [command, ...args] = rendererCommand.split(/\s+/);
  const input = scriptLines ? scriptLines.join('\n') + '\n' : '';
  const out = execFileSync(command, [...args, ...options, ...(scriptLines ? ['--script', '-'] : [])], { input });
  const result = JSON.parse(out.toString());
  return `${result.colour_crc32}/${result.depth_crc32}`;
}

// Opens the page, dismisses the controls box and waits until `done` holds;
// then what the page says about itself.
async function run(browser, base, query, done) {
  const page = await browser.newPage();
  const missing = [];
  page.on('response', (response) => {
    if (response.status() >= 400) missing.push(`${response.status()} ${response.url()}`);
  });
  await page.goto(`${base}/${query}`);
  await page.waitForFunction(() => ['controls', 'error'].includes(scanvane.state), waitLimit);
  if (await page.evaluate(() => scanvane.state === 'controls')) {
    await page.click('#controls-ok');
    await page.waitForFunction(done, waitLimit);
  }
  const seen = await page.evaluate(() => ({
    state: scanvane.state,
    isolated: crossOriginIsolated,
    cores: navigator.hardwareConcurrency,
    info: scanvane.state === 'error' ? null : scanvane.info(),
    crcs: scanvane.state === 'error' ? '' : `${scanvane.colourCrc()}/${scanvane.depthCrc()}`,
    text: document.getElementById('info').innerText,
    message: document.getElementById('message').hidden ? '' : document.getElementById('message').innerText,
  }));
  seen.missing = missing;
  await page.close();
  return seen;
}

(async () => {
  const folder = path.resolve(siteDir);
  const isolated = await serve(folder, 0);
  const plain = await serve(folder, 0, { isolated: false });
  const base = (server) => `http://127.0.0.1:${server.address().port}`;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'scanvane-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    defaultViewport: { width: 640, height: 480, deviceScaleFactor: 1 },
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  try {
    const script = ['0.1', '0.1 up', '0.1 up left', '0.1 up left a', '0.1 right z', '0.1'];
    const query = `?threads=2&script=${encodeURIComponent(script.join(';'))}`;
    let seen = await run(browser, base(isolated), query, () => scanvane.state === 'finished');
    check(seen.isolated && seen.info && seen.info.threads === 2 && seen.missing.length === 0,
      'served with the isolation headers, threads=2 runs on two threads', JSON.stringify(seen));
    const want = native([], script);
    check(seen.crcs === want, 'the key script on two threads equals scanvane-render natively',
      `page ${seen.crcs}, native ${want}`);

    seen = await run(browser, base(isolated), '?size=native&threads=0&frametime=0.1',
      () => scanvane.framesShown() >= 3);
    check(seen.state === 'running' && seen.info && seen.info.threads === seen.cores && seen.missing.length === 0,
      `the page's "native size, all cores" address runs on all ${seen.cores} threads`, JSON.stringify(seen));
    if (seen.info) {
      const size = `${seen.info.width}x${seen.info.height}`;
      const atSize = native(['--size', size]);
      check(seen.crcs === atSize, `and draws the start view at ${size} as scanvane-render does`,
        `page ${seen.crcs}, native ${atSize}`);
    }

    seen = await run(browser, base(plain), '?threads=2', () => scanvane.framesShown() >= 3);
    check(!seen.isolated && seen.info && seen.info.threads === 1 &&
      /1 thread, .*not cross-origin isolated/.test(seen.text),
      'served without the headers, threads=2 falls back to one thread and says so', JSON.stringify(seen));
    check(seen.crcs === native([]), 'the one-thread fallback draws the start view', seen.crcs);
  } catch (error) {
    check(false, 'the zip tests ran to the end', error.stack);
  } finally {
    await browser.close();
    isolated.close();
    plain.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(failures ? `${failures} zip check(s) failed` : 'all zip checks passed');
  process.exit(failures ? 1 : 0);
})();
