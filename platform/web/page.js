// Runs Scanvane in the page: the controls box first, then one frame per
// animation frame until Escape. The C++ side (scanvane.js / scanvane.wasm)
// draws; this file only moves pixels, text and keys across.
//
// URL parameters, for tests:
//   frametime=SECONDS  every frame's time is SECONDS instead of the clock's
//   script=LINES       frames as scanvane-render --script reads them, lines
//                      separated by ';' (or line feeds); the frames stop after
//                      the last line
//   manual=1           frames run only when window.scanvane.step(n) is called
// and for everyone:
//   size=WxH|native    the frame's size (default 512x384); native: the
//                      canvas's size in device pixels, within the sizes drawn
//   model=NAME         draw one of the sample models the page ships (bunny)
//                      in place of the built-in scene
//   threads=N          draw each frame on N threads (0: every hardware thread);
//                      more than one needs a cross-origin isolated page
//                      (serve.js sends the headers), else it runs on one
// A model file opened with "Open a model" or dropped onto the frame is read
// in the browser (nothing is uploaded) and drawn from the next frame on; a
// file that cannot be read is refused with the reason, and the frames go on.
// window.scanvane also gives the latest frame's colour and depth CRC-32s and
// what the page draws with (info()).
'use strict';
(function () {
  const frameCanvas = document.getElementById('frame');
  const overlay = document.getElementById('overlay');
  const frameContext = frameCanvas.getContext('2d', { alpha: false });
  const overlayContext = overlay.getContext('2d');
  const overlayFont = '13px sans-serif';
  const overlayLineHeight = 16;
  const counterRed = 'rgb(255, 0, 0)';
  const counterBackground = 'rgb(255, 255, 255)';
  const knownParameters = ['frametime', 'script', 'manual', 'size', 'threads', 'model'];
  // The sample models the page ships, beside it.
  const sampleModels = { bunny: 'bunny.ply' };
  const threadedModule = 'scanvane-threads.js';
  // Opened from disk, the browser refuses to fetch the .wasm beside the page;
  // every loading failure then says how to serve it instead.
  const fromDisk = location.protocol === 'file:';
  const serveHint = 'This page has to be served over http, not opened as a file: ' +
    'run bash scripts/run.sh --web and open the address it prints (http://127.0.0.1:8512/).';
  // Long enough for a slow machine to compile the module, short enough that
  // nobody stares at a black page wondering.
  const loadingPatience = 5000;
  const keyNames = {
    ArrowLeft: 'left', ArrowRight: 'right', ArrowUp: 'up', ArrowDown: 'down',
    KeyA: 'a', KeyZ: 'z', Escape: 'esc',
  };

  // 'loading', 'controls', 'running', 'finished' (script ended), 'stopped'
  // (Escape) or 'error'.
  const page = {
    state: 'loading', manual: false, keyCodes: {}, image: null, animation: 0, options: null,
    module: 'scanvane.js', wasm: 'scanvane.wasm',
  };

  function showMessage(caption, text) {
    document.getElementById('message-caption').textContent = caption;
    document.getElementById('message-text').textContent = text;
    document.getElementById('message').hidden = false;
  }

  function fail(text) {
    page.state = 'error';
    frameCanvas.hidden = true;
    showMessage('Scanvane cannot start', text);
  }

  // Any step of loading that fails ends here, once.
  function failLoading(what) {
    if (page.state !== 'loading') return;
    fail(fromDisk ? `${what}. ${serveHint}` : `${what}.`);
  }

  // The module fetched and compiled here rather than by the generated loader,
  // whose failures would only reach the console.
  function instantiateWasm(imports, receiveInstance) {
    fetch(page.wasm)
      .then((response) => {
        if (!response.ok) throw new Error(`HTTP ${response.status} ${response.statusText}`.trim());
        return response.arrayBuffer();
      })
      .catch((error) => { throw new Error(`${page.wasm} could not be loaded (${error.message})`); })
      .then((bytes) => WebAssembly.instantiate(bytes, imports).catch((error) => {
        throw new Error(`${page.wasm} could not be started (${error.message})`);
      }))
      .then((result) => receiveInstance(result.instance, result.module))
      .catch((error) => failLoading(error.message));
    return {}; // the exports arrive through receiveInstance
  }

  // The URL's parameters, checked before anything runs: a typo gives a
  // message, never a blank or silently different page.
  function readParameters() {
    const params = new URLSearchParams(location.search);
    for (const name of params.keys())
      if (!knownParameters.includes(name))
        return { error: `unknown URL parameter '${name}' (known: ${knownParameters.join(', ')})` };
    for (const name of knownParameters)
      if (params.getAll(name).length > 1) return { error: `URL parameter '${name}' is given more than once` };
    const manual = params.get('manual');
    if (manual !== null && manual !== '' && manual !== '1')
      return { error: `manual: expected manual=1, not '${manual}'` };
    if (params.has('frametime') && params.has('script'))
      return { error: 'frametime and script cannot be used together: a script gives each frame its time' };
    const script = params.get('script');
    const model = params.get('model');
    if (model !== null && !Object.hasOwn(sampleModels, model))
      return { error: `model: no sample model '${model}' (the page ships: ${Object.keys(sampleModels).join(', ')})` };
    return {
      threadsText: params.get('threads'), // read by the module, as the programs read --threads
      threads: 1,
      threadsAsked: 1,
      manual: manual !== null,
      size: params.get('size'),
      model,
      frameTime: params.get('frametime'),
      script: script === null ? null : script.replace(/;/g, '\n'),
    };
  }

  function withString(text, use) {
    if (text === null) return use(0);
    const size = Module.lengthBytesUTF8(text) + 1;
    const at = Module._malloc(size);
    try {
      Module.stringToUTF8(text, at, size);
      return use(at);
    } finally {
      Module._free(at);
    }
  }

  function fitOverlay() {
    overlay.width = window.innerWidth;
    overlay.height = window.innerHeight;
  }

  function runFrame() {
    if (Module._WebRunFrame()) return true;
    if (page.state === 'running') page.state = Module._WebStopped() ? 'stopped' : 'finished';
    return false;
  }

  function animate() {
    page.animation = 0;
    if (page.state === 'running' && runFrame()) page.animation = requestAnimationFrame(animate);
  }

  function start() {
    document.getElementById('controls').hidden = true;
    frameCanvas.focus();
    const problem = Module.UTF8ToString(Module._WebStart());
    if (problem) return fail(problem);
    showInfo();
    page.state = 'running';
    // A sample asked for in the URL is drawn from the first frame on; the
    // frames wait for its file (fetched while the controls box was open).
    if (page.sample) {
      page.sample.then(({ name, bytes }) => {
        showModelProblem(openModel(name, bytes));
        page.sampleOpened = true;
        if (!page.manual && !page.animation && page.state === 'running') page.animation = requestAnimationFrame(animate);
      }, (error) => fail(`the sample model could not be loaded (${error.message})`));
      return;
    }
    if (!page.manual) page.animation = requestAnimationFrame(animate);
  }

  // Hands a model file's bytes to the module; returns '' or why it was refused.
  function openModel(name, bytes) {
    const data = new Uint8Array(bytes);
    const at = Module._malloc(Math.max(data.length, 1));
    if (!at) return `${name}: not enough memory to hold the file (${data.length} bytes)`;
    try {
      Module.HEAPU8.set(data, at);
      return withString(name, (nameAt) => Module.UTF8ToString(Module._WebOpenModel(at, data.length, nameAt)));
    } finally {
      Module._free(at);
    }
  }

  function showModelProblem(problem) {
    if (!problem) return;
    document.getElementById('model-message-text').textContent = problem;
    document.getElementById('model-message').hidden = false;
    document.getElementById('model-message-ok').focus();
  }

  // A file the user chose or dropped; only while the frames run.
  function openModelFile(file) {
    if (!file || page.state !== 'running') return;
    file.arrayBuffer().then((bytes) => showModelProblem(openModel(file.name, bytes)),
      (error) => showModelProblem(`${file.name}: the browser could not read the file (${error.message})`));
  }

  function fetchSample(name) {
    const path = sampleModels[name];
    return fetch(path).then((response) => {
      if (!response.ok) throw new Error(`${path}: HTTP ${response.status} ${response.statusText}`.trim());
      return response.arrayBuffer();
    }).then((bytes) => ({ name: path.split('/').pop(), bytes }));
  }

  function onKey(event, down) {
    const name = keyNames[event.code];
    if (!name) return;
    event.preventDefault(); // the arrows must not scroll the page
    if (page.state !== 'running') return;
    if (down) Module._WebKeyDown(page.keyCodes[name]);
    else Module._WebKeyUp(page.keyCodes[name]);
  }

  // A key released while the page has no focus never sends its key-up here.
  function releaseAllKeys() {
    if (page.state === 'running') Module._WebReleaseAllKeys();
  }

  // threads=N, read by the module as the programs read --threads. Calls
  // then() once the threads it asks for can start; says why when not.
  function chooseThreads(options, then) {
    if (options.threadsText === null) return then();
    const problem = withString(options.threadsText,
      (at) => Module.UTF8ToString(Module._WebReadThreads(at, navigator.hardwareConcurrency || 1)));
    if (problem) return fail(`URL parameter ${problem}`);
    options.threads = options.threadsAsked = Module._WebThreadsRead();
    if (options.threads > 1 && page.module !== threadedModule) {
      page.note = `one thread, not ${options.threads}: the page is not cross-origin isolated; ` +
        'its server must send Cross-Origin-Opener-Policy and Cross-Origin-Embedder-Policy';
      options.threads = 1;
    }
    // The workers for the helper threads load before the frame cycle
    // starts, so starting the threads never waits on the browser.
    const workers = Module.PThread ? Module.PThread.unusedWorkers : [];
    let loading = options.threads - 1 - workers.length;
    if (loading <= 0) return then();
    for (let i = loading; i > 0; i--) {
      Module.PThread.allocateUnusedWorker();
      Module.PThread.loadWasmModuleToWorker(workers[workers.length - 1], () => --loading || then());
    }
  }

  function ready() {
    document.getElementById('message').hidden = true; // a slow start's notice
    chooseThreads(page.options, configure);
  }

  function configure() {
    const options = page.options;
    Module._WebUseThreads(options.threads);
    const sizeProblem = useSize(options.size);
    if (sizeProblem) return fail(`URL parameter size: ${sizeProblem}`);
    const problem = withString(options.frameTime, (frameTime) =>
      withString(options.script, (script) => Module.UTF8ToString(Module._WebConfigure(frameTime, script))));
    if (problem) return fail(`URL parameter ${problem}`);
    page.manual = options.manual;
    if (options.model !== null) page.sample = fetchSample(options.model);
    for (const name of Object.values(keyNames))
      page.keyCodes[name] = withString(name, (at) => Module._WebKeyCode(at));

    document.title = Module.UTF8ToString(Module._WebTitle());
    document.getElementById('controls-caption').textContent = Module.UTF8ToString(Module._WebControlsCaption());
    document.getElementById('controls-text').textContent = Module.UTF8ToString(Module._WebControlsText());
    document.getElementById('controls').hidden = false;
    page.state = 'controls';
    const ok = document.getElementById('controls-ok');
    ok.addEventListener('click', start, { once: true });
    ok.focus();
  }

  // WebAssembly threads share their memory through a SharedArrayBuffer, which
  // the browser gives only to a cross-origin isolated page.
  function threadsAvailable() {
    return window.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function';
  }

  // A threaded module cannot even start without shared memory: it is loaded
  // only where threads are asked for and the page is cross-origin isolated.
  // It starts with one worker (it does not start with none); chooseThreads
  // adds the rest once the module has read the thread count.
  function loadModule(options) {
    let file = 'scanvane.js';
    if (options.threadsText !== null && threadsAvailable()) {
      file = threadedModule;
      Module.scanvaneHelperThreads = 1;
    }
    page.module = file;
    page.wasm = file.replace(/\.js$/, '.wasm');
    const loader = document.createElement('script');
    loader.src = file;
    loader.onerror = () => failLoading(`${file} could not be loaded (it belongs in the same folder as this page)`);
    document.body.appendChild(loader);
  }

  // size=: the frame's size before the frame cycle starts; "" or a message.
  // native is the frame canvas's size on screen in device pixels, which the
  // module brings within the sizes it draws.
  function useSize(text) {
    if (text === null) return '';
    if (text === 'native') {
      const box = frameCanvas.getBoundingClientRect(), scale = window.devicePixelRatio || 1;
      Module._WebUseNativeSize(Math.round(box.width * scale), Math.round(box.height * scale));
      return '';
    }
    return withString(text, (at) => Module.UTF8ToString(Module._WebUseSize(at)));
  }

  // The specified look is the default size on one thread.
  function specifiedLook(options) {
    return options.size === null && options.threadsAsked === 1;
  }

  // The address of this page drawn the other way: the specified look, or
  // native size on every core. The test parameters are kept.
  function switchedAddress() {
    const params = new URLSearchParams(location.search);
    if (specifiedLook(page.options)) {
      params.set('size', 'native');
      params.set('threads', '0');
    } else {
      params.delete('size');
      params.delete('threads');
    }
    const query = params.toString();
    return location.pathname + (query ? `?${query}` : '');
  }

  // Size, threads and fill beside the counter, with the switch between the
  // specified look and every core; an element over the frame, never in it.
  function showInfo() {
    const info = scanvane.info();
    const threads = info.threads === 1 ? '1 thread' : `${info.threads} threads`;
    document.getElementById('info-text').textContent =
      `${info.width} x ${info.height}, ${threads}, ${info.fill}` + (page.note ? ` (${page.note})` : '');
    const link = document.getElementById('info-switch');
    link.textContent = specifiedLook(page.options) ? 'native size, all cores' : '512 x 384, one thread';
    link.href = switchedAddress();
    document.getElementById('info').hidden = false;
  }

  // The canvas holds the frame at its own size; CSS stretches it over the
  // window (at native size, one frame pixel to one device pixel).
  function fitFrameCanvas(width, height) {
    if (frameCanvas.width === width && frameCanvas.height === height) return;
    frameCanvas.width = width;
    frameCanvas.height = height;
    page.image = null;
  }

  window.Module = {
    // Called by the C++ side at the end of each frame with R, G, B, 255 bytes.
    scanvaneShowFrame(at, width, height) {
      fitFrameCanvas(width, height);
      if (!page.image) page.image = frameContext.createImageData(width, height);
      page.image.data.set(Module.HEAPU8.subarray(at, at + width * height * 4));
      frameContext.putImageData(page.image, 0, 0);
      overlayContext.clearRect(0, 0, overlay.width, overlay.height);
    },
    // The counter, red on an opaque box, at its place in window pixels
    // whatever the frame's scale.
    scanvaneShowText(x, y, at, count) {
      const text = String.fromCharCode(...Module.HEAPU8.subarray(at, at + count));
      overlayContext.font = overlayFont;
      overlayContext.textBaseline = 'top';
      overlayContext.fillStyle = counterBackground;
      overlayContext.fillRect(x, y, Math.ceil(overlayContext.measureText(text).width), overlayLineHeight);
      overlayContext.fillStyle = counterRed;
      overlayContext.fillText(text, x, y + 1);
    },
    scanvaneStopped() {
      page.state = 'stopped';
      if (page.animation) cancelAnimationFrame(page.animation);
      page.animation = 0;
      showMessage('Scanvane has stopped', 'Escape was pressed. Reload the page to start again.');
    },
    onRuntimeInitialized: ready,
    instantiateWasm,
    onAbort: (what) => fail(`the WebAssembly module failed: ${what}`),
    printErr: (text) => console.error(text),
  };

  // For tests and the curious.
  window.scanvane = {
    get state() { return page.state; },
    framesShown: () => (page.state === 'loading' || page.state === 'error' ? 0 : Module._WebFramesShown()),
    // Runs up to n frames now (the manual mode); returns how many ran.
    step(n = 1) {
      let ran = 0;
      while (ran < n && page.state === 'running' && runFrame()) ran++;
      return ran;
    },
    // The latest frame's drawing work (microseconds), as the counter shows it.
    clockCount: () => Module._WebClockCount(),
    // What the frames are drawn with: {width, height, threads, fill}.
    info: () => (page.state === 'loading' || page.state === 'error' ? null : {
      width: Module._WebFrameWidth(),
      height: Module._WebFrameHeight(),
      threads: Module._WebThreads(),
      fill: Module.UTF8ToString(Module._WebFill()),
    }),
    // Opens a model file from its bytes, as a drop does; '' or the reason.
    openModel: (name, bytes) => (page.state === 'running' ? openModel(name, bytes) : 'the frames are not running'),
    // Whether a model (rather than the built-in scene) is drawn, and
    // whether the URL's sample has been opened.
    showsModel: () => page.state !== 'loading' && page.state !== 'error' && Module._WebShowsModel() === 1,
    get sampleOpened() { return page.sampleOpened === true; },
    colourCrc: () => (Module._WebColourCrc() >>> 0).toString(16).padStart(8, '0'),
    depthCrc: () => (Module._WebDepthCrc() >>> 0).toString(16).padStart(8, '0'),
    // The latest frame's colour buffer, 0x00RRGGBB per pixel.
    colourBuffer() {
      const at = Module._WebColourBuffer() >> 2;
      return Array.from(Module.HEAPU32.subarray(at, at + frameCanvas.width * frameCanvas.height));
    },
  };

  fitOverlay();
  window.addEventListener('resize', fitOverlay);
  window.addEventListener('keydown', (event) => onKey(event, true));
  window.addEventListener('keyup', (event) => onKey(event, false));
  window.addEventListener('blur', releaseAllKeys);
  document.addEventListener('visibilitychange', () => document.hidden && releaseAllKeys());

  document.getElementById('model-file').addEventListener('change', (event) => {
    openModelFile(event.target.files[0]);
    event.target.value = ''; // the same file chosen again opens again
  });
  document.getElementById('model-message-ok').addEventListener('click', () => {
    document.getElementById('model-message').hidden = true;
    frameCanvas.focus();
  });
  // Dropped onto the page (the frame covers it): the first file dropped.
  const dragsFiles = (event) => event.dataTransfer && Array.from(event.dataTransfer.types).includes('Files');
  window.addEventListener('dragover', (event) => {
    if (!dragsFiles(event)) return;
    event.preventDefault(); // else the browser opens the file in place of the page
    event.dataTransfer.dropEffect = page.state === 'running' ? 'copy' : 'none';
    document.body.classList.add('dropping');
  });
  window.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
  window.addEventListener('drop', (event) => {
    document.body.classList.remove('dropping');
    if (!dragsFiles(event)) return;
    event.preventDefault();
    openModelFile(event.dataTransfer.files[0]);
  });

  page.options = readParameters();
  if (page.options.error) fail(page.options.error);
  else loadModule(page.options);
  // Whatever else goes wrong on the way, the page does not stay black.
  window.addEventListener('unhandledrejection', (event) => failLoading(`loading failed: ${event.reason}`));
  // Served, a slow start is only reported, and the page goes on when the
  // module arrives; from disk nothing more is coming.
  setTimeout(() => {
    const waited = `Scanvane has not started after ${loadingPatience / 1000} seconds`;
    if (fromDisk) failLoading(waited);
    else if (page.state === 'loading')
      showMessage('Scanvane is still loading', `${waited}; if it stays like this, reload the page.`);
  }, loadingPatience);
})();
