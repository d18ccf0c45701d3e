// Textquirl's web page as a person uses it, in Debian's Chromium (headless,
// driven by playwright-core) against the built site on a local server, in
// one walk: the heading, paste a German text, press by mouse and by
// keyboard, read the clipboard and the status line each time and compare
// with the Linux filter's scrambles; paste 120 KB of prose over it; run out
// of memory in the engine and go on; the layout at both widths, the links,
// the tab order, axe-core's WCAG 2.1 A and AA rules (with the status shown
// and the settings open), no console error and no request to another
// origin; settings from the address against the filter with the same
// options; the site served with the documented headers, then again without
// its server, from the service worker's copy; then the page opened from
// disk, and on an insecure origin (no clipboard API: the copy through a
// selection, and the message when even that is refused).
// Screenshots go to TEXTQUIRL_ARTIFACTS.
// Environment: TEXTQUIRL_SITE (build-web/site), TEXTQUIRL_CLI (the release
// build's textquirl-cli, with make-sample-text beside it), TEXTQUIRL_CHROMIUM,
// TEXTQUIRL_ARTIFACTS.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdir, readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { chromium } from 'playwright-core';

import { serve } from '../../web/serve.mjs';

const site = process.env.TEXTQUIRL_SITE;
const cli = process.env.TEXTQUIRL_CLI;
const artifacts = process.env.TEXTQUIRL_ARTIFACTS;
const insecureHost = 'textquirl.test';  // mapped to 127.0.0.1, but not a secure context

const filter = (text, args = []) => execFileSync(cli, args, { input: text, maxBuffer: 1 << 30 }).toString('utf8');
const prose = (megabytes) =>
  execFileSync(join(dirname(cli), 'make-sample-text'), [String(megabytes)], { maxBuffer: 1 << 30 }).toString('utf8').trimEnd();

// What n presses after a fresh start give for texts[0], …, texts[n-1], with
// the filter's options `args`: the filter scrambles the texts joined by line
// breaks with one generator, and a text cut after a line break scrambles as
// its parts do apart, so each part of the output (which ends in the line
// break, after a space in classic mode) is one press.
function presses(texts, args = []) {
  const end = args.includes('careful') ? '\n' : ' \n';
  const results = [];
  for (let n = 1; n <= texts.length; ++n) {
    const whole = filter(texts.slice(0, n).join('\n'), args);
    const before = results.map((r) => `${r}${end}`).join('');
    assert.ok(whole.startsWith(before), 'the filter scrambles a text cut after a line break as its parts');
    results.push(whole.slice(before.length));
  }
  return results;
}

// Reports what a page does that it should not: console errors (CSP
// violations among them), uncaught exceptions, requests to another origin.
function watch(page, origins) {
  const faults = [];
  page.on('console', (m) => m.type() === 'error' && faults.push(`console: ${m.text()}`));
  page.on('pageerror', (e) => faults.push(`exception: ${e.message}`));
  page.on('request', (r) => {
    const url = new URL(r.url());
    const origin = url.protocol === 'blob:' ? new URL(url.pathname).origin : url.origin;
    if (!origins.includes(origin) && url.protocol !== 'file:') faults.push(`request: ${r.url()}`);
  });
  return faults;
}

const readClipboard = (page) => page.evaluate(() => navigator.clipboard.readText());
const setClipboard = (page, text) => page.evaluate((t) => navigator.clipboard.writeText(t), text);

// Waits until the clipboard holds something other than `before`.
async function nextClipboard(page, before) {
  for (let i = 0; i < 300; ++i) {
    const now = await readClipboard(page);
    if (now !== before) return now;
    await page.waitForTimeout(20);
  }
  assert.fail('the clipboard did not change');
}

// Pastes `text` over Text1's content as a person does: Ctrl+A, Ctrl+V.
async function paste(page, text) {
  await setClipboard(page, text);
  await page.focus('#Text1');
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Control+V');
}

// Each control's place relative to Form1, which is placed at 0, 0.
const places = (page) =>
  page.evaluate(() => {
    const form = document.getElementById('Form1').getBoundingClientRect();
    const place = (e) => {
      const r = e.getBoundingClientRect();
      return [e.id, [r.left - form.left, r.top - form.top, r.width, r.height]];
    };
    return Object.fromEntries([place(document.getElementById('Form1')), ...[...Form1.children].map(place)]);
  });

async function axeViolations(page, axeSource) {
  await page.evaluate(axeSource);
  const { violations } = await page.evaluate(() =>
    axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }),
  );
  return violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

