// Textquirl's scramble engine for JavaScript: the functions of the package
// over one instance of the WebAssembly module (the web page's module).
// node.js and browser.js load the module each their own way and hand it to
// start(); everything after that is synchronous.
//
// The instance holds one generator and one set of options. Each Scrambler
// keeps its own seed and the number of values it has drawn; before it
// scrambles, the generator is set to that place (seeded afresh and skipped
// ahead) unless it already stands there, so Scramblers never disturb each
// other or the plain scramble(). When the module traps (memory ran out),
// the instance is dropped and the next call starts a fresh one: nothing of
// the failed call remains, and it has drawn nothing.
import { version } from './version.js';

export { version };

// A word beyond the engine's limits (more than 2^32 - 1 characters to
// shuffle, or 2^31 UTF-16 units).
export class WordTooLongError extends Error {
  constructor(message = 'a word is too long for the engine', options) {
    super(message, options);
    this.name = 'WordTooLongError';
  }
}

// The WebAssembly module's memory (at most 4 GiB) ran out during a call.
export class OutOfMemoryError extends Error {
  constructor(message = 'not enough memory in the WebAssembly module to scramble this text', options) {
    super(message, options);
    this.name = 'OutOfMemoryError';
  }
}

const kModes = ['classic', 'careful'];  // the module's numbers for the modes
// What textquirl_set_options's codes say, as messages.
const kRefusals = [
  null,
  (o) => `mode ${describe(kModes[o.mode])} is not available in this build`,
  (o) => `minLength must be at least 4 (the shortest word scrambled), not ${o.minLength}`,
  (o) => `rate must be from 0 to 1 (the share of words scrambled), not ${o.rate}`,
];
const kBadKey = 0xffffffff;  // textquirl_scramble_record_text: the key is not well-formed
const kMaxUint32 = 0xffffffff;
const kMaxUint64 = (1n << 64n) - 1n;

let wasmModule = null;
let engine = null;  // the running instance's exports; null until needed again
let defaults = null;  // the engine's defaults, read from the module
let applied = null;  // the key (readOptions) of the options the instance holds
let owner = null;  // the Scrambler state the generator stands at, or null

// Texts into and out of the module's memory as UTF-16 units, lone
// surrogates included: by default with what every JavaScript engine has;
// Node.js hands in its Buffer's faster conversions.
const webUtf16 = {
  write(memory, at, text) {
    const units = new Uint16Array(memory.buffer, at, text.length);
    for (let i = 0; i < text.length; ++i) units[i] = text.charCodeAt(i);
  },
  read(memory, at, length) {
    const units = new Uint16Array(memory.buffer, at, length);
    try {
      return decoder.decode(units);
    } catch {
      // A lone surrogate, which the decoder would refuse: unit by unit.
      let out = '';
      for (let i = 0; i < length; i += 8192) out += String.fromCharCode.apply(null, units.subarray(i, i + 8192));
      return out;
    }
  },
};
const decoder = new TextDecoder('utf-16le', { fatal: true });
let utf16 = webUtf16;

// Starts the package on the compiled module.
export function start(module, conversions = webUtf16) {
  wasmModule = module;
  utf16 = conversions;
  defaults = readDefaults(instance());
}

function instance() {
  if (engine === null) {
    const { exports } = new WebAssembly.Instance(wasmModule, {});
    exports._initialize();
    engine = exports;
    applied = null;
    owner = null;
  }
  return engine;
}

// Runs `work` on the instance (a fresh one if the last has failed). A trap
// of the module becomes OutOfMemoryError (or an Error for a fault of the
// module itself) and drops the instance; so does a failed allocation on the
// JavaScript side while texts are handed over.
function call(work) {
  let exports = null;
  try {
    exports = instance();
    return work(exports);
  } catch (error) {
    if (ours.has(error)) throw error;
    // An instance, an ArrayBuffer or a string JavaScript could not make.
    let outOfMemory = error instanceof RangeError;
    if (exports !== null && error instanceof WebAssembly.RuntimeError) {
      try {
        outOfMemory = exports.textquirl_out_of_memory() === 1;
      } catch {
        // no answer: a fault of another kind
      }
    }
    engine = null;
    if (outOfMemory) throw new OutOfMemoryError(undefined, { cause: error });
    if (error instanceof WebAssembly.RuntimeError) {
      throw new Error(`the WebAssembly module failed: ${error.message}`, { cause: error });
    }
    throw error;
  }
}

