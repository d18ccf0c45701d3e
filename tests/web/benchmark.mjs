// The web page on a long text, in Debian's headless Chromium: 10 MB of German
// prose (make-sample-text 10) in Text1, timed in the page from the click on
// Command1 until the browser reports the clipboard written (the promise of
// navigator.clipboard.write, watched from outside the page's code). In the
// same run, for comparison, the filter on the same text as a whole process
// (from a file, to /dev/null).
// The first result is read back and checked against the filter's (untimed:
// Chromium takes longer to read 10 MB from its clipboard than to write them).
// A benchmark, not a test: it prints the times and fails only on a wrong result.
// Usage: node tests/web/benchmark.mjs [site (build-web/site)] [filter (build/bin/textquirl-cli)] [presses (5)]
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { closeSync, mkdtempSync, openSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { performance } from 'node:perf_hooks';

import { chromium } from 'playwright-core';

import { serve } from '../../web/serve.mjs';

const [site = 'build-web/site', cli = 'build/bin/textquirl-cli', count = '5'] = process.argv.slice(2);
const text = execFileSync(join(dirname(cli), 'make-sample-text'), ['10'], { maxBuffer: 1 << 30 }).toString('utf8');

// The filter as the README's other figures take it: the text from a file,
// the result to /dev/null.
const scratch = mkdtempSync(join(tmpdir(), 'textquirl-bench-'));
const textFile = join(scratch, 'prose10.txt');
writeFileSync(textFile, text);
const expected = execFileSync(cli, [textFile], { maxBuffer: 1 << 30 }).toString('utf8');
const filterTimes = [];
const devNull = openSync('/dev/null', 'w');
for (let i = 0; i < Number(count); ++i) {
  const start = performance.now();
  execFileSync(cli, [textFile], { stdio: ['ignore', devNull, 'inherit'] });
  filterTimes.push(performance.now() - start);
}
closeSync(devNull);
rmSync(scratch, { recursive: true });

const { server, url } = await serve(site, 0);
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const context = await browser.newContext();
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const page = await context.newPage();
  await page.addInitScript(() => {
    document.addEventListener('click', () => { self.clickedAt = performance.now(); }, { capture: true });
    const write = Clipboard.prototype.write;
    Clipboard.prototype.write = function (...items) {
      return write.apply(this, items).then(() => { self.copiedAt = performance.now(); });
    };
  });
  await page.goto(url);
  await page.$eval('#Text1', (e, t) => { e.value = t; }, text);

  const pageTimes = [];
  for (let i = 0; i < Number(count); ++i) {
    await page.evaluate(() => { self.copiedAt = 0; });
    await page.click('#Command1');
    await page.waitForFunction(() => self.copiedAt > 0, null, { polling: 5, timeout: 60000 });
    pageTimes.push(await page.evaluate(() => self.copiedAt - self.clickedAt));
    if (i === 0) assert.equal(await page.evaluate(() => navigator.clipboard.readText()), expected);
  }

  const show = (times) => times.map((t) => `${Math.round(t)}`).join(' ');
  const median = (times) => [...times].sort((a, b) => a - b)[Math.floor(times.length / 2)];
  console.log(`10 MB German prose (${text.length} UTF-16 units), ${count} presses`);
  console.log(`page, click to clipboard: median ${Math.round(median(pageTimes))} ms (${show(pageTimes)})`);
  console.log(`filter, whole process:    median ${Math.round(median(filterTimes))} ms (${show(filterTimes)})`);
} finally {
  await browser.close();
  server.close();
}
