// Linked before the node build of the tools (--pre-js). Emscripten's getenv
// sees a made-up environment of its own; copying node's in before main runs
// lets SCANVANE_FILL and the rest reach the tool as they reach a native one.
Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  for (var name in process.env) ENV[name] = process.env[name];
});
