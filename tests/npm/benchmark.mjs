// The npm package on a long text in Node.js: 10 MB of German prose
// (make-sample-text 10) through scramble(), and its 150,000 lines through
// scrambleMany(); in the same run, for comparison, the filter on the same
// text as a whole process (from a file, to /dev/null), with and without
// --per-line. Each result is checked against the filter's once, untimed.
// A benchmark, not a test: it prints medians and fails only on a wrong result.
// Usage: node tests/npm/benchmark.mjs [package folder (build-web/npm/package)] [filter (build/bin/textquirl-cli)] [runs (7)]
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { performance } from 'node:perf_hooks';
import { pathToFileURL } from 'node:url';

const [folder = 'build-web/npm/package', cli = 'build/bin/textquirl-cli', count = '7'] = process.argv.slice(2);
const { scramble, scrambleMany } = await import(pathToFileURL(join(resolve(folder), 'node.js')));
const text = execFileSync(join(dirname(cli), 'make-sample-text'), ['10'], { maxBuffer: 1 << 30 }).toString('utf8');
const lines = text.split('\n');

const scratch = mkdtempSync(join(tmpdir(), 'textquirl-bench-'));
const textFile = join(scratch, 'prose10.txt');
writeFileSync(textFile, text);
const filter = (args) => execFileSync(cli, [...args, textFile], { maxBuffer: 1 << 30 }).toString('utf8');
assert.equal(scramble(text), filter([]));
assert.deepEqual(scrambleMany(lines), filter(['--per-line']).split('\n').slice(0, -1));

function median(work) {
  const times = [];
  for (let i = 0; i < Number(count); ++i) {
    const start = performance.now();
    work();
    times.push(performance.now() - start);
  }
  times.sort((a, b) => a - b);
  return `${(times[times.length >> 1] / 1000).toFixed(3)} s (${(times[0] / 1000).toFixed(3)}–${(times.at(-1) / 1000).toFixed(3)})`;
}

console.log(`scramble, 10 MB:               ${median(() => scramble(text))}`);
console.log(`textquirl-cli, same text:      ${median(() => execFileSync(cli, [textFile], { stdio: 'ignore' }))}`);
console.log(`scrambleMany, ${lines.length} lines: ${median(() => scrambleMany(lines))}`);
console.log(`textquirl-cli --per-line:      ${median(() => execFileSync(cli, ['--per-line', textFile], { stdio: 'ignore' }))}`);
rmSync(scratch, { recursive: true, force: true });