test('the web page in Chromium', async (t) => {
  assert.ok(site && cli && artifacts, 'TEXTQUIRL_SITE, TEXTQUIRL_CLI and TEXTQUIRL_ARTIFACTS must be set');
  await mkdir(artifacts, { recursive: true });
  const axeSource = await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

  const german =
    'Größere Wörter lassen sich\u00a0überraschend gut lesen 😀,\nauch wenn die Buchstaben ordentlich verwürfelt sind.';
  const prose120 = prose(120 / 1024);
  const big = prose(2);  // more than the engine's heap ever held before
  const [first, second, third, fourth, fifth] = presses([german, german, german, prose120, big]);
  assert.notEqual(first, second);

  const { server, url } = await serve(site, 0);
  const port = new URL(url).port;
  const browser = await chromium.launch({
    executablePath: process.env.TEXTQUIRL_CHROMIUM ?? '/usr/bin/chromium',
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--host-resolver-rules=MAP ${insecureHost} 127.0.0.1`,
    ],
  });
  t.after(async () => {
    await browser.close();
    server.close();
  });
  const context = await browser.newContext({ viewport: { width: 1024, height: 640 } });
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  // Nothing leaves this machine, whatever a page asks for.
  const stopped = [];
  await context.route(
    (u) => u.hostname !== '127.0.0.1' && u.hostname !== insecureHost && u.protocol.startsWith('http'),
    (route) => {
      stopped.push(route.request().url());
      return route.abort();
    },
  );

  const page = await context.newPage();
  const faults = watch(page, [new URL(url).origin]);
  await page.goto(url);

  await t.test('the page: German, title, heading, icon, controls and captions', async () => {
    assert.equal(await page.getAttribute('html', 'lang'), 'de');
    assert.equal(await page.title(), 'Textquirl');
    assert.equal(await page.textContent('h1'), 'Textquirl');
    const summary = await page.textContent('#Kopf p');
    assert.match(summary, /^Verwurschtelt \S.*\.$/);
    assert.equal(await page.getAttribute('meta[name=description]', 'content'), summary);
    assert.equal(await page.textContent('#Status'), '');
    assert.equal(await page.$eval('#Einstellungen', (d) => d.open), false);
    assert.match(await page.getAttribute('link[rel=icon][sizes="32x32"]', 'href'), /\.png$/);
    assert.equal(await page.textContent('#Command1'), 'Verwurschteln und in Zwischenablage kopieren');
    assert.equal(await page.inputValue('#Text1'), '');
    assert.equal(await page.getAttribute('#Text1', 'aria-label'), 'Text zum Verwurschteln');
    assert.match(await page.textContent('#Label1'), /^© \d{4} \S+$/);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'Text1');
  });

  await t.test('the window layout on a wide screen', async () => {
    assert.deepEqual(await places(page), {
      Form1: [0, 0, 546, 437],
      Text1: [8, 8, 529, 369],
      Command1: [8, 384, 529, 33],
      Label1: [16, 420, 137, 17],
      Label2: [304, 420, 233, 17],
      Label3: [152, 420, 137, 17],
      Status: [0, 437, 546, 23],
    });
  });

  await t.test('the links', async () => {
    const link = (id) =>
      page.$eval(`#${id}`, (a) => ({
        tag: a.tagName, text: a.textContent, href: a.getAttribute('href'), target: a.target, rel: a.rel,
        colour: getComputedStyle(a).color, line: getComputedStyle(a).textDecorationLine,
      }));
    const web = await link('Label2');
    assert.match(web.href, /^https?:\/\/[^/]+\/computer\/programme\/$/);
    assert.deepEqual(web, { tag: 'A', text: web.href, href: web.href, target: '_blank', rel: 'noopener', colour: 'rgb(0, 0, 255)', line: 'underline' });
    const mail = await link('Label3');
    const address = mail.text.slice(1, -1);
    assert.match(address, /^[^@\s]+@[^@\s]+$/);
    assert.deepEqual(mail, { tag: 'A', text: `(${address})`, href: `mailto:${address}`, target: '', rel: '', colour: 'rgb(0, 0, 255)', line: 'underline' });
    assert.equal(await page.$eval('#Label1', (e) => e.tagName), 'SPAN');
    // A click asks for the address in a new tab.
    const [tab] = await Promise.all([context.waitForEvent('page'), page.click('#Label2')]);
    for (let i = 0; i < 100 && !stopped.includes(web.href); ++i) await page.waitForTimeout(20);
    assert.deepEqual(stopped, [web.href]);
    await tab.close();
  });

  await t.test('paste a German text, press by mouse, by keyboard and by Ctrl+Enter in Text1: the filter\'s first three scrambles, each announced', async () => {
    await paste(page, german);
    assert.equal(await page.inputValue('#Text1'), german);

    await setClipboard(page, 'vorher');
    const controls = await places(page);
    await page.click('#Command1');
    assert.equal(await nextClipboard(page, 'vorher'), first);
    const status = page.getByRole('status');
    await status.filter({ hasText: 'Verwurschtelt und in die Zwischenablage kopiert.' }).waitFor();
    assert.deepEqual(await places(page), controls, 'the status moves nothing');
    await page.screenshot({ path: join(artifacts, 'textquirl-web-wide.png') });

    await page.click('#Text1');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'Command1');
    await page.keyboard.press('Space');
    assert.equal(await nextClipboard(page, first), second);
    assert.equal(await page.inputValue('#Text1'), german, 'Text1 keeps the text');

    await page.focus('#Text1');
    await page.keyboard.press('Control+Enter');
    assert.equal(await nextClipboard(page, second), third);
    assert.equal(await page.inputValue('#Text1'), german, 'Ctrl+Enter adds no line break');
    await status.filter({ hasText: 'Verwurschtelt und' }).waitFor();

    // An empty text empties the clipboard (and takes no draw), and says so.
    await page.fill('#Text1', '');
    await page.click('#Command1');
    assert.equal(await nextClipboard(page, third), '');
    await status.filter({ hasText: 'Das Textfeld ist leer: Die Zwischenablage ist jetzt leer.' }).waitFor();
  });

  await t.test('the tab order: Text1, Command1, Label2, Label3', async () => {
    await page.focus('#Text1');
    const order = ['Text1'];
    for (let i = 0; i < 3; ++i) {
      await page.keyboard.press('Tab');
      order.push(await page.evaluate(() => document.activeElement.id));
    }
    assert.deepEqual(order, ['Text1', 'Command1', 'Label2', 'Label3']);
  });

  await t.test('120 KB of prose pasted over it arrive whole and scramble as in the filter', async () => {
    await paste(page, prose120);
    assert.equal(await page.inputValue('#Text1'), prose120);
    await page.click('#Command1');
    assert.equal(await nextClipboard(page, prose120), fourth);
  });

  await t.test('out of memory: the windows\' message, text and clipboard kept, the next press goes on', async () => {
    await page.$eval('#Text1', (e, text) => { e.value = text; }, big);
    // Take all the memory the engine's instance may still grow by.
    const [worker] = page.workers();
    await worker.evaluate(() => {
      for (let pages = 1 << 14; pages > 0; ) {
        try {
          self.engine.memory.grow(pages);
        } catch {
          pages >>= 1;
        }
      }
    });
    await page.click('#Command1');
    await page.waitForSelector('#Meldung[open]');
    assert.equal(
      await page.textContent('#MeldungText'),
      'Der Text konnte nicht verwurschtelt werden.\n\nDer Text ist zu groß für den verfügbaren Speicher.\n\n' +
        'Der Text im Fenster und die Zwischenablage sind unverändert.',
    );
    assert.equal(await readClipboard(page), fourth);
    assert.deepEqual(await axeViolations(page, axeSource), [], 'axe with the message open');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#Meldung:not([open])', { state: 'hidden' });
    assert.equal(await page.evaluate(() => document.activeElement.id), 'Command1');
    assert.equal(await page.inputValue('#Text1'), big);
    await page.keyboard.press('Space');
    assert.equal(await nextClipboard(page, fourth), fifth);
  });

  await t.test('axe-core: no WCAG 2.1 A or AA violation, wide and narrow, with the status shown and the settings open', async () => {
    await page.fill('#Text1', german);
    assert.notEqual(await page.textContent('#Status'), '');
    assert.deepEqual(await axeViolations(page, axeSource), []);
    await page.click('#Einstellungen summary');
    assert.deepEqual(await axeViolations(page, axeSource), [], 'wide, the settings open');
    await page.screenshot({ path: join(artifacts, 'textquirl-web-settings.png'), fullPage: true });
    await page.setViewportSize({ width: 360, height: 740 });
    assert.deepEqual(await axeViolations(page, axeSource), [], 'narrow, the settings open');
    await page.click('#Einstellungen summary');
    assert.deepEqual(await axeViolations(page, axeSource), []);
  });

  await t.test('a phone\'s narrow screen: the controls stacked at full width, nothing cut off or overlapping', async () => {
    await page.fill('#Text1', german);
    await page.screenshot({ path: join(artifacts, 'textquirl-web-narrow.png'), fullPage: true });
    const boxes = await page.evaluate(() =>
      [...Form1.children].map((e) => {
        const r = e.getBoundingClientRect();
        return [e.id, [r.left, r.top, r.width, r.height]];
      }),
    );
    for (const [id, [left, , width, height]] of boxes) {
      assert.ok(left >= 0 && left + width <= 360, `${id} within the screen (${left} + ${width})`);
      assert.ok(width >= 360 - 2 * 8, `${id} at full width (${width})`);
      assert.ok(height > 0, `${id} visible`);
    }
    const order = boxes.map(([id, [, top, , height]]) => ({ id, top, bottom: top + height })).sort((a, b) => a.top - b.top);
    assert.deepEqual(order.map((b) => b.id), ['Text1', 'Command1', 'Status', 'Label1', 'Label2', 'Label3']);
    for (let i = 1; i < order.length; ++i) assert.ok(order[i].top >= order[i - 1].bottom, `${order[i].id} overlaps ${order[i - 1].id}`);
    assert.deepEqual(
      await page.evaluate(() => [...Form1.children].filter((e) => e.scrollWidth > e.clientWidth).map((e) => e.id)),
      [],
      'no caption cut off',
    );
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= 360), 'no sideways scrolling');
  });

  await t.test('no console error, no request to another origin', () => {
    assert.deepEqual(faults, []);
  });

  await t.test('settings from the address: the presses are the filter\'s with the same options; a change starts afresh', async () => {
    const args = ['--mode', 'careful', '--min-length', '5', '--rate', '0,5', '--always-change', '--keep', 'Wörter,lesen', '--seed', '7'];
    const [one, two] = presses([german, german], args);
    const tuned = await context.newPage();
    const tunedFaults = watch(tuned, [new URL(url).origin]);
    await tuned.goto(`${url}#modus=sorgfaeltig&mindestlaenge=5&anteil=0,5&immer-anders=1&behalten=W%C3%B6rter,lesen&seed=7`);
    assert.deepEqual(
      await tuned.evaluate(() => [
        document.querySelector('input[name=modus]:checked').value,
        ...['Mindestlaenge', 'Anteil', 'Behalten', 'Startwert'].map((id) => document.getElementById(id).value),
        document.getElementById('ImmerAnders').checked,
        document.getElementById('Hinweis').hidden,
      ]),
      ['sorgfaeltig', '5', '0,5', 'Wörter, lesen', '7', true, true],
    );
    await tuned.fill('#Text1', german);
    await setClipboard(tuned, 'vorher');
    await tuned.click('#Command1');
    assert.equal(await nextClipboard(tuned, 'vorher'), one);
    await tuned.click('#Command1');
    assert.equal(await nextClipboard(tuned, one), two);

    // Another seed typed in: written into the address, the generator afresh.
    await tuned.click('#Einstellungen summary');
    await tuned.fill('#Startwert', '8');
    await tuned.press('#Startwert', 'Tab');
    assert.equal(new URL(tuned.url()).hash, '#modus=sorgfaeltig&mindestlaenge=5&anteil=0.5&immer-anders=1&behalten=W%C3%B6rter,lesen&seed=8');
    const [eight] = presses([german], [...args.slice(0, -1), '8']);
    await tuned.click('#Command1');
    assert.equal(await nextClipboard(tuned, two), eight);

    // Bad values are left out with a note; the good ones count. Back at the
    // defaults, the address has no fragment and the presses are the window's.
    await tuned.goto(`${url}#anteil=2&modus=sorgfaeltig&seed=x`);
    await tuned.reload();
    assert.match(await tuned.textContent('#Hinweis'), /^„anteil=2“ .*0 bis 1.*\n„seed=x“ .*ganze Zahlen/);
    assert.equal(await tuned.$eval('input[name=modus]:checked', (r) => r.value), 'sorgfaeltig');
    await tuned.click('#Einstellungen summary');
    await tuned.check('input[name=modus][value=klassisch]');
    assert.equal(new URL(tuned.url()).hash, '');
    await tuned.fill('#Text1', german);
    await tuned.click('#Command1');
    assert.equal(await nextClipboard(tuned, eight), first);
    assert.deepEqual(tunedFaults, []);
    await tuned.close();
  });

  await t.test('served with the documented headers; after one visit the page works without its server', async () => {
    // Every policy written in the hosting docs is one, the page's own plus frame-ancestors.
    const docs = await readFile(new URL('../../docs/web.md', import.meta.url), 'utf8');
    const policies = new Set([...docs.matchAll(/Content-Security-Policy:? "?(default-src [^"\n]+)/g)].map((m) => m[1]));
    assert.equal(policies.size, 1);
    const [policy] = policies;
    const { server: host, url: hostUrl } = await serve(site, 0, { 'Content-Security-Policy': policy });
    const visitor = await context.newPage();
    const visitorFaults = watch(visitor, [new URL(hostUrl).origin]);
    await visitor.goto(hostUrl);
    assert.equal(`${await visitor.getAttribute('meta[http-equiv=Content-Security-Policy]', 'content')}; frame-ancestors 'none'`, policy);

    // Installable: a German manifest with icons of 192 and 512 pixels.
    const manifest = await visitor.evaluate(async () => {
      const m = await (await fetch(document.querySelector('link[rel=manifest]').href)).json();
      const sizes = await Promise.all(m.icons.map((i) => new Promise((done) => {
        const image = new Image();
        image.onload = () => done(`${image.naturalWidth}x${image.naturalHeight}`);
        image.src = i.src;
      })));
      return { ...m, sizes };
    });
    assert.equal(manifest.name, 'Textquirl');
    assert.equal(manifest.lang, 'de');
    assert.equal(manifest.description, await visitor.textContent('#Kopf p'));
    assert.deepEqual(manifest.sizes, ['192x192', '512x512']);
    assert.deepEqual(manifest.icons.map((i) => i.sizes), manifest.sizes);

    await visitor.evaluate(() => navigator.serviceWorker.ready);
    host.close();
    host.closeAllConnections();
    await visitor.reload();
    assert.ok(await visitor.evaluate(() => navigator.serviceWorker.controller !== null), 'the page comes from the service worker');
    await visitor.fill('#Text1', german);
    await setClipboard(visitor, 'vorher');
    await visitor.click('#Command1');
    assert.equal(await nextClipboard(visitor, 'vorher'), first);
    await visitor.click('#Command1');
    assert.equal(await nextClipboard(visitor, first), second);
    await visitor.getByRole('status').filter({ hasText: 'Verwurschtelt und' }).waitFor();
    assert.deepEqual(visitorFaults, []);
    await visitor.close();
  });

  // A fresh page at `address`: its first press gives the first scramble,
  // read by `reader` (a page allowed to read the clipboard), without faults.
  async function firstPress(address, origins, reader) {
    const fresh = await context.newPage();
    const freshFaults = watch(fresh, origins);
    await fresh.goto(address);
    await fresh.fill('#Text1', german);
    await setClipboard(reader ?? fresh, 'vorher');
    await fresh.click('#Command1');
    assert.equal(await nextClipboard(reader ?? fresh, 'vorher'), first);
    assert.deepEqual(freshFaults, []);
    return fresh;
  }

  await t.test('opened from disk: the first press gives the first scramble', async () => {
    await (await firstPress(pathToFileURL(join(site, 'index.html')).href, [])).close();
  });

  await t.test('an insecure origin: copied through a selection; refused, a message to copy by hand', async () => {
    const origin = `http://${insecureHost}:${port}`;
    const plain = await firstPress(`${origin}/`, [origin], page);
    assert.equal(await plain.evaluate(() => window.isSecureContext || 'clipboard' in navigator), false);
    await plain.close();
    await setClipboard(page, 'vorher');

    // A browser that refuses even that: nothing is copied, a message shows
    // the result to copy by hand.
    const refused = await context.newPage();
    await refused.addInitScript(() => {
      Document.prototype.execCommand = () => false;
    });
    await refused.goto(`${origin}/`);
    await refused.fill('#Text1', german);
    await refused.click('#Command1');
    await refused.waitForSelector('#Meldung[open]');
    assert.match(await refused.textContent('#MeldungText'), /nicht in die Zwischenablage kopiert.*Strg\+C/s);
    assert.equal(await refused.inputValue('#MeldungErgebnis'), first);
    assert.equal(
      await refused.evaluate(() => {
        const r = document.getElementById('MeldungErgebnis');
        return document.activeElement === r && r.selectionStart === 0 && r.selectionEnd === r.value.length;
      }),
      true,
      'the result stands selected',
    );
    await refused.screenshot({ path: join(artifacts, 'textquirl-web-message.png') });
    assert.equal(await readClipboard(page), 'vorher');
    assert.equal(await refused.inputValue('#Text1'), german);
  });
});
