// Builds the web page's static site around the WebAssembly module. Form1's
// caption, controls, captions, link targets and places come from form.json,
// which textquirl-form-json writes from the layout table the desktop windows
// use; the page's frame, style and scripts from web/site/. Fails if the module
// imports anything.
// Usage: node make_site.mjs <form.json> <textquirl.wasm> <web/site> <ui/qt/resources> <out dir>
import { copyFile, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { join } from 'node:path';

const [formPath, wasmPath, sourceDir, iconDir, outDir] = process.argv.slice(2);
if (!outDir) {
  console.error('usage: node make_site.mjs <form.json> <textquirl.wasm> <web/site> <ui/qt/resources> <out dir>');
  process.exit(2);
}

const bytes = await readFile(wasmPath);
const module = await WebAssembly.compile(bytes);
const imports = WebAssembly.Module.imports(module);
if (imports.length > 0) {
  throw new Error(`${wasmPath} imports ${imports.map((i) => `${i.module}.${i.name}`).join(', ')}`);
}
const form = JSON.parse(await readFile(formPath, 'utf8'));

const escape = (text) =>
  text.replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);

// One element per control, in tab order, so that the browser's tab order is
// the window's without any tabindex.
function element(control) {
  const id = `id="${escape(control.name)}"`;
  const caption = escape(control.caption);
  switch (control.kind) {
    case 'TextBox':
      return `<textarea ${id} aria-label="${escape(control.accessibleName)}" spellcheck="false" autocomplete="off" autofocus>${caption}</textarea>`;
    case 'Button': {
      const keys = control.keyShortcuts ? ` aria-keyshortcuts="${escape(control.keyShortcuts)}"` : '';
      return `<button ${id} type="button"${keys}>${caption}</button>`;
    }
    case 'LinkLabel': {
      const web = /^https?:/.test(control.target);
      const opens = web ? ' target="_blank" rel="noopener"' : '';
      return `<a ${id} class="link" href="${escape(control.target)}"${opens}>${caption}</a>`;
    }
    default:
      return `<span ${id} class="label">${caption}</span>`;
  }
}

// The window's layout for screens wide enough to show its client area and a
// margin of 8 pixels on each side; narrower screens keep the stacked layout.
const px = (n) => `${n}px`;
const windowMinWidth = px(form.width + 16);
const layout = [
  `/* Form1's places, from the window's layout table. */`,
  `@media (min-width: ${windowMinWidth}) {`,
  `  #Form1 { width: ${px(form.width)}; height: ${px(form.height)}; }`,
  ...form.controls.map(
    (c) => `  #${c.name} { left: ${px(c.left)}; top: ${px(c.top)}; width: ${px(c.width)}; height: ${px(c.height)}; }`,
  ),
  `  .link { font-family: "${form.linkFont.family}", Arial, Helvetica, sans-serif; font-size: ${form.linkFont.points}pt; }`,
  '}',
  `.link, .link:visited { color: ${form.linkColour}; }`,
  '',
].join('\n');

const template = await readFile(join(sourceDir, 'index.html.in'), 'utf8');
const page = template
  .replace('@CAPTION@', escape(form.caption))
  .replace('@MESSAGE_CAPTION@', escape(form.messageCaption))
  .replace('@CONTROLS@', form.controls.map(element).join('\n'));

await rm(outDir, { recursive: true, force: true });
await mkdir(outDir, { recursive: true });
await writeFile(join(outDir, 'index.html'), page);
const style = await readFile(join(sourceDir, 'textquirl.css.in'), 'utf8');
await writeFile(join(outDir, 'textquirl.css'), `${style.replaceAll('@WINDOW_MIN_WIDTH@', windowMinWidth)}\n${layout}`);
await copyFile(wasmPath, join(outDir, 'textquirl.wasm'));
// Opened from disk the page may not fetch the module: a classic script
// brings it along.
await writeFile(join(outDir, 'textquirl-wasm.js'), `self.textquirlWasm = '${bytes.toString('base64')}';\n`);
for (const file of ['textquirl.js', 'scramble-worker.js']) {
  await copyFile(join(sourceDir, file), join(outDir, file));
}
for (const size of [16, 32]) {
  await copyFile(join(iconDir, `textquirl-${size}.png`), join(outDir, `textquirl-${size}.png`));
}