// The errors the package itself raises inside call(), which pass unchanged.
const ours = new WeakSet();
function refuse(error) {
  ours.add(error);
  return error;
}

const readResult = (exports, length) => utf16.read(exports.memory, exports.textquirl_result(), length);

// The module's text buffer (which may grow the memory: viewed afterwards).
const writeText = (exports, text) => utf16.write(exports.memory, exports.textquirl_text(text.length), text);

function readDefaults(exports) {
  return JSON.parse(readResult(exports, exports.textquirl_defaults()));
}

// ---- options

const describe = (value) => (typeof value === 'string' ? JSON.stringify(value) : String(value));

function checkInteger(name, value, least, most) {
  if (typeof value !== 'number') throw new TypeError(`${name} must be a number, not ${typeof value}`);
  if (!Number.isInteger(value) || value < least || value > most) {
    throw new RangeError(`${name} must be an integer from ${least} to ${most}, not ${describe(value)}`);
  }
  return value;
}

// `options` if it is an object of options, {} for none.
function optionsObject(options) {
  if (options === undefined) return {};
  if (options === null || typeof options !== 'object' || Array.isArray(options)) {
    throw new TypeError('the options must be an object');
  }
  return options;
}

// The options as the package takes them, checked for type and put into the
// module's terms.
function readOptions(options) {
  options = optionsObject(options);
  const known = ['seed', 'mode', 'minLength', 'rate', 'alwaysChange', 'keep'];
  for (const name of Object.keys(options)) {
    if (!known.includes(name)) throw new TypeError(`unknown option ${JSON.stringify(name)}`);
  }
  const given = (name) => options[name] !== undefined;
  const seed = given('seed') ? checkInteger('seed', options.seed, 0, kMaxUint32) : defaults.seed;
  let mode = defaults.mode;
  if (given('mode')) {
    if (typeof options.mode !== 'string') throw new TypeError(`mode must be a string, not ${typeof options.mode}`);
    mode = kModes.indexOf(options.mode);
    if (mode < 0) throw new RangeError(`mode must be "classic" or "careful", not ${describe(options.mode)}`);
  }
  // The engine sets the range of minLength and rate (textquirl_set_options
  // answers for them); here they need only fit the module's parameters.
  const minLength = given('minLength') ? checkInteger('minLength', options.minLength, 0, kMaxUint32) : defaults.minLength;
  let rate = defaults.rate;
  if (given('rate')) {
    if (typeof options.rate !== 'number') throw new TypeError(`rate must be a number, not ${typeof options.rate}`);
    rate = options.rate;
  }
  let alwaysChange = defaults.alwaysChange;
  if (given('alwaysChange')) {
    if (typeof options.alwaysChange !== 'boolean') {
      throw new TypeError(`alwaysChange must be a boolean, not ${typeof options.alwaysChange}`);
    }
    alwaysChange = options.alwaysChange;
  }
  let keep = [];
  if (given('keep')) {
    if (!Array.isArray(options.keep)) throw new TypeError('keep must be an array of strings');
    keep = options.keep.map((word, i) => {
      if (typeof word !== 'string') throw new TypeError(`keep[${i}] must be a string, not ${typeof word}`);
      if (word.includes('\n')) throw new RangeError(`keep[${i}] holds a line break, which no word does`);
      return word;
    });
  }
  const keepText = keep.join('\n');
  return {
    seed,
    engine: { mode, minLength, rate, alwaysChange, keepText },
    key: `${mode} ${minLength} ${rate} ${alwaysChange ? 1 : 0} ${keepText}`,
  };
}

// What the engine says of the options: a RangeError naming the bad one.
function checkWithEngine(read) {
  call((exports) => apply(exports, read));
}

// Gives the instance `read`'s options unless it holds them already.
function apply(exports, read) {
  if (applied === read.key) return;
  const { mode, minLength, rate, alwaysChange, keepText } = read.engine;
  writeText(exports, keepText);
  const code = exports.textquirl_set_options(mode, minLength, rate, alwaysChange ? 1 : 0, keepText.length);
  if (code !== 0) throw refuse(new RangeError(kRefusals[code] ? kRefusals[code](read.engine) : `option ${code} refused`));
  applied = read.key;
}

