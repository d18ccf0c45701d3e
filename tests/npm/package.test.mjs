// The npm package as its users get it: the tarball installed with
// `npm install --offline` into an empty folder and imported by its name,
// compared with the Linux filter on a German text (classic, careful, each
// option, all at once, keyed records, interleaved Scramblers), the README's
// example, the declarations under `tsc --noEmit`, and the errors, running
// out of memory in the module among them.
// Environment: TEXTQUIRL_NPM_TARBALL, TEXTQUIRL_CLI (the release build's
// textquirl-cli), TEXTQUIRL_NPM, TEXTQUIRL_TSC (empty: not checked),
// TEXTQUIRL_README.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, test } from 'node:test';
import { pathToFileURL } from 'node:url';

const env = process.env;
const cli = env.TEXTQUIRL_CLI;
function filter(args, text) {
  const run = spawnSync(cli, args, { input: text, encoding: 'utf8' });
  assert.equal(run.status, 0, `textquirl-cli ${args.join(' ')}: ${run.stderr}`);
  return run.stdout;
}

// Every instance of the module the package makes, to take its memory away.
const instances = [];
WebAssembly.Instance = new Proxy(WebAssembly.Instance, {
  construct(target, args) {
    const instance = Reflect.construct(target, args);
    instances.push(instance);
    return instance;
  },
});

const folder = mkdtempSync(join(tmpdir(), 'textquirl-npm-'));
after(() => rmSync(folder, { recursive: true, force: true }));
writeFileSync(join(folder, 'package.json'), JSON.stringify({ name: 'user', private: true, type: 'module' }));
execFileSync(env.TEXTQUIRL_NPM, ['install', '--offline', '--no-audit', '--no-fund', '--loglevel=error', env.TEXTQUIRL_NPM_TARBALL], {
  cwd: folder,
});
writeFileSync(join(folder, 'user.js'), "export * from 'textquirl';\n");
const textquirl = await import(pathToFileURL(join(folder, 'user.js')));
const { scramble, Scrambler, scrambleMany, version, OutOfMemoryError } = textquirl;

const text = [
  'Größere Wörter lassen sich überraschend gut lesen, auch wenn die Buchstaben verwürfelt sind!',
  'Die Straße (eine Allee) führt zum „Königsplatz“ – 1.234 Meter, vorbei am Café…',
  '',
  'E-Mail-Adressen, Abkürzungen wie z. B. und Fragezeichen? Ja: Textquirl verwurschtelt 👍🏽-Emojis, Flaggen 🇩🇪 und Akzente.',
  'Donaudampfschifffahrtsgesellschaftskapitän Beispieltext Beispieltext',
].join('\n');
const lines = text.split('\n');

