// Builds the web page's static site around the WebAssembly module. Form1's
// caption, controls, captions, link targets and places come from form.json,
// which textquirl-form-json writes from the layout table the desktop windows
// use; the product's name and
// summary from product.json (written by CMake from TextquirlProduct.cmake);
// the page's frame, style and scripts from web/site/. Every file but
// index.html and the service worker's script carries a hash of its content
// in its name. Fails if the module imports anything.
// Usage: node make_site.mjs <form.json> <textquirl.wasm> <web/site> <ui/qt/resources> <product.json> <out dir>
import { createHash } from 'node:crypto';
import { mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { join } from 'node:path';

const [formPath, wasmPath, sourceDir, iconDir, productPath, outDir] = process.argv.slice(2);
if (!outDir) {
  console.error('usage: node make_site.mjs <form.json> <textquirl.wasm> <web/site> <ui/qt/resources> <product.json> <out dir>');
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

await rm(outDir, { recursive: true, force: true });
await mkdir(outDir, { recursive: true });
const product = JSON.parse(await readFile(productPath, 'utf8'));
const source = (file) => readFile(join(sourceDir, file), 'utf8');

// Writes `content` as `name` with a hash of it inside the name and returns
// that name: put('textquirl.css', 'p {}') -> 'textquirl.48d24394dd.css'.
async function put(name, content) {
  const hash = createHash('sha256').update(content).digest('hex').slice(0, 10);
  const dot = name.lastIndexOf('.');
  const hashed = `${name.slice(0, dot)}.${hash}${name.slice(dot)}`;
  await writeFile(join(outDir, hashed), content);
  return hashed;
}

const names = {
  wasm: await put('textquirl.wasm', bytes),
  // Opened from disk the page may not fetch the module: a classic script
  // brings it along.
  wasmScript: await put('textquirl-wasm.js', `self.textquirlWasm = '${bytes.toString('base64')}';\n`),
  style: await put('textquirl.css', `${(await source('textquirl.css.in')).replaceAll('@WINDOW_MIN_WIDTH@', windowMinWidth)}\n${layout}`),
  worker: await put('scramble-worker.js', await source('scramble-worker.js')),
  script: await put('textquirl.js', await source('textquirl.js')),
};
const icons = {};
for (const size of [16, 32, 192, 512]) {
  icons[size] = await put(`textquirl-${size}.png`, await readFile(join(iconDir, `textquirl-${size}.png`)));
}
names.manifest = await put(
  'textquirl.webmanifest',
  `${JSON.stringify(
    {
      name: product.name,
      short_name: product.name,
      description: `${product.summary}.`,
      lang: 'de',
      dir: 'ltr',
      start_url: './',
      scope: './',
      display: 'standalone',
      background_color: '#ffffff',
      theme_color: '#2a5bd7',
      icons: [192, 512].map((size) => ({ src: icons[size], sizes: `${size}x${size}`, type: 'image/png' })),
    },
    null,
    2,
  )}\n`,
);

const fill = (text, values) => text.replace(/@([A-Z_0-9]+)@/g, (whole, key) => {
  if (!(key in values)) throw new Error(`index.html.in: nothing for ${whole}`);
  return values[key];
});
await writeFile(
  join(outDir, 'index.html'),
  fill(await source('index.html.in'), {
    CAPTION: escape(form.caption),
    SUMMARY: escape(product.summary),
    MESSAGE_CAPTION: escape(form.messageCaption),
    CONTROLS: form.controls.map(element).join('\n'),
    STYLE: names.style, WORKER: names.worker, SCRIPT: names.script, MANIFEST: names.manifest,
    WASM: names.wasm, WASM_SCRIPT: names.wasmScript, ICON_16: icons[16], ICON_32: icons[32],
  }),
);

// The service worker keeps every file a visit needs (not the module's copy
// for pages opened from disk, where there is no service worker); its cache
// is named after their hashes, so that a new site is a new cache.
const kept = ['./', names.style, names.worker, names.script, names.wasm, names.manifest, ...Object.values(icons)];
const version = createHash('sha256').update(kept.join('\n')).digest('hex').slice(0, 10);
await writeFile(
  join(outDir, 'service-worker.js'),
  (await source('service-worker.js')).replace('@VERSION@', version).replace('@FILES@', JSON.stringify(kept)),
);
