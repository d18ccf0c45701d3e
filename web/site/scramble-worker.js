// The scramble engine's worker. The page loads this file as a classic script
// and starts the worker from a Blob of textquirlWorker's source, so that it
// starts alike from a web server and from disk (where a worker may not be
// loaded from a file).
//
// Messages in: {module} once (the compiled textquirl.wasm), then {id, text}
// for a press and {settings} for the settings of the presses after it (null:
// the window's; else {mode: 'classic'|'careful', minLength, rate,
// alwaysChange, keep: [words], seed: number|null}), which start the
// generator afresh.
// Messages out: {id, ok: true, units} with the scrambled text as UTF-16 units
// (LF line breaks) in a buffer handed over whole, which is much faster for a
// long text than a string, or {id, ok: false, message} with the German
// message of a failed scramble (null if not even that could be had).
function textquirlWorker(scope) {
  'use strict';
  const decoder = new TextDecoder('utf-16le');
  let module = null;
  let engine = null;  // the exports of the running instance
  let drawn = 0;      // values the generator had given after the last press
  let settings = null;
  // What textquirl_set_options's refusals name (1 mode, 2 min_length, …).
  const kSettingNames = [null, 'die Art', 'das kürzeste Wort', 'den Anteil', '„Immer anders“', 'die Wörter zum Behalten'];

  // Settings the module refused: `message` says which.
  class SettingRefused extends Error {}

  // A fresh instance with the settings, whose generator stands where the
  // last one stood after its last good press.
  function start() {
    const { exports } = new WebAssembly.Instance(module, {});
    exports._initialize();
    if (settings) configure(exports, settings);
    exports.textquirl_skip(drawn);
    scope.engine = exports;  // to look at from the developer tools
    return exports;
  }

  // Gives the instance the settings: the words to keep go in as the text,
  // one a line; a seed starts its generator there.
  function configure(exports, { mode, minLength, rate, alwaysChange, keep, seed }) {
    const words = keep.join('\n');
    write(exports, words);
    const refused = exports.textquirl_set_options(mode === 'careful' ? 1 : 0, minLength, rate, alwaysChange ? 1 : 0, words.length);
    if (refused !== 0) {
      throw new SettingRefused(
        'Der Text konnte nicht verwurschtelt werden.\n\n' +
          `Diese Ausgabe von Textquirl nimmt ${kSettingNames[refused] ?? 'eine Einstellung'} so nicht an. ` +
          'Bitte ändern Sie die Einstellungen.\n\nIhr Text im Eingabefeld und die Zwischenablage sind unverändert.',
      );
    }
    if (seed !== null) exports.textquirl_seed(seed);
  }

  function result(exports, length) {
    return new Uint16Array(exports.memory.buffer, exports.textquirl_result(), length);
  }

  // Writes `text` into the instance's text buffer.
  function write(exports, text) {
    const at = exports.textquirl_text(text.length);  // may grow the memory: view it afterwards
    const units = new Uint16Array(exports.memory.buffer, at, text.length);
    for (let i = 0; i < text.length; ++i) units[i] = text.charCodeAt(i);
  }

  // Scrambles `text` in the instance of `exports`; returns the result's length.
  function run(exports, text) {
    write(exports, text);
    return exports.textquirl_scramble();
  }

  // The result of the next press: a copy of its units.
  function scramble(text) {
    engine ??= start();
    const units = result(engine, run(engine, text)).slice();
    drawn = engine.textquirl_drawn();
    return units;
  }

  // The browser first runs the module in quickly made, slower code and
  // optimises what runs often. A throwaway instance (its generator is not
  // the page's) scrambles a sample before any press, so that a long first
  // text does not run in the slow code.
  function warmUp() {
    try {
      const { exports } = new WebAssembly.Instance(module, {});
      exports._initialize();
      const sample = 'Größere Wörter (lassen) sich gut lesen, auch wenn die Buchstaben verwürfelt sind!\n';
      run(exports, sample.repeat(3000));
    } catch {
      // only a warm-up
    }
  }

  // The message for a press that trapped. The trapped instance is dropped
  // (its memory may be half-written); it can still tell whether memory ran out.
  function failure() {
    let outOfMemory = 0;
    try {
      outOfMemory = engine?.textquirl_out_of_memory() ?? 0;
    } catch {
      // no answer: a fault of another kind
    }
    engine = null;
    try {
      engine = start();
      return decoder.decode(result(engine, engine.textquirl_failure_message(outOfMemory)));
    } catch {
      engine = null;
      return null;
    }
  }

  scope.onmessage = ({ data }) => {
    if (data.module) {
      module = data.module;
      warmUp();
      return;
    }
    if ('settings' in data) {
      settings = data.settings;
      engine = null;
      drawn = 0;
      return;
    }
    try {
      const units = scramble(data.text);
      scope.postMessage({ id: data.id, ok: true, units }, [units.buffer]);
    } catch (error) {
      if (error instanceof SettingRefused) {
        engine = null;
        scope.postMessage({ id: data.id, ok: false, message: error.message });
      } else {
        scope.postMessage({ id: data.id, ok: false, message: failure() });
      }
    }
  };
}