test('the installed package gives the filter\'s results', async (t) => {
  const project = readFileSync(join(env.TEXTQUIRL_README, '..', 'CMakeLists.txt'), 'utf8');
  assert.equal(version, /project\(Textquirl VERSION ([0-9.]+)/.exec(project)[1]);

  const cases = [
    [{}, []],
    [{ seed: 7 }, ['--seed', '7']],
    [{ mode: 'careful' }, ['--mode', 'careful']],
    [{ minLength: 6 }, ['--min-length', '6']],
    [{ rate: 0.5 }, ['--rate', '0,5']],
    [{ alwaysChange: true }, ['--always-change']],
    [{ keep: ['Beispieltext', 'Straße'] }, ['--keep', 'Beispieltext,Straße']],
    [
      { seed: 4294967295, mode: 'careful', minLength: 5, rate: 0.75, alwaysChange: true, keep: ['Wörter'] },
      ['--seed', '4294967295', '--mode', 'careful', '--min-length', '5', '--rate', '0.75', '--always-change', '--keep', 'Wörter'],
    ],
  ];
  for (const [options, args] of cases) {
    const name = JSON.stringify(options);
    assert.equal(scramble(text, options), filter(args, text), `scramble, ${name}`);
    assert.equal(scramble(text.replaceAll('\n', '\r\n'), options), filter(args, text), `CR LF, ${name}`);
    const records = filter([...args, '--per-line'], text).split('\n').slice(0, -1);
    assert.deepEqual(scrambleMany(lines, options), records, `records, ${name}`);
    const top = 2n ** 64n - BigInt(lines.length);
    const bigKeys = lines.map((_, i) => top + BigInt(i));
    assert.deepEqual(scrambleMany(lines, { ...options, keys: bigKeys }),
      filter([...args, '--per-line', '--first-line', String(top)], text).split('\n').slice(0, -1), `BigInt keys, ${name}`);
  }
  assert.equal(scramble('Wörter \ud800 oder \udc00 Wörter'), scramble('Wörter X oder Y Wörter').replace('X', '\ud800').replace('Y', '\udc00'),
    'a lone surrogate is a character of its own');
  assert.deepEqual(scrambleMany(lines, { keys: lines.map((_, i) => i + 10) }),
    filter(['--per-line', '--first-line', '10'], text).split('\n').slice(0, -1), 'number keys');

  await t.test('text keys: a record\'s result depends on its key alone', () => {
    const keys = lines.map((_, i) => `Zeile ${i} – ${'ä'.repeat(i)}`);
    const all = scrambleMany(lines, { keys, seed: 3 });
    lines.forEach((line, i) => assert.equal(all[i], scrambleMany([line], { keys: [keys[i]], seed: 3 })[0]));
    assert.notEqual(scrambleMany([lines[0]], { keys: ['1'] })[0], scrambleMany([lines[0]], { keys: [1] })[0]);
  });

  await t.test('Scramblers go on where they stood, whatever runs between', () => {
    // A text cut after a line break scrambles as its parts do one after the other.
    const parts = text.split(/(?<=\n)/);
    const first = new Scrambler({ seed: 5 });
    const second = new Scrambler();
    let a = '';
    let b = '';
    for (const part of parts) {
      a += first.scramble(part);
      scramble(part, { seed: 9, minLength: 7 });
      b += second.scramble(part);
    }
    assert.equal(a, filter(['--seed', '5'], text));
    assert.equal(b, filter([], text));
  });

  await t.test('the README\'s example says what it prints', () => {
    const readme = readFileSync(env.TEXTQUIRL_README, 'utf8');
    const example = /```js\n([^]*?)```/.exec(readme)[1];
    assert.equal(example.trimEnd().split('\n').length, 5, 'five lines');
    writeFileSync(join(folder, 'example.js'), example);
    const printed = execFileSync(process.execPath, ['example.js'], { cwd: folder }).toString('utf8').split('\n').slice(0, -1);
    const said = [...example.matchAll(/console\.log\(.*\/\/ (.*)$/gm)].map((m) => m[1]);
    assert.deepEqual(printed, said);
  });

  await t.test('in a browser or bundler the module is fetched from beside the package', async () => {
    const fetched = [];
    globalThis.fetch = async (url) => {
      fetched.push(String(url));
      return new Response(readFileSync(url), { headers: { 'Content-Type': 'application/wasm' } });
    };
    const browser = await import(pathToFileURL(join(folder, 'node_modules/textquirl/browser.js')));
    assert.deepEqual(fetched, [String(pathToFileURL(join(folder, 'node_modules/textquirl/textquirl.wasm')))]);
    assert.equal(browser.scramble(text), filter([], text));
  });

  await t.test('the declarations pass tsc --noEmit', { skip: !env.TEXTQUIRL_TSC && 'no tsc' }, () => {
    writeFileSync(join(folder, 'tsconfig.json'), JSON.stringify({
      compilerOptions: { module: 'node16', moduleResolution: 'node16', target: 'es2020', lib: ['es2020'], strict: true, types: [] },
      files: ['check.ts'],
    }));
    writeFileSync(join(folder, 'check.ts'), `
import { scramble, Scrambler, scrambleMany, version, OutOfMemoryError, WordTooLongError, type ScrambleOptions } from 'textquirl';
const options: ScrambleOptions = { seed: 1, mode: 'careful', minLength: 5, rate: 0.5, alwaysChange: true, keep: ['Wort'] };
const one: string = scramble('Hallo', options) + new Scrambler(options).scramble('Welt') + version;
const many: string[] = scrambleMany(['a', 'b', 'c'], { ...options, keys: [1, 2n, 'drei'] });
const errors: Error[] = [new OutOfMemoryError(), new WordTooLongError()];
// @ts-expect-error: a mode is one of two names
scramble('Hallo', { mode: 'wild' });
// @ts-expect-error: keys are numbers, BigInts or strings
scrambleMany(['a'], { keys: [true] });
export { one, many, errors };
`);
    const run = spawnSync(env.TEXTQUIRL_TSC, ['--noEmit', '-p', folder], { encoding: 'utf8' });
    assert.equal(run.status, 0, run.stdout + run.stderr);
  });
});

test('errors: TypeError, RangeError naming the option, OutOfMemoryError; nothing drawn by a failure', () => {
  const refused = [
    [{ seed: -1 }, RangeError, /seed/],
    [{ seed: 1.5 }, RangeError, /seed/],
    [{ seed: 2 ** 32 }, RangeError, /seed/],
    [{ seed: '7' }, TypeError, /seed/],
    [{ mode: 'wild' }, RangeError, /mode/],
    [{ mode: 1 }, TypeError, /mode/],
    [{ minLength: 3 }, RangeError, /minLength/],
    [{ minLength: 4.5 }, RangeError, /minLength/],
    [{ rate: 1.5 }, RangeError, /rate/],
    [{ rate: -0.1 }, RangeError, /rate/],
    [{ rate: NaN }, RangeError, /rate/],
    [{ rate: '1' }, TypeError, /rate/],
    [{ alwaysChange: 1 }, TypeError, /alwaysChange/],
    [{ keep: 'Wort' }, TypeError, /keep/],
    [{ keep: [1] }, TypeError, /keep/],
    [{ keep: ['zwei\nWörter'] }, RangeError, /keep/],
    [{ minlength: 5 }, TypeError, /minlength/],
    [null, TypeError, /options/],
    [7, TypeError, /options/],
  ];
  for (const [options, type, name] of refused) {
    const check = (error) => error instanceof type && name.test(error.message);
    assert.throws(() => scramble('Hallo', options), check, JSON.stringify(options));
    assert.throws(() => new Scrambler(options), check, JSON.stringify(options));
    assert.throws(() => scrambleMany(['Hallo'], options), check, JSON.stringify(options));
  }
  assert.throws(() => scramble(42), TypeError);
  assert.throws(() => scrambleMany('Hallo'), TypeError);
  assert.throws(() => scrambleMany(['a', 1]), TypeError);
  assert.throws(() => scrambleMany(['a', 'b'], { keys: [1] }), /keys/);
  assert.throws(() => scrambleMany(['a'], { keys: [-1] }), RangeError);
  assert.throws(() => scrambleMany(['a'], { keys: [2 ** 53] }), RangeError);
  assert.throws(() => scrambleMany(['a'], { keys: [2n ** 64n] }), RangeError);
  assert.throws(() => scrambleMany(['a'], { keys: ['\ud800'] }), RangeError);
  assert.throws(() => scrambleMany(['a'], { keys: [{}] }), TypeError);

  // The module runs out of memory in the middle of a Scrambler's run: an
  // OutOfMemoryError, and the run goes on as if the call had not been made.
  const [before, after] = [lines[0], lines[1]];
  const expected = filter([], `${before}\n${after}`).split('\n');
  const press = new Scrambler();
  assert.equal(press.scramble(`${before}\n`), `${expected[0]}\n`);
  const { memory } = instances.at(-1).exports;
  for (let pages = 1 << 14; pages > 0;) {
    try {
      memory.grow(pages);
    } catch {
      pages >>= 1;
    }
  }
  const made = instances.length;
  assert.throws(() => press.scramble('Wort '.repeat(1 << 20)), (e) => e instanceof OutOfMemoryError && e instanceof Error);
  assert.equal(press.scramble(after), expected[1]);
  assert.equal(instances.length, made + 1, 'a fresh instance after the failure');
});