// ---- the functions

function checkText(text, name = 'text') {
  if (typeof text !== 'string') throw new TypeError(`${name} must be a string, not ${typeof text}`);
}

// Scrambles `text` with a generator started afresh from `seed`, as the
// filter does (line breaks LF or CR LF in, LF out).
//   scramble('Hallo, Welt!') === 'Hlalo, Wlet!'
export function scramble(text, options) {
  checkText(text);
  const read = readOptions(options);
  return call((exports) => {
    apply(exports, read);
    owner = null;
    exports.textquirl_seed(read.seed);
    writeText(exports, text);
    return readResult(exports, exports.textquirl_scramble());
  });
}

// One generator across calls: with the default seed and options, the n-th
// scramble() of a Scrambler gives what the n-th press of a freshly started
// window gives.
export class Scrambler {
  #read;
  #state = { drawn: 0 };  // values drawn by the scrambles that succeeded

  constructor(options) {
    this.#read = readOptions(options);
    checkWithEngine(this.#read);
  }

  scramble(text) {
    checkText(text);
    const read = this.#read;
    const state = this.#state;
    return call((exports) => {
      apply(exports, read);
      if (owner !== state) {
        owner = null;
        exports.textquirl_seed(read.seed);
        if (state.drawn > 0) exports.textquirl_skip(state.drawn);
      }
      owner = state;
      writeText(exports, text);
      const result = readResult(exports, exports.textquirl_scramble());
      state.drawn = exports.textquirl_drawn();
      return result;
    });
  }
}

function readKey(key, i) {
  switch (typeof key) {
    case 'number':
      if (!Number.isSafeInteger(key) || key < 0) {
        throw new RangeError(`keys[${i}] must be an integer from 0 to ${Number.MAX_SAFE_INTEGER} (or a BigInt up to 2^64 - 1), not ${key}`);
      }
      return BigInt(key);
    case 'bigint':
      if (key < 0n || key > kMaxUint64) throw new RangeError(`keys[${i}] must be from 0 to 2^64 - 1, not ${key}`);
      return key;
    case 'string':
      if (/\p{Cs}/u.test(key)) throw new RangeError(`keys[${i}] holds a lone surrogate, which UTF-8 cannot carry`);
      return key;
    default:
      throw new TypeError(`keys[${i}] must be a number, a BigInt or a string, not ${typeof key}`);
  }
}

// Scrambles each text as a record of its own, with a generator that
// depends on the seed and the record's key alone: the same text with the
// same key gives the same result wherever it stands. Keys are numbers,
// BigInts or strings; by default 1, 2, 3, …, so that the result is
// `textquirl-cli --per-line`'s, line for line.
export function scrambleMany(texts, options) {
  if (!Array.isArray(texts)) throw new TypeError('texts must be an array of strings');
  texts.forEach((text, i) => checkText(text, `texts[${i}]`));
  const { keys, ...rest } = optionsObject(options);
  const read = readOptions(rest);
  let recordKeys;
  if (keys === undefined) {
    recordKeys = texts.map((_, i) => BigInt(i + 1));
  } else {
    if (!Array.isArray(keys)) throw new TypeError('keys must be an array');
    if (keys.length !== texts.length) {
      throw new RangeError(`keys must give one key per text: ${keys.length} keys for ${texts.length} texts`);
    }
    recordKeys = keys.map(readKey);
  }
  return call((exports) => {
    apply(exports, read);
    return texts.map((text, i) => {
      const key = recordKeys[i];
      if (typeof key === 'bigint') {
        writeText(exports, text);
        return readResult(exports, exports.textquirl_scramble_record(read.seed, key));
      }
      utf16.write(exports.memory, exports.textquirl_key(key.length), key);
      writeText(exports, text);
      const length = exports.textquirl_scramble_record_text(read.seed) >>> 0;  // i32 in JavaScript
      if (length === kBadKey) throw refuse(new RangeError(`keys[${i}] is not well-formed Unicode`));
      return readResult(exports, length);
    });
  });
}
